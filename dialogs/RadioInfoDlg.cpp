#include "dialogs/RadioInfoDlg.h"

#include <QString>

#include <string>
#include <utility>

#include "usecases/RadioInfoFields.h"

namespace varnel {

CRadioInfoDlg::CRadioInfoDlg(Session session, QWidget* parent)
    : CDialog(RadioInfoTemplate(), parent), m_session(std::move(session)) {}

bool CRadioInfoDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // Values are single-byte characters; Latin-1 keeps every byte as one character.
    const bool shown = ShowRadioInfo(m_session, [this](int control, const std::string& text) {
        SetDlgItemText(control, QString::fromLatin1(text));
    });
    if (!shown) {
        EndDialog(kIdCancel);
    }
    return true;
}

}  // namespace varnel
