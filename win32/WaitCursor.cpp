#include "win32/WaitCursor.h"

#include <vector>

namespace varnel::win32 {
namespace {

std::vector<LPCWSTR>& Overrides() {
    static std::vector<LPCWSTR> overrides;
    return overrides;
}

// Has the window under the mouse ask for its cursor again, so a change shows at once rather
// than at the next move of the mouse.
void RefreshCursor() {
    POINT at{};
    if (::GetCursorPos(&at)) {
        ::SetCursorPos(at.x, at.y);
    }
}

}  // namespace

void PushOverrideCursor(LPCWSTR cursorId) {
    Overrides().push_back(cursorId);
    ::SetCursor(::LoadCursorW(nullptr, cursorId));
    RefreshCursor();
}

void PopOverrideCursor() {
    if (!Overrides().empty()) {
        Overrides().pop_back();
    }
    if (!Overrides().empty()) {
        ::SetCursor(::LoadCursorW(nullptr, Overrides().back()));
    } else {
        ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    }
    RefreshCursor();
}

bool ApplyOverrideCursor() {
    if (Overrides().empty()) {
        return false;
    }
    ::SetCursor(::LoadCursorW(nullptr, Overrides().back()));
    return true;
}

}  // namespace varnel::win32
