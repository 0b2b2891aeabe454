#include "win32/ProgramEsnDlg.h"

#include <cstdint>
#include <iterator>
#include <string>
#include <utility>

#include "procedures/EsnProgramming.h"
#include "radio/Esn.h"
#include "strings/Messages.h"
#include "strings/StringTable.h"

namespace varnel {
namespace {

// The characters each field takes: enough for its largest value, so 1000 cannot be typed into
// field 1 and the parse can never overflow.
struct FieldRule {
    int id;
    int maxLength;
    std::int32_t min;
    std::int32_t max;
};
const FieldRule kFields[] = {
    {ProgramEsnIds::IDC_ESN_FIELD1, 3, 0, kEsnField1Max},
    {ProgramEsnIds::IDC_ESN_FIELD2, 2, 0, kEsnField2Max},
    {ProgramEsnIds::IDC_ESN_FIELD3, 6, kEsnField3Min, kEsnField3Max},
};

}  // namespace

CProgramEsnDlg::CProgramEsnDlg(Session session, HWND owner)
    : CDialog(ProgramEsnTemplate(), owner), m_session(std::move(session)) {}

bool CProgramEsnDlg::OnInitDialog() {
    if (RunProcedure(m_session, CheckEsnBlank).outcome != Outcome::Done) {
        EndDialog(IDCANCEL);
        return true;
    }
    for (const FieldRule& field : kFields) {
        ::SendMessageW(GetDlgItem(field.id), EM_LIMITTEXT, static_cast<WPARAM>(field.maxLength), 0);
    }
    return true;
}

void CProgramEsnDlg::OnOK() {
    std::int32_t values[std::size(kFields)] = {};
    for (std::size_t i = 0; i < std::size(kFields); ++i) {
        const std::string text = GetDlgItemText(kFields[i].id);
        if (!ParseDecimalField(text, values[i], kFields[i].min, kFields[i].max)) {
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
