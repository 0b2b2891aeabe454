#pragma once

#include "win32/Win32Api.h"

namespace varnel::win32 {

// What placing a window needs to know of the screens: the system's in the program; in tests,
// monitors laid out as a bench's are (Wine shows one monitor only).
class IScreens {
public:
    virtual ~IScreens() = default;
    virtual RECT WindowRect(HWND window) = 0;
    // Visible and not minimised.
    virtual bool IsShown(HWND window) = 0;
    // The work area (the monitor less the taskbar) of the monitor that holds the most of window,
    // or of the nearest one when none does.
    virtual RECT WorkAreaOf(HWND window) = 0;
};

IScreens& SystemScreens();

// Where window's top-left corner goes: centred over owner when owner is shown, otherwise over
// the work area of window's own monitor; and kept inside the work area of that same monitor, so
// that a dialog opens on the screen its owner is on, and never off it.
POINT CenteredPlace(HWND window, HWND owner, IScreens& screens);

// Moves window to CenteredPlace, without activating it or changing its size.
void CenterOver(HWND window, HWND owner);

}  // namespace varnel::win32
