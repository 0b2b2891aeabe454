#include "dialogs/RadioInfoDlg.h"

#include <QString>

#include <utility>

#include "procedures/RadioInfo.h"

namespace varnel {
namespace {

// The field each read of the sequence fills, in the order of the reads.
constexpr int kFields[kRadioInfoFieldCount] = {
    RadioInfoIds::IDC_MODEL_NUMBER,      RadioInfoIds::IDC_SERIAL_NUMBER,
    RadioInfoIds::IDC_SOFTWARE_VERSION,  RadioInfoIds::IDC_CODEPLUG_VERSION,
    RadioInfoIds::IDC_LAST_PROGRAMMED,   RadioInfoIds::IDC_CODEPLUG_PART_NO,
    RadioInfoIds::IDC_FIRMWARE_PART_NO,  RadioInfoIds::IDC_ESN,
    RadioInfoIds::IDC_REGIONAL_ID,       RadioInfoIds::IDC_UUID,
    RadioInfoIds::IDC_RADIO_IC_VERSIONS,
};

}  // namespace

CRadioInfoDlg::CRadioInfoDlg(Session session, QWidget* parent)
    : CDialog(RadioInfoTemplate(), parent), m_session(std::move(session)) {}

bool CRadioInfoDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    const RadioInfoResult result = RunProcedure(m_session, ReadRadioInfo);
    if (result.outcome != Outcome::Done) {
        EndDialog(kIdCancel);
        return true;
    }
    for (std::size_t i = 0; i < kRadioInfoFieldCount; ++i) {
        if (result.fields[i]) {
            // Values are single-byte characters; Latin-1 keeps every byte as one character.
            SetDlgItemText(kFields[i], QString::fromLatin1(*result.fields[i]));
        }
    }
    return true;
}

}  // namespace varnel
