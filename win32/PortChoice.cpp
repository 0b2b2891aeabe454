#include "win32/PortChoice.h"

#include <string>

#include "win32/Text.h"

namespace varnel::win32 {

void FillPortChoice(HWND list, const std::vector<PortEntry>& ports, int chosenIndex,
                    const std::function<bool(const PortEntry&)>& offers) {
    ::SendMessageW(list, CB_RESETCONTENT, 0, 0);
    int selected = -1;
    for (const PortEntry& port : ports) {
        if (!offers(port)) {
            continue;
        }
        const std::wstring name = Widen(port.name);
        const LRESULT at =
            ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        if (at < 0) {
            continue;
        }
        ::SendMessageW(list, CB_SETITEMDATA, static_cast<WPARAM>(at), port.index);
        if (port.index == chosenIndex) {
            selected = static_cast<int>(at);
        }
    }
    ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

std::optional<int> ChosenPortIndex(HWND list) {
    const LRESULT selected = ::SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (selected == CB_ERR) {
        return std::nullopt;
    }
    const LRESULT index = ::SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(selected), 0);
    if (index == CB_ERR) {
        return std::nullopt;
    }
    return static_cast<int>(index);
}

}  // namespace varnel::win32
