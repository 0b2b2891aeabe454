#include "dialogs/ProgramEsnDlg.h"

#include <QLabel>
#include <QLineEdit>

#include <algorithm>

#include <string>
#include <utility>

#include "usecases/EsnEntry.h"

namespace varnel {

CProgramEsnDlg::CProgramEsnDlg(Session session, QWidget* parent)
    : CDialog(ProgramEsnTemplate(), parent), m_session(std::move(session)) {
    // The instruction is laid out for a narrow font. With a wider desktop font it would run
    // under the "Program" button, so it wraps at its own width instead, as a static text of
    // the original layout does.
    const ControlTemplate& instruction = Template().controls.front();
    for (QLabel* label : findChildren<QLabel*>()) {
        if (label->text() == QString::fromUtf8(instruction.text)) {
            const QRect area =
                MapDialogRect(instruction.x, instruction.y, instruction.cx, instruction.cy);
            label->setWordWrap(true);
            label->setGeometry(area.x(), area.y(), area.width(),
                               std::max(area.height(), label->heightForWidth(area.width())));
        }
    }
}

bool CProgramEsnDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (!MayEnterEsn(m_session)) {
        EndDialog(kIdCancel);
        return true;
    }
    for (const EsnEntryControl& control : kEsnEntryControls) {
        if (QLineEdit* edit = GetEdit(control.id)) {
            edit->setMaxLength(control.maxLength);
        }
    }
    return true;
}

void CProgramEsnDlg::OnOK() {
    if (ProgramTypedEsn(m_session,
                        [this](int control) { return GetDlgItemText(control).toStdString(); })) {
        CDialog::OnOK();
    }
    // Otherwise the dialog stays open with the fields as typed, for another try or Abort.
}

}  // namespace varnel
