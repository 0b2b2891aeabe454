#include "win32/WindowDisabler.h"

namespace varnel::win32 {

CWindowDisabler::CWindowDisabler(HWND keep)
    : m_keep(keep), m_active(::GetActiveWindow()), m_focus(::GetFocus()) {
    ::EnumThreadWindows(::GetCurrentThreadId(), &CWindowDisabler::DisableOne,
                        reinterpret_cast<LPARAM>(this));
}

CWindowDisabler::~CWindowDisabler() {
    Restore();
}

BOOL CALLBACK CWindowDisabler::DisableOne(HWND window, LPARAM self) {
    auto* disabler = reinterpret_cast<CWindowDisabler*>(self);
    if (window != disabler->m_keep && ::IsWindowVisible(window) && ::IsWindowEnabled(window)) {
        ::EnableWindow(window, FALSE);
        disabler->m_disabled.push_back(window);
    }
    return TRUE;
}

void CWindowDisabler::Restore() {
    if (m_restored) {
        return;
    }
    m_restored = true;
    for (auto it = m_disabled.rbegin(); it != m_disabled.rend(); ++it) {
        if (::IsWindow(*it)) {
            ::EnableWindow(*it, TRUE);
        }
    }
    // The window that had the user's attention gets it back, not whichever window the system
    // picks when the last box or progress window goes.
    if (m_active != nullptr && ::IsWindow(m_active) && ::IsWindowVisible(m_active) &&
        ::IsWindowEnabled(m_active)) {
        ::SetActiveWindow(m_active);
        if (m_focus != nullptr && ::IsWindow(m_focus) && ::IsWindowVisible(m_focus) &&
            ::IsWindowEnabled(m_focus) && (m_focus == m_active || ::IsChild(m_active, m_focus))) {
            ::SetFocus(m_focus);
        }
    }
}

}  // namespace varnel::win32
