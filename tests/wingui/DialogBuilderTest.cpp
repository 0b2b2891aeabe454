// The in-memory dialog templates of varnel.exe, read back word by word as the system reads them:
// every control of the shared templates arrives with its id, place, class, styles and text.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "win32/DialogBuilder.h"

namespace varnel::win32 {
namespace {

struct ParsedItem {
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;
    WORD classAtom = 0;  // 0 when the class is named
    std::wstring className;
    std::wstring text;
    std::size_t offset = 0;  // in words from the start
};

struct ParsedDialog {
    DWORD style = 0;
    short cx = 0, cy = 0;
    std::wstring caption;
    WORD pointSize = 0;
    std::wstring font;
    std::vector<ParsedItem> items;
};

class Reader {
public:
    explicit Reader(const std::vector<WORD>& words) : m_words(words) {}
    WORD Word() { return m_at < m_words.size() ? m_words[m_at++] : (m_overrun = true, 0); }
    DWORD Dword() {
        const WORD low = Word();
        return MAKELONG(low, Word());
    }
    std::wstring String() {
        std::wstring text;
        for (WORD c = Word(); c != 0 && !m_overrun; c = Word()) {
            text.push_back(static_cast<wchar_t>(c));
        }
        return text;
    }
    void Align() {
        if (m_at % 2 != 0) {
            ++m_at;
        }
    }
    std::size_t At() const { return m_at; }
    bool Overrun() const { return m_overrun; }
    bool AtEnd() const { return m_at == m_words.size(); }

private:
    const std::vector<WORD>& m_words;
    std::size_t m_at = 0;
    bool m_overrun = false;
};

ParsedDialog Parse(const std::vector<WORD>& words, bool& ok) {
    Reader in(words);
    ParsedDialog dialog;
    dialog.style = in.Dword();
    in.Dword();  // extended style
    const WORD count = in.Word();
    in.Word();  // x
    in.Word();  // y
    dialog.cx = static_cast<short>(in.Word());
    dialog.cy = static_cast<short>(in.Word());
    const bool noMenu = in.Word() == 0;
    const bool standardClass = in.Word() == 0;
    dialog.caption = in.String();
    if (dialog.style & DS_SETFONT) {
        dialog.pointSize = in.Word();
        dialog.font = in.String();
    }
    for (WORD i = 0; i < count; ++i) {
        in.Align();
        ParsedItem item;
        item.offset = in.At();
        item.style = in.Dword();
        in.Dword();
        item.x = static_cast<short>(in.Word());
        item.y = static_cast<short>(in.Word());
        item.cx = static_cast<short>(in.Word());
        item.cy = static_cast<short>(in.Word());
        item.id = static_cast<short>(in.Word());
        if (const WORD first = in.Word(); first == 0xFFFF) {
            item.classAtom = in.Word();
        } else {
            item.className.push_back(static_cast<wchar_t>(first));
            item.className += in.String();
        }
        item.text = in.String();
        const WORD extra = in.Word();
        for (WORD skip = 0; skip < (extra + 1) / 2; ++skip) {
            in.Word();
        }
        dialog.items.push_back(item);
    }
    ok = noMenu && standardClass && !in.Overrun() && in.AtEnd();
    return dialog;
}

std::wstring Wide(const char* text) {
    return std::wstring(text, text + std::char_traits<char>::length(text));
}

class DialogBuilderTest : public ::testing::TestWithParam<const DialogTemplate* (*)()> {};

TEST_P(DialogBuilderTest, EveryControlOfTheTemplateArrivesAsWritten) {
    const DialogTemplate& source = *GetParam()();
    bool ok = false;
    const ParsedDialog dialog = Parse(BuildDialogTemplate(LayoutFromTemplate(source)), ok);
    ASSERT_TRUE(ok) << "the template bytes do not read back whole";

    EXPECT_EQ(dialog.caption, Wide(source.caption));
    EXPECT_EQ(dialog.cx, source.cx);
    EXPECT_EQ(dialog.cy, source.cy);
    const DWORD modal = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    EXPECT_EQ(dialog.style & modal, modal);
    // Shown by the dialog manager only once it has initialised, so an exchange that fails while
    // the dialog initialises ends it unseen.
    EXPECT_EQ(dialog.style & WS_VISIBLE, 0u);
    EXPECT_EQ(dialog.font, L"MS Sans Serif");
    EXPECT_EQ(dialog.pointSize, 8);

    ASSERT_EQ(dialog.items.size(), source.controls.size());
    for (std::size_t i = 0; i < dialog.items.size(); ++i) {
        const ControlTemplate& control = source.controls[i];
        const ParsedItem& item = dialog.items[i];
        SCOPED_TRACE("control " + std::to_string(i));
        EXPECT_EQ(item.offset % 2, 0u) << "an item must start on a 32-bit boundary";
        EXPECT_EQ(item.id, control.id);
        EXPECT_EQ(item.x, control.x);
        EXPECT_EQ(item.y, control.y);
        EXPECT_EQ(item.cx, control.cx);
        EXPECT_EQ(item.cy, control.cy);
        EXPECT_EQ(item.text, Wide(control.text));
        EXPECT_EQ((item.style & WS_TABSTOP) != 0, (control.style & CS_TABSTOP) != 0);
        EXPECT_EQ(item.style & (WS_CHILD | WS_VISIBLE), DWORD(WS_CHILD | WS_VISIBLE));
        switch (control.kind) {
            case ControlKind::Text:
                EXPECT_EQ(item.classAtom, 0x0082);
                EXPECT_EQ(item.style & SS_TYPEMASK, DWORD(SS_LEFT));
                EXPECT_NE(item.style & SS_NOPREFIX, 0u);
                break;
            case ControlKind::Icon:
                EXPECT_EQ(item.classAtom, 0x0082);
                EXPECT_EQ(item.style & SS_TYPEMASK, DWORD(SS_ICON));
                break;
            case ControlKind::Edit:
                EXPECT_EQ(item.classAtom, 0x0081);
                EXPECT_NE(item.style & ES_AUTOHSCROLL, 0u);
                EXPECT_NE(item.style & WS_BORDER, 0u);
                EXPECT_EQ((item.style & ES_READONLY) != 0, (control.style & CS_READONLY) != 0);
                break;
            case ControlKind::DropDownList:
            case ControlKind::DropDownEdit:
                EXPECT_EQ(item.classAtom, 0x0085);
                EXPECT_EQ(item.style & 0x3,
                          DWORD(control.kind == ControlKind::DropDownList ? CBS_DROPDOWNLIST
                                                                          : CBS_DROPDOWN));
                EXPECT_EQ(item.style & CBS_SORT, 0u);
                EXPECT_NE(item.style & WS_VSCROLL, 0u);
                break;
            case ControlKind::PushButton:
                EXPECT_EQ(item.classAtom, 0x0080);
                EXPECT_EQ(item.style & BS_TYPEMASK, DWORD(BS_PUSHBUTTON));
                break;
            case ControlKind::DefPushButton:
                EXPECT_EQ(item.classAtom, 0x0080);
                EXPECT_EQ(item.style & BS_TYPEMASK, DWORD(BS_DEFPUSHBUTTON));
                break;
            case ControlKind::List:
                // Lines in the order they are put in, in the height the layout gives.
                EXPECT_EQ(item.classAtom, 0x0083);
                EXPECT_EQ(item.style & LBS_SORT, 0u);
                EXPECT_NE(item.style & LBS_NOINTEGRALHEIGHT, 0u);
                EXPECT_NE(item.style & WS_VSCROLL, 0u);
                break;
            case ControlKind::Table:
                EXPECT_EQ(item.className, L"SysListView32");
                EXPECT_EQ(item.style & LVS_TYPEMASK, DWORD(LVS_REPORT));
                break;
        }
    }
}

const DialogTemplate* About() {
    return &AboutBoxTemplate();
}
const DialogTemplate* Configuration() {
    return &ConfigurationTemplate();
}
const DialogTemplate* RadioInfo() {
    return &RadioInfoTemplate();
}
const DialogTemplate* ProgramEsn() {
    return &ProgramEsnTemplate();
}
const DialogTemplate* ProgramRegionalId() {
    return &ProgramRegionalIdTemplate();
}
const DialogTemplate* EsnRegistry() {
    return &EsnRegistryTemplate();
}
const DialogTemplate* ProductionLine() {
    return &ProductionLineTemplate();
}

INSTANTIATE_TEST_SUITE_P(AllDialogs, DialogBuilderTest,
                         ::testing::Values(&About, &Configuration, &RadioInfo, &ProgramEsn,
                                           &ProgramRegionalId, &EsnRegistry, &ProductionLine));

TEST(DialogBuilder, ProgramEsnTabsThroughTheFieldsThenProgramThenAbort) {
    bool ok = false;
    const ParsedDialog dialog =
        Parse(BuildDialogTemplate(LayoutFromTemplate(ProgramEsnTemplate())), ok);
    ASSERT_TRUE(ok);
    std::vector<int> tabStops;
    for (const ParsedItem& item : dialog.items) {
        if (item.style & WS_TABSTOP) {
            tabStops.push_back(item.id);
        }
    }
    EXPECT_EQ(tabStops, (std::vector<int>{1002, 1003, 1004, 1, 2}));
}

TEST(DialogBuilder, ANamedClassAndOddLengthTextsKeepTheItemsAligned) {
    DialogLayout layout;
    layout.style = kModalDialogStyle;
    layout.caption = L"Odd";  // three characters and the zero: an even count of words
    layout.fontName = kDialogFontName;
    layout.pointSize = kDialogPointSize;
    DialogItem bar;
    bar.className = L"msctls_progress32";
    bar.style = WS_CHILD | WS_VISIBLE;
    bar.id = 101;
    DialogItem text;
    text.className = L"Static";
    text.text = L"ab";
    text.id = 100;
    layout.items = {bar, text, bar};
    bool ok = false;
    const ParsedDialog dialog = Parse(BuildDialogTemplate(layout), ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(dialog.items.size(), 3u);
    EXPECT_EQ(dialog.items[0].className, L"msctls_progress32");
    EXPECT_EQ(dialog.items[0].classAtom, 0);
    EXPECT_EQ(dialog.items[1].classAtom, 0x0082);
    EXPECT_EQ(dialog.items[1].text, L"ab");
    for (const ParsedItem& item : dialog.items) {
        EXPECT_EQ(item.offset % 2, 0u);
    }
}

}  // namespace
}  // namespace varnel::win32
