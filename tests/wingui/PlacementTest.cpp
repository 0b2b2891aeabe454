// Where a dialog opens on a bench with two monitors: on its owner's, inside that monitor's work
// area. Wine shows one monitor only, so the screens are played.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "win32/Placement.h"

namespace varnel::win32 {
namespace {

HWND Fake(int n) {
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(n));
}
const HWND kDialog = Fake(1);
const HWND kOwner = Fake(2);

LONG Overlap(const RECT& a, const RECT& b) {
    const LONG w = std::min(a.right, b.right) - std::max(a.left, b.left);
    const LONG h = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
    return w > 0 && h > 0 ? w * h : 0;
}

// The primary monitor on the left, its taskbar at the bottom; a second one to its right, with
// its taskbar on the left.
class TwoMonitors final : public IScreens {
public:
    std::map<HWND, RECT> rects;
    bool ownerShown = true;

    RECT WindowRect(HWND window) override { return rects.at(window); }
    bool IsShown(HWND window) override { return window != kOwner || ownerShown; }
    RECT WorkAreaOf(HWND window) override {
        const RECT& at = rects.at(window);
        const RECT primary{0, 0, 1920, 1040};
        const RECT second{1960, 0, 3840, 1080};
        if (Overlap(at, second) > Overlap(at, primary)) {
            return second;
        }
        if (Overlap(at, primary) == 0 && at.left >= 1920) {
            return second;  // the nearest
        }
        return primary;
    }
};

struct Case {
    const char* name;
    RECT owner;
    bool ownerShown;
    POINT place;
};

TEST(Win32Placement, ADialogOpensOnItsOwnersMonitorAndStaysInsideItsWorkArea) {
    // The dialog is 400 x 300 and made where the system first puts it, on the primary monitor.
    const Case cases[] = {
        {"centred over an owner on the second monitor", {2200, 200, 3000, 800}, true, {2400, 350}},
        {"an owner half off the second monitor's right edge",
         {3500, 100, 4300, 700},
         true,
         {3440, 250}},
        {"an owner on the second monitor next to its taskbar",
         {1930, 500, 2130, 700},
         true,
         {1960, 450}},
        {"an owner hanging below the primary monitor", {100, 900, 700, 1400}, true, {200, 740}},
        {"an owner minimised: the middle of the dialog's own monitor",
         {2200, 200, 3000, 800},
         false,
         {760, 370}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TwoMonitors screens;
        screens.rects[kDialog] = {10, 10, 410, 310};
        screens.rects[kOwner] = c.owner;
        screens.ownerShown = c.ownerShown;
        const POINT at = CenteredPlace(kDialog, kOwner, screens);
        EXPECT_EQ(at.x, c.place.x);
        EXPECT_EQ(at.y, c.place.y);
    }
}

TEST(Win32Placement, ADialogWithoutOwnerIsCentredOnItsOwnMonitor) {
    TwoMonitors screens;
    screens.rects[kDialog] = {2000, 10, 2400, 310};
    const POINT at = CenteredPlace(kDialog, nullptr, screens);
    EXPECT_EQ(at.x, 1960 + (1880 - 400) / 2);
    EXPECT_EQ(at.y, (1080 - 300) / 2);
}

}  // namespace
}  // namespace varnel::win32
