#include "win32/ProgramEsnDlg.h"

#include <string>
#include <utility>

#include "usecases/EsnEntry.h"

namespace varnel::win32 {

CProgramEsnDlg::CProgramEsnDlg(Session session, HWND owner)
    : CDialog(ProgramEsnTemplate(), owner), m_session(std::move(session)) {}

bool CProgramEsnDlg::OnInitDialog() {
    if (!MayEnterEsn(m_session)) {
        EndDialog(IDCANCEL);
        return true;
    }
    for (const EsnEntryControl& control : kEsnEntryControls) {
        ::SendMessageW(GetDlgItem(control.id), EM_LIMITTEXT, static_cast<WPARAM>(control.maxLength),
                       0);
    }
    return true;
}

void CProgramEsnDlg::OnOK() {
    if (ProgramTypedEsn(m_session, [this](int control) { return GetDlgItemText(control); })) {
        CDialog::OnOK();
    }
    // Otherwise the dialog stays open with the fields as typed, for another try or Abort.
}

}  // namespace varnel::win32
