#include "win32/Dialog.h"

#include <algorithm>
#include <vector>

#include "win32/DialogBuilder.h"
#include "win32/Images.h"
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
    RECT dialog{};
    ::GetWindowRect(m_hWnd, &dialog);
    RECT area{};
    HWND owner = m_owner != nullptr && ::IsWindowVisible(m_owner) && !::IsIconic(m_owner) ? m_owner
                                                                                          : nullptr;
    if (owner != nullptr) {
        ::GetWindowRect(owner, &area);
    } else {
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    }
    const int width = dialog.right - dialog.left;
    const int height = dialog.bottom - dialog.top;
    int x = area.left + ((area.right - area.left) - width) / 2;
    int y = area.top + ((area.bottom - area.top) - height) / 2;
    // Never off the screen's working area, whatever the owner's place.
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    x = std::max<int>(work.left, std::min<int>(x, work.right - width));
    y = std::max<int>(work.top, std::min<int>(y, work.bottom - height));
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDialog::ShowIcons() {
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
        self->ShowIcons();
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
