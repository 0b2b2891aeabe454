#include "win32/DialogBuilder.h"

#include "win32/Text.h"

namespace varnel::win32 {
namespace {

// The atoms of the predefined control classes, which a template names by number.
WORD PredefinedClassAtom(const std::wstring& className) {
    if (className == L"Button") {
        return 0x0080;
    }
    if (className == L"Edit") {
        return 0x0081;
    }
    if (className == L"Static") {
        return 0x0082;
    }
    if (className == L"ListBox") {
        return 0x0083;
    }
    if (className == L"ComboBox") {
        return 0x0085;
    }
    return 0;
}

void PutDword(std::vector<WORD>& out, DWORD value) {
    out.push_back(LOWORD(value));
    out.push_back(HIWORD(value));
}

void PutString(std::vector<WORD>& out, const std::wstring& text) {
    for (const wchar_t c : text) {
        out.push_back(static_cast<WORD>(c));
    }
    out.push_back(0);
}

void AlignToDword(std::vector<WORD>& out) {
    if (out.size() % 2 != 0) {
        out.push_back(0);
    }
}

}  // namespace

DialogItem ItemFromControl(const ControlTemplate& control) {
    DialogItem item;
    item.x = static_cast<short>(control.x);
    item.y = static_cast<short>(control.y);
    item.cx = static_cast<short>(control.cx);
    item.cy = static_cast<short>(control.cy);
    item.id = control.id;
    item.text = Widen(control.text != nullptr ? control.text : "");
    item.style = WS_CHILD | WS_VISIBLE;
    if (control.style & CS_TABSTOP) {
        item.style |= WS_TABSTOP;
    }
    switch (control.kind) {
        case ControlKind::Text:
            item.className = L"Static";
            // Texts are shown as they are written: no label of the templates has an access key,
            // and an "&" in a name must not turn into one.
            item.style |= SS_LEFT | SS_NOPREFIX | WS_GROUP;
            break;
        case ControlKind::Icon:
            // The picture is put in when the dialog opens: it is decoded at run time.
            item.className = L"Static";
            item.style |= SS_ICON;
            break;
        case ControlKind::Edit:
            item.className = L"Edit";
            item.style |= ES_LEFT | ES_AUTOHSCROLL | WS_BORDER;
            if (control.style & CS_READONLY) {
                item.style |= ES_READONLY;
            }
            break;
        case ControlKind::DropDownList:
            item.className = L"ComboBox";
            item.style |= CBS_DROPDOWNLIST | WS_VSCROLL;
            break;
        case ControlKind::DropDownEdit:
            item.className = L"ComboBox";
            item.style |= CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL;
            break;
        case ControlKind::PushButton:
            item.className = L"Button";
            item.style |= BS_PUSHBUTTON;
            break;
        case ControlKind::DefPushButton:
            item.className = L"Button";
            item.style |= BS_DEFPUSHBUTTON;
            break;
        case ControlKind::Table:
            // A list view in report mode; the dialog adds its columns when it opens.
            item.className = L"SysListView32";
            item.style |=
                LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | WS_BORDER;
            break;
        case ControlKind::List:
            // The height drawn in the layout, not rounded down to whole lines.
            item.className = L"ListBox";
            item.style |= LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER;
            break;
    }
    return item;
}

DialogLayout LayoutFromTemplate(const DialogTemplate& dialogTemplate) {
    DialogLayout layout;
    layout.style = kModalDialogStyle;
    layout.caption = Widen(dialogTemplate.caption != nullptr ? dialogTemplate.caption : "");
    layout.cx = static_cast<short>(dialogTemplate.cx);
    layout.cy = static_cast<short>(dialogTemplate.cy);
    layout.fontName = kDialogFontName;
    layout.pointSize = kDialogPointSize;
    for (const ControlTemplate& control : dialogTemplate.controls) {
        layout.items.push_back(ItemFromControl(control));
    }
    return layout;
}

std::vector<WORD> BuildDialogTemplate(const DialogLayout& layout) {
    std::vector<WORD> out;
    // DLGTEMPLATE: style, extended style, item count, x, y, cx, cy.
    const DWORD style =
        layout.fontName.empty() ? layout.style & ~DWORD(DS_SETFONT) : layout.style | DS_SETFONT;
    PutDword(out, style);
    PutDword(out, 0);
    out.push_back(static_cast<WORD>(layout.items.size()));
    out.push_back(0);
    out.push_back(0);
    out.push_back(static_cast<WORD>(layout.cx));
    out.push_back(static_cast<WORD>(layout.cy));
    out.push_back(0);  // no menu
    out.push_back(0);  // the standard dialog class
    PutString(out, layout.caption);
    if (style & DS_SETFONT) {
        out.push_back(layout.pointSize);
        PutString(out, layout.fontName);
    }
    for (const DialogItem& item : layout.items) {
        AlignToDword(out);
        // DLGITEMTEMPLATE: style, extended style, x, y, cx, cy, id.
        PutDword(out, item.style);
        PutDword(out, item.exStyle);
        out.push_back(static_cast<WORD>(item.x));
        out.push_back(static_cast<WORD>(item.y));
        out.push_back(static_cast<WORD>(item.cx));
        out.push_back(static_cast<WORD>(item.cy));
        out.push_back(static_cast<WORD>(item.id));
        if (const WORD atom = PredefinedClassAtom(item.className); atom != 0) {
            out.push_back(0xFFFF);
            out.push_back(atom);
        } else {
            PutString(out, item.className);
        }
        PutString(out, item.text);
        out.push_back(0);  // no creation data
    }
    return out;
}

}  // namespace varnel::win32
