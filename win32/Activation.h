#pragma once

#include "win32/Win32Api.h"

namespace varnel::win32 {

// The window calls that decide which window is active once a window of Varnel's goes: the
// system's in the program; a recorder in tests, since Wine never hands the activation to another
// program the way Windows does, and only the order of the calls shows the fault.
class IWindowCalls {
public:
    virtual ~IWindowCalls() = default;
    virtual bool IsEnabled(HWND window) = 0;
    virtual bool IsShown(HWND window) = 0;
    virtual void Enable(HWND window, bool enable) = 0;
    virtual HWND Active() = 0;
    virtual void Activate(HWND window) = 0;
    virtual void Destroy(HWND window) = 0;
};

IWindowCalls& SystemWindowCalls();

// Destroys window, handing the activation to owner when window has it. Windows passes it on to
// the owner only if the owner takes input; a disabled one (a dialog being opened disables it)
// makes the system activate some other program's window, and Varnel and the dialog then sit
// behind it. So the owner is enabled and activated first, and disabled again afterwards if it
// was: whoever disabled it gives it back.
void DestroyHandingActivation(HWND window, HWND owner, IWindowCalls& calls);

}  // namespace varnel::win32
