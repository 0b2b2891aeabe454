#pragma once

#include "win32/Win32Api.h"

namespace varnel::win32 {

// The cursor shown over Varnel's own windows while work is going on, on top of what each window
// would show. Pushes nest: the latest one counts. All on the user-interface thread.
void PushOverrideCursor(LPCWSTR cursorId);
void PopOverrideCursor();

// For a window's WM_SETCURSOR: sets the override cursor and returns true when one is in force.
bool ApplyOverrideCursor();

// While alive, the wait cursor shows over Varnel's windows.
class CWaitCursor {
public:
    CWaitCursor() { PushOverrideCursor(IDC_WAIT); }
    ~CWaitCursor() { PopOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

}  // namespace varnel::win32
