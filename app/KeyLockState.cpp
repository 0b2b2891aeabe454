#include "app/KeyLockState.h"

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>

#include <fstream>
#endif

namespace varnel {

#ifdef _WIN32
std::optional<bool> IsLockOn(LockKey key) {
    const int vk = key == LockKey::Caps ? VK_CAPITAL : key == LockKey::Num ? VK_NUMLOCK : VK_SCROLL;
    return (::GetKeyState(vk) & 1) != 0;
}
#else
std::optional<bool> IsLockOn(LockKey key) {
    // Linux shows the keyboards' lock LEDs to every user under /sys/class/leds as
    // "input<N>::capslock" and so on; any keyboard with its LED lit counts.
    const char* suffix = key == LockKey::Caps  ? "::capslock"
                         : key == LockKey::Num ? "::numlock"
                                               : "::scrolllock";
    DIR* dir = ::opendir("/sys/class/leds");
    if (!dir) {
        return std::nullopt;
    }
    std::optional<bool> state;
    const std::string wanted(suffix);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name(entry->d_name);
        if (name.size() <= wanted.size() ||
            name.compare(name.size() - wanted.size(), wanted.size(), wanted) != 0) {
            continue;
        }
        std::ifstream brightness("/sys/class/leds/" + name + "/brightness");
        int value = 0;
        if (brightness >> value) {
            state = state.value_or(false) || value > 0;
        }
    }
    ::closedir(dir);
    return state;
}
#endif

}  // namespace varnel
