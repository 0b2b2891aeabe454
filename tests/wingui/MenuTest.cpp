// Menu 128 as varnel.exe builds it, before and after the trimming of start-up.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win32/Menu.h"

namespace varnel::win32 {
namespace {

// "title: id id - id" per menu, "-" for a separator.
std::vector<std::string> Describe(HMENU bar) {
    std::vector<std::string> lines;
    for (int i = 0; i < ::GetMenuItemCount(bar); ++i) {
        wchar_t title[64] = {};
        ::GetMenuStringW(bar, static_cast<UINT>(i), title, 64, MF_BYPOSITION);
        std::string line(title, title + std::wcslen(title));
        line += ":";
        HMENU popup = ::GetSubMenu(bar, i);
        for (int j = 0; popup != nullptr && j < ::GetMenuItemCount(popup); ++j) {
            const UINT id = ::GetMenuItemID(popup, j);
            line += ' ';
            line += id == 0 ? std::string("-") : std::to_string(id);
        }
        lines.push_back(line);
    }
    return lines;
}

TEST(Menu128, AsDefined) {
    HMENU bar = CreateMenuBar(Menu128());
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(Describe(bar), (std::vector<std::string>{
                                 "&File: 57665",
                                 "&Radio Access: 32771 - 32772 32776 32774",
                                 "&Options: 32773 32775",
                                 "&View: 59392 59393",
                                 "&Help: 57667 - 57664",
                             }));
    ::DestroyMenu(bar);
}

TEST(Menu128, TrimmedAtStartUp) {
    HMENU bar = CreateMenuBar(Menu128());
    ASSERT_NE(bar, nullptr);
    TrimMenu(bar);
    // The Regional ID command and the help topics are gone, and "&Help" holds the About
    // command with no separator above it.
    EXPECT_EQ(Describe(bar), (std::vector<std::string>{
                                 "&File: 57665",
                                 "&Radio Access: 32771 - 32772 32776",
                                 "&Options: 32773 32775",
                                 "&View: 59392 59393",
                                 "&Help: 57664",
                             }));
    wchar_t text[64] = {};
    ::GetMenuStringW(bar, 57664, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(text, L"&About Varnel...");
    ::DestroyMenu(bar);
}

TEST(Menu128, NoMenuIsNoTrimming) {
    TrimMenu(nullptr);  // must not touch anything
    SUCCEED();
}

}  // namespace
}  // namespace varnel::win32
