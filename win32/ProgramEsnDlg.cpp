#include "win32/ProgramEsnDlg.h"

#include <cstdint>
#include <iterator>
#include <string>
#include <utility>

#include "procedures/EsnProgramming.h"
#include "radio/Esn.h"
#include "strings/Messages.h"
#include "strings/StringTable.h"

namespace varnel::win32 {
namespace {

// The entry fields, in the order of kEsnEntryFields.
constexpr int kFieldIds[] = {ProgramEsnIds::IDC_ESN_FIELD1, ProgramEsnIds::IDC_ESN_FIELD2,
                             ProgramEsnIds::IDC_ESN_FIELD3};
static_assert(std::size(kFieldIds) == kEsnEntryFields.size());

}  // namespace

CProgramEsnDlg::CProgramEsnDlg(Session session, HWND owner)
    : CDialog(ProgramEsnTemplate(), owner), m_session(std::move(session)) {}

bool CProgramEsnDlg::OnInitDialog() {
    if (RunProcedure(m_session, CheckEsnBlank).outcome != Outcome::Done) {
        EndDialog(IDCANCEL);
        return true;
    }
    for (std::size_t i = 0; i < kEsnEntryFields.size(); ++i) {
        ::SendMessageW(GetDlgItem(kFieldIds[i]), EM_LIMITTEXT,
                       static_cast<WPARAM>(kEsnEntryFields[i].maxLength), 0);
    }
    return true;
}

void CProgramEsnDlg::OnOK() {
    std::int32_t values[kEsnEntryFields.size()] = {};
    for (std::size_t i = 0; i < kEsnEntryFields.size(); ++i) {
        const std::string text = GetDlgItemText(kFieldIds[i]);
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

}  // namespace varnel::win32
