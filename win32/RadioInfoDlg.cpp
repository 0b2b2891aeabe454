#include "win32/RadioInfoDlg.h"

#include <string>
#include <utility>

#include "usecases/RadioInfoFields.h"
#include "win32/Text.h"

namespace varnel::win32 {

CRadioInfoDlg::CRadioInfoDlg(Session session, HWND owner)
    : CDialog(RadioInfoTemplate(), owner), m_session(std::move(session)) {}

bool CRadioInfoDlg::OnInitDialog() {
    const bool shown = ShowRadioInfo(m_session, [this](int control, const std::string& text) {
        SetDlgItemText(control, WidenLatin1(text));
    });
    if (!shown) {
        EndDialog(IDCANCEL);
    }
    return true;
}

}  // namespace varnel::win32
