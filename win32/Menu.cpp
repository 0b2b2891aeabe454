#include "win32/Menu.h"

#include "strings/StringTable.h"
#include "win32/Text.h"

namespace varnel::win32 {
namespace {

const MenuItemDefinition kFile[] = {{ID_APP_EXIT, "E&xit"}};
const MenuItemDefinition kRadioAccess[] = {{ID_RADIO_INFO, "Radio &Info..."},
                                           {0, nullptr},
                                           {ID_PROGRAM_ESN, "Program &ESN..."},
                                           {ID_PROGRAM_REGIONAL_ID, "Program &Regional ID..."}};
const MenuItemDefinition kOptions[] = {{ID_CONFIGURATION, "&Configuration..."}};
const MenuItemDefinition kView[] = {{ID_VIEW_TOOLBAR, "&Toolbar"},
                                    {ID_VIEW_STATUS_BAR, "&Status Bar"}};
const MenuItemDefinition kHelp[] = {
    {ID_HELP_FINDER, "&Help Topics"}, {0, nullptr}, {ID_APP_ABOUT, "&About Varnel..."}};

const MenuDefinition kMenu128[] = {
    {"&File", kFile}, {"&Radio Access", kRadioAccess}, {"&Options", kOptions}, {"&View", kView},
    {"&Help", kHelp},
};

constexpr int kHelpMenuPosition = 4;

}  // namespace

std::span<const MenuDefinition> Menu128() {
    return kMenu128;
}

HMENU CreateMenuBar(std::span<const MenuDefinition> definition) {
    HMENU bar = ::CreateMenu();
    if (bar == nullptr) {
        return nullptr;
    }
    for (const MenuDefinition& menu : definition) {
        HMENU popup = ::CreatePopupMenu();
        if (popup == nullptr) {
            ::DestroyMenu(bar);
            return nullptr;
        }
        for (const MenuItemDefinition& item : menu.items) {
            if (item.command == 0) {
                ::AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
            } else {
                ::AppendMenuW(popup, MF_STRING, static_cast<UINT_PTR>(item.command),
                              Widen(item.text).c_str());
            }
        }
        ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), Widen(menu.title).c_str());
    }
    return bar;
}

void TrimMenu(HMENU menuBar) {
    if (menuBar == nullptr) {
        return;
    }
    ::DeleteMenu(menuBar, ID_PROGRAM_REGIONAL_ID, MF_BYCOMMAND);
    ::DeleteMenu(menuBar, ID_HELP_FINDER, MF_BYCOMMAND);
    if (HMENU help = ::GetSubMenu(menuBar, kHelpMenuPosition)) {
        ::DeleteMenu(help, 0, MF_BYPOSITION);
    }
}

}  // namespace varnel::win32
