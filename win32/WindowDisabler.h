#pragma once

#include "win32/Win32Api.h"

#include <vector>

namespace varnel::win32 {

// Shuts Varnel's windows to input for as long as it lives: every visible, enabled top-level
// window of the calling thread is disabled, except keep, and given back its input at the end.
// Input aimed at a disabled window is dropped by the system, never kept for later. The window
// that was active and the control that had the focus get them back.
class CWindowDisabler {
public:
    explicit CWindowDisabler(HWND keep = nullptr);
    ~CWindowDisabler();
    CWindowDisabler(const CWindowDisabler&) = delete;
    CWindowDisabler& operator=(const CWindowDisabler&) = delete;

    // Gives the windows back their input now (the destructor then does nothing more).
    void Restore();

private:
    static BOOL CALLBACK DisableOne(HWND window, LPARAM self);

    HWND m_keep;
    HWND m_active;
    HWND m_focus;
    std::vector<HWND> m_disabled;
    bool m_restored = false;
};

}  // namespace varnel::win32
