#pragma once

#include "win32/Win32Api.h"

#include <string>
#include <vector>

#include "templates/DialogTemplates.h"

namespace varnel::win32 {

// A modal dialog built from one of the shared templates: the template becomes a DLGTEMPLATE in
// memory and runs with DialogBoxIndirectParam. OnInitDialog runs before the dialog is shown;
// EndDialog called there ends DoModal without the dialog ever appearing. "OK" (and Enter on the
// default button) reaches OnOK, "Cancel", Esc and the close box reach OnCancel.
class CDialog {
public:
    CDialog(const DialogTemplate& dialogTemplate, HWND owner);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog and returns the result EndDialog was given (IDCANCEL when it could not be
    // made).
    INT_PTR DoModal();

    HWND GetSafeHwnd() const { return m_hWnd; }
    const DialogTemplate& Template() const { return m_template; }

protected:
    // Returns true to have the focus put on the first tab stop.
    virtual bool OnInitDialog() { return true; }
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // Every other command of a control (a button other than OK and Cancel, a list's selection
    // change): id is the control's, code the notification. True when handled.
    virtual bool OnCommand(int id, int code) {
        (void)id;
        (void)code;
        return false;
    }
    // Every other message of the dialog (WM_CTLCOLORSTATIC, WM_TIMER, ...): returns what the
    // dialog procedure returns for it, FALSE for the dialog manager's own handling.
    virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        (void)message;
        (void)wParam;
        (void)lParam;
        return FALSE;
    }

    void EndDialog(int result);
    HWND GetDlgItem(int id) const;
    std::string GetDlgItemText(int id) const;  // UTF-8
    void SetDlgItemText(int id, const std::wstring& text);
    // Puts lines (UTF-8) into a list control in their order, in place of what it held.
    void SetListLines(int id, const std::vector<std::string>& lines);

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void CenterOnOwner();
    // Puts in what a template cannot say: the icon's picture, the lists' font.
    void PrepareControls();

    const DialogTemplate& m_template;
    HWND m_owner;
    HWND m_hWnd = nullptr;
    HICON m_icon = nullptr;
};

}  // namespace varnel::win32
