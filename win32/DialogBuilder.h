#pragma once

#include "win32/Win32Api.h"

#include <string>
#include <vector>

#include "templates/DialogTemplates.h"

namespace varnel::win32 {

// One control of an in-memory dialog template: a window class (the predefined ones by name:
// "Button", "Edit", "Static", "ListBox", "ComboBox"; any other by its registered name), its styles,
// its place in dialog units, its id and its text.
struct DialogItem {
    std::wstring className;
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = IDC_STATIC;
    std::wstring text;
};

struct DialogLayout {
    DWORD style = 0;
    std::wstring caption;
    short cx = 0, cy = 0;
    std::wstring fontName;
    WORD pointSize = 0;
    std::vector<DialogItem> items;  // in tab order
};

// The dialog font every template uses.
inline constexpr wchar_t kDialogFontName[] = L"MS Sans Serif";
inline constexpr WORD kDialogPointSize = 8;

// The window styles of a template's dialog: a pop-up with caption, system menu and modal frame,
// in the dialog font.
inline constexpr DWORD kModalDialogStyle =
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_3DLOOK;

// The Win32 form of a dialog of the shared templates: each control kind becomes the class and
// styles a resource compiler gives it.
DialogLayout LayoutFromTemplate(const DialogTemplate& dialogTemplate);

// The control of one template line.
DialogItem ItemFromControl(const ControlTemplate& control);

// The bytes of a DLGTEMPLATE with its items, ready for DialogBoxIndirectParam or
// CreateDialogIndirectParam. Kept in 16-bit words, so the start is aligned as the system wants;
// every item starts on a 32-bit boundary.
std::vector<WORD> BuildDialogTemplate(const DialogLayout& layout);

}  // namespace varnel::win32
