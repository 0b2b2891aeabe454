#include "dialogs/ProgramEsnDlg.h"

#include <QLabel>
#include <QLineEdit>

#include <algorithm>

#include <cstdint>
#include <string>
#include <utility>

#include "procedures/EsnProgramming.h"
#include "radio/Esn.h"
#include "strings/Messages.h"
#include "strings/StringTable.h"

namespace varnel {
namespace {

// The entry fields, in the order of kEsnEntryFields.
constexpr int kFieldIds[] = {ProgramEsnIds::IDC_ESN_FIELD1, ProgramEsnIds::IDC_ESN_FIELD2,
                             ProgramEsnIds::IDC_ESN_FIELD3};
static_assert(std::size(kFieldIds) == kEsnEntryFields.size());

}  // namespace

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
    if (RunProcedure(m_session, CheckEsnBlank).outcome != Outcome::Done) {
        EndDialog(kIdCancel);
        return true;
    }
    for (std::size_t i = 0; i < kEsnEntryFields.size(); ++i) {
        if (QLineEdit* edit = GetEdit(kFieldIds[i])) {
            edit->setMaxLength(kEsnEntryFields[i].maxLength);
        }
    }
    return true;
}

void CProgramEsnDlg::OnOK() {
    std::int32_t values[kEsnEntryFields.size()] = {};
    for (std::size_t i = 0; i < kEsnEntryFields.size(); ++i) {
        const std::string text = GetDlgItemText(kFieldIds[i]).toStdString();
        if (!ParseDecimalField(text, values[i], kEsnEntryFields[i].min, kEsnEntryFields[i].max)) {
            ShowMessage(m_session.reporter, MSG_ERROR, IDS_ESN_INVALID);
            return;
        }
    }
    const EsnFields esn{values[0], values[1], values[2]};
    if (RunProcedure(m_session, [&](Session& s) { return ProgramEsn(s, esn); }).outcome ==
        Outcome::Done) {
        CDialog::OnOK();
    }
    // Otherwise the dialog stays open with the fields as typed, for another try or Abort.
}

}  // namespace varnel
