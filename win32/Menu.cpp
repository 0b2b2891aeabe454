#include "win32/Menu.h"

#include "strings/StringTable.h"
#include "win32/Text.h"

namespace varnel::win32 {

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
    const MenuTrimDefinition trim = MenuTrim();
    for (const int command : trim.commands) {
        ::DeleteMenu(menuBar, static_cast<UINT>(command), MF_BYCOMMAND);
    }
    const int menus = ::GetMenuItemCount(menuBar);
    for (int i = 0; i < menus; ++i) {
        HMENU menu = ::GetSubMenu(menuBar, i);
        if (menu == nullptr || ::GetMenuState(menu, static_cast<UINT>(trim.leadingSeparatorOf),
                                              MF_BYCOMMAND) == static_cast<UINT>(-1)) {
            continue;
        }
        if ((::GetMenuState(menu, 0, MF_BYPOSITION) & MF_SEPARATOR) != 0) {
            ::DeleteMenu(menu, 0, MF_BYPOSITION);
        }
        break;
    }
}

}  // namespace varnel::win32
