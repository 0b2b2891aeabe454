#pragma once

#include "win32/Win32Api.h"

#include <string>

#include "strings/Messages.h"

namespace varnel::win32 {

// Shows each message in a system message box owned by the main window (also when a dialog is
// open), with caption "Error" and the stop icon for errors, "Varnel" and the information icon
// for information, and one OK button. Every other window of Varnel takes no input while the box
// is up. Runs on the user-interface thread.
class CMessageBoxReporter final : public IMessageReporter {
public:
    // The owner of every box from now on; null before the main window exists (no owner then).
    void SetOwner(HWND owner) { m_owner = owner; }
    HWND GetOwner() const { return m_owner; }

    void Show(const Message& message) override;

    // The box's text: the message, and its detail after a blank line when it has one.
    static std::wstring BoxText(const Message& message);
    // MB_ICONHAND for errors, MB_ICONASTERISK for information, with MB_OK.
    static UINT BoxFlags(int kind);

private:
    HWND m_owner = nullptr;
};

}  // namespace varnel::win32
