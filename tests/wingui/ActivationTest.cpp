// Who is active once the progress window goes, through the calls made: Wine activates no other
// program's window when the owner is disabled, so only their order shows the fault.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win32/Activation.h"

namespace varnel::win32 {
namespace {

HWND Fake(int n) {
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(n));
}
const HWND kProgress = Fake(1);
const HWND kOwner = Fake(2);
const HWND kDialog = Fake(3);

// Windows as state, every call that changes them logged by name.
class RecordedWindows final : public IWindowCalls {
public:
    HWND active = nullptr;
    bool ownerEnabled = true;
    bool ownerShown = true;
    std::vector<std::string> log;

    bool IsEnabled(HWND window) override { return window != kOwner || ownerEnabled; }
    bool IsShown(HWND window) override { return window != kOwner || ownerShown; }
    void Enable(HWND window, bool enable) override {
        log.push_back(std::string(enable ? "enable " : "disable ") + Name(window));
        if (window == kOwner) {
            ownerEnabled = enable;
        }
    }
    HWND Active() override { return active; }
    void Activate(HWND window) override {
        log.push_back("activate " + Name(window));
        active = window;
    }
    void Destroy(HWND window) override {
        // What Windows does with the activation of a window that goes: to its owner if that
        // takes input, else to another program.
        log.push_back("destroy " + Name(window));
        if (active == window) {
            active = ownerEnabled && ownerShown ? kOwner : Fake(99);
        }
    }

private:
    static std::string Name(HWND window) {
        return window == kProgress ? "progress" : window == kOwner ? "owner" : "dialog";
    }
};

struct Case {
    const char* name;
    HWND active;
    bool ownerEnabled;
    bool ownerShown;
    std::vector<std::string> calls;
    HWND activeAfter;
    bool ownerEnabledAfter;
};

TEST(Win32Activation, TheProgressWindowGoesWithVarnelStillActive) {
    const Case cases[] = {
        {"a dialog's opening exchange: the owner disabled by the dialog",
         kProgress,
         false,
         true,
         {"enable owner", "activate owner", "destroy progress", "disable owner"},
         kOwner,
         false},
        {"an exchange from the main window: the owner has its input back already",
         kProgress,
         true,
         true,
         {"activate owner", "destroy progress"},
         kOwner,
         true},
        {"an exchange from a shown dialog, which has the activation back already",
         kDialog,
         false,
         true,
         {"destroy progress"},
         kDialog,
         false},
        {"an owner not shown is not activated",
         kProgress,
         false,
         false,
         {"destroy progress"},
         Fake(99),
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordedWindows windows;
        windows.active = c.active;
        windows.ownerEnabled = c.ownerEnabled;
        windows.ownerShown = c.ownerShown;
        DestroyHandingActivation(kProgress, kOwner, windows);
        EXPECT_EQ(windows.log, c.calls);
        EXPECT_EQ(windows.active, c.activeAfter);
        EXPECT_EQ(windows.ownerEnabled, c.ownerEnabledAfter);
    }
}

}  // namespace
}  // namespace varnel::win32
