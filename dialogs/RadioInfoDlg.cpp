#include "dialogs/RadioInfoDlg.h"

#include <QString>

#include <utility>

#include "procedures/RadioInfo.h"

namespace varnel {
namespace {

using C = CRadioInfoDlg;

constexpr unsigned kField = CS_TABSTOP | CS_READONLY;

const ControlTemplate kControls[] = {
    {ControlKind::Text, IDC_STATIC, 8, 12, 64, 8, "Model Number:"},
    {ControlKind::Edit, C::IDC_MODEL_NUMBER, 76, 8, 80, 14, "", kField},
    {ControlKind::Text, IDC_STATIC, 8, 32, 64, 8, "Serial Number:"},
    {ControlKind::Edit, C::IDC_SERIAL_NUMBER, 76, 28, 80, 14, "", kField},
    {ControlKind::Text, IDC_STATIC, 8, 52, 64, 8, "ESN:"},
    {ControlKind::Edit, C::IDC_ESN, 76, 48, 80, 14, "", kField},
    {ControlKind::Text, IDC_STATIC, 8, 73, 64, 8, "Software Version:"},
    {ControlKind::Edit, C::IDC_SOFTWARE_VERSION, 76, 68, 80, 14, "", kField},
    {ControlKind::Text, IDC_STATIC, 8, 92, 64, 8, "Codeplug Version:"},
    {ControlKind::Edit, C::IDC_CODEPLUG_VERSION, 76, 89, 80, 14, "", kField},
    {ControlKind::Text, IDC_STATIC, 168, 12, 64, 8, "Last Programmed:"},
    {ControlKind::Edit, C::IDC_LAST_PROGRAMMED, 236, 8, 80, 14, "", kField},
    {ControlKind::Text, IDC_STATIC, 168, 32, 64, 8, "Codeplug Part No:"},
    {ControlKind::Edit, C::IDC_CODEPLUG_PART_NO, 236, 28, 80, 14, "", kField},
    {ControlKind::Text, IDC_STATIC, 168, 52, 64, 8, "Firmware Part No:"},
    {ControlKind::Edit, C::IDC_FIRMWARE_PART_NO, 236, 48, 80, 14, "", kField},
    {ControlKind::Text, IDC_STATIC, 168, 73, 64, 8, "Radio IC Versions:"},
    {ControlKind::Edit, C::IDC_RADIO_IC_VERSIONS, 236, 68, 80, 14, "", kField},
    {ControlKind::Text, IDC_STATIC, 168, 92, 64, 8, "Regional Identifier:"},
    {ControlKind::Edit, C::IDC_REGIONAL_ID, 236, 88, 80, 14, "", kField},
    {ControlKind::Text, IDC_STATIC, 8, 112, 64, 8, "UUID:"},
    {ControlKind::Edit, C::IDC_UUID, 76, 108, 240, 14, "", kField},
    {ControlKind::DefPushButton, IDOK, 140, 132, 50, 14, "OK", CS_TABSTOP},
};

const DialogTemplate kTemplate = {C::IDD, "Radio Info", 328, 153, kControls};

// The field each read of the sequence fills, in the order of the reads.
constexpr int kFields[kRadioInfoFieldCount] = {
    C::IDC_MODEL_NUMBER,      C::IDC_SERIAL_NUMBER,
    C::IDC_SOFTWARE_VERSION,  C::IDC_CODEPLUG_VERSION,
    C::IDC_LAST_PROGRAMMED,   C::IDC_CODEPLUG_PART_NO,
    C::IDC_FIRMWARE_PART_NO,  C::IDC_ESN,
    C::IDC_REGIONAL_ID,       C::IDC_UUID,
    C::IDC_RADIO_IC_VERSIONS,
};

}  // namespace

CRadioInfoDlg::CRadioInfoDlg(Session session, QWidget* parent)
    : CDialog(kTemplate, parent), m_session(std::move(session)) {}

bool CRadioInfoDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    const RadioInfoResult result = RunProcedure(m_session, ReadRadioInfo);
    if (result.outcome != Outcome::Done) {
        EndDialog(IDCANCEL);
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
