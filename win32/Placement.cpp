#include "win32/Placement.h"

#include <algorithm>

namespace varnel::win32 {
namespace {

class SystemScreensImpl final : public IScreens {
public:
    RECT WindowRect(HWND window) override {
        RECT rect{};
        ::GetWindowRect(window, &rect);
        return rect;
    }
    bool IsShown(HWND window) override { return ::IsWindowVisible(window) && !::IsIconic(window); }
    RECT WorkAreaOf(HWND window) override {
        MONITORINFO info{};
        info.cbSize = sizeof(info);
        HMONITOR monitor = ::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
        if (monitor != nullptr && ::GetMonitorInfoW(monitor, &info)) {
            return info.rcWork;
        }
        RECT work{};
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        return work;
    }
};

}  // namespace

IScreens& SystemScreens() {
    static SystemScreensImpl screens;
    return screens;
}

POINT CenteredPlace(HWND window, HWND owner, IScreens& screens) {
    const RECT self = screens.WindowRect(window);
    const bool overOwner = owner != nullptr && screens.IsShown(owner);
    const RECT work = screens.WorkAreaOf(overOwner ? owner : window);
    const RECT area = overOwner ? screens.WindowRect(owner) : work;
    const LONG width = self.right - self.left;
    const LONG height = self.bottom - self.top;
    LONG x = area.left + ((area.right - area.left) - width) / 2;
    LONG y = area.top + ((area.bottom - area.top) - height) / 2;
    // A window larger than the work area keeps its title bar on the screen: top and left win.
    x = std::max(work.left, std::min(x, work.right - width));
    y = std::max(work.top, std::min(y, work.bottom - height));
    return {x, y};
}

void CenterOver(HWND window, HWND owner) {
    const POINT at = CenteredPlace(window, owner, SystemScreens());
    ::SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace varnel::win32
