#include "win32/Activation.h"

namespace varnel::win32 {
namespace {

class SystemWindowCallsImpl final : public IWindowCalls {
public:
    bool IsEnabled(HWND window) override { return ::IsWindowEnabled(window) != FALSE; }
    bool IsShown(HWND window) override {
        return ::IsWindow(window) && ::IsWindowVisible(window) && !::IsIconic(window);
    }
    void Enable(HWND window, bool enable) override {
        ::EnableWindow(window, enable ? TRUE : FALSE);
    }
    HWND Active() override { return ::GetActiveWindow(); }
    void Activate(HWND window) override { ::SetActiveWindow(window); }
    void Destroy(HWND window) override { ::DestroyWindow(window); }
};

}  // namespace

IWindowCalls& SystemWindowCalls() {
    static SystemWindowCallsImpl calls;
    return calls;
}

void DestroyHandingActivation(HWND window, HWND owner, IWindowCalls& calls) {
    if (owner == nullptr || calls.Active() != window || !calls.IsShown(owner)) {
        calls.Destroy(window);
        return;
    }
    const bool wasDisabled = !calls.IsEnabled(owner);
    if (wasDisabled) {
        calls.Enable(owner, true);
    }
    calls.Activate(owner);
    calls.Destroy(window);
    if (wasDisabled) {
        calls.Enable(owner, false);
    }
}

}  // namespace varnel::win32
