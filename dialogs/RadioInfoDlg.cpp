#include "dialogs/RadioInfoDlg.h"

#include <QString>

#include <cstdint>
#include <iterator>

#include "dialogs/RadioExchange.h"
#include "radio/Catalogue.h"

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

// Which failure of a read the sequence lives with. The Model and Serial Numbers are shown by
// every radio, so only a refusal of them is tolerated; the others are missing on some radios,
// so only "not supported" is.
enum class Tolerates { Refusal, NotSupported };

struct Query {
    std::uint8_t id;
    int field;
    bool quiet;
    Tolerates tolerates;
};

// The order in which the radio is asked.
const Query kQueries[] = {
    {PARAM_MODEL_NUMBER, C::IDC_MODEL_NUMBER, false, Tolerates::Refusal},
    {PARAM_SERIAL_NUMBER, C::IDC_SERIAL_NUMBER, false, Tolerates::Refusal},
    {PARAM_SOFTWARE_VERSION, C::IDC_SOFTWARE_VERSION, false, Tolerates::NotSupported},
    {PARAM_CODEPLUG_VERSION, C::IDC_CODEPLUG_VERSION, false, Tolerates::NotSupported},
    {PARAM_LAST_PROGRAMMED, C::IDC_LAST_PROGRAMMED, true, Tolerates::NotSupported},
    {PARAM_CODEPLUG_PART_NO, C::IDC_CODEPLUG_PART_NO, true, Tolerates::NotSupported},
    {PARAM_FIRMWARE_PART_NO, C::IDC_FIRMWARE_PART_NO, true, Tolerates::NotSupported},
    {PARAM_ESN, C::IDC_ESN, true, Tolerates::NotSupported},
    {PARAM_REGIONAL_ID, C::IDC_REGIONAL_ID, true, Tolerates::NotSupported},
    {PARAM_UUID, C::IDC_UUID, true, Tolerates::NotSupported},
    {PARAM_RADIO_IC_VERSIONS, C::IDC_RADIO_IC_VERSIONS, true, Tolerates::NotSupported},
};

}  // namespace

const DialogTemplate& CRadioInfoDlg::Template132() {
    return kTemplate;
}

CRadioInfoDlg::CRadioInfoDlg(QWidget* parent) : CDialog(kTemplate, parent) {}

bool CRadioInfoDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    const auto outcome = CRadioExchange::Run([this](CRadioLink& link) {
        char value[CRadioLink::kValueSize];
        for (const Query& query : kQueries) {
            std::uint32_t length = 0;
            if (link.ReadParameter(value, query.id, length, query.quiet)) {
                // Values are single-byte characters; Latin-1 keeps every byte as one character.
                SetDlgItemText(query.field,
                               QString::fromLatin1(FormatParameter(query.id, value, length)));
                continue;
            }
            const RadioStatus status = CRadioExchange::TakeStatus(link);
            if (status == RadioStatus::Ok && query.tolerates == Tolerates::Refusal) {
                continue;  // the field stays empty
            }
            if (status == RadioStatus::NotSupported && query.tolerates == Tolerates::NotSupported) {
                SetDlgItemText(query.field, QStringLiteral("n/a"));
                continue;
            }
            return false;  // the link's message has been shown; the radio is not asked again
        }
        return true;
    });
    if (outcome != CRadioExchange::Outcome::Ended) {
        EndDialog(IDCANCEL);
    }
    return true;
}

}  // namespace varnel
