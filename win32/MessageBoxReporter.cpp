#include "win32/MessageBoxReporter.h"

#include "win32/Text.h"
#include "win32/WaitCursor.h"
#include "win32/WindowDisabler.h"

namespace varnel::win32 {

std::wstring CMessageBoxReporter::BoxText(const Message& message) {
    std::wstring text = Widen(message.text);
    if (!message.detail.empty()) {
        text += L"\n\n";
        text += Widen(message.detail);
    }
    return text;
}

UINT CMessageBoxReporter::BoxFlags(int kind) {
    return MB_OK | (kind == MSG_ERROR ? MB_ICONHAND : MB_ICONASTERISK);
}

void CMessageBoxReporter::Show(const Message& message) {
    const std::wstring text = BoxText(message);
    const std::wstring caption = Widen(message.caption);
    HWND owner = m_owner != nullptr && ::IsWindow(m_owner) ? m_owner : nullptr;
    // The box belongs to the main window, but a dialog open above that window must not take
    // input meanwhile either; the box itself shuts out its owner.
    CWindowDisabler others(owner);
    // The box wants a click, not patience: the arrow, also over Varnel's windows, while it is up.
    PushOverrideCursor(IDC_ARROW);
    ::MessageBoxW(owner, text.c_str(), caption.c_str(), BoxFlags(message.kind));
    PopOverrideCursor();
}

}  // namespace varnel::win32
