#include "win32/Dialog.h"

#include <vector>

#include "win32/DialogBuilder.h"
#include "win32/Images.h"
#include "win32/Placement.h"
#include "win32/Text.h"
#include "win32/WaitCursor.h"

namespace varnel::win32 {

CDialog::CDialog(const DialogTemplate& dialogTemplate, HWND owner)
    : m_template(dialogTemplate), m_owner(owner) {}

CDialog::~CDialog() {
    if (m_icon != nullptr) {
        ::DestroyIcon(m_icon);
    }
}

INT_PTR CDialog::DoModal() {
    const std::vector<WORD> bytes = BuildDialogTemplate(LayoutFromTemplate(m_template));
    const INT_PTR result = ::DialogBoxIndirectParamW(
        ::GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(bytes.data()), m_owner,
        &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return result == -1 ? IDCANCEL : result;
}

void CDialog::EndDialog(int result) {
    if (m_hWnd != nullptr) {
        ::EndDialog(m_hWnd, result);
    }
}

HWND CDialog::GetDlgItem(int id) const {
    return m_hWnd != nullptr ? ::GetDlgItem(m_hWnd, id) : nullptr;
}

std::string CDialog::GetDlgItemText(int id) const {
    HWND item = GetDlgItem(id);
    if (item == nullptr) {
        return {};
    }
    const int length = ::GetWindowTextLengthW(item);
    std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    const int copied = ::GetWindowTextW(item, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return Narrow(text);
}

void CDialog::SetDlgItemText(int id, const std::wstring& text) {
    if (m_hWnd != nullptr) {
        ::SetDlgItemTextW(m_hWnd, id, text.c_str());
    }
}

void CDialog::CenterOnOwner() {
    CenterOver(m_hWnd, m_owner);
}

void CDialog::SetListLines(int id, const std::vector<std::string>& lines) {
    HWND list = GetDlgItem(id);
    if (list == nullptr) {
        return;
    }
    ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (const std::string& line : lines) {
        const std::wstring text = Widen(line);
        ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
}

void CDialog::PrepareControls() {
    // The controls are made in template order, so the n-th child is the n-th template line.
    HWND child = ::GetWindow(m_hWnd, GW_CHILD);
    for (const ControlTemplate& control : m_template.controls) {
        if (child == nullptr) {
            break;
        }
        if (control.kind == ControlKind::Icon) {
            if (m_icon == nullptr) {
                m_icon = CreateAppIcon(32);
            }
            ::SendMessageW(child, STM_SETICON, reinterpret_cast<WPARAM>(m_icon), 0);
        } else if (control.kind == ControlKind::List) {
            // Lines of columns keep them under each other only in a font of one width.
            ::SendMessageW(child, WM_SETFONT,
                           reinterpret_cast<WPARAM>(::GetStockObject(ANSI_FIXED_FONT)), FALSE);
        }
        child = ::GetWindow(child, GW_HWNDNEXT);
    }
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->m_hWnd = window;
        self->PrepareControls();
        self->CenterOnOwner();
        return self->OnInitDialog() ? TRUE : FALSE;
    }
    if (self == nullptr) {
        return FALSE;
    }
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED || lParam == 0) {
                if (LOWORD(wParam) == IDOK) {
                    self->OnOK();
                    return TRUE;
                }
                if (LOWORD(wParam) == IDCANCEL) {
                    self->OnCancel();
                    return TRUE;
                }
            }
            return self->OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
        case WM_SETCURSOR:
            if (ApplyOverrideCursor()) {
                ::SetWindowLongPtrW(window, DWLP_MSGRESULT, TRUE);
                return TRUE;
            }
            return FALSE;
        case WM_NCDESTROY:
            self->m_hWnd = nullptr;
            ::SetWindowLongPtrW(window, DWLP_USER, 0);
            return FALSE;
        default:
            return self->OnMessage(message, wParam, lParam);
    }
}

}  // namespace varnel::win32
