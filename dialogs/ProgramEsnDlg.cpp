#include "dialogs/ProgramEsnDlg.h"

#include <QLabel>
#include <QLineEdit>

#include <algorithm>

#include <cstdint>
#include <string>

#include "dialogs/RadioExchange.h"
#include "radio/Catalogue.h"
#include "radio/Esn.h"
#include "strings/Messages.h"
#include "strings/StringTable.h"

namespace varnel {
namespace {

using C = CProgramEsnDlg;

constexpr unsigned kField = CS_TABSTOP;

const ControlTemplate kControls[] = {
    {ControlKind::Text, IDC_STATIC, 8, 8, 168, 24,
     "Enter the ESN to be programmed into the Radio.\n"
     "Press the \"Program\" button to program it into the Radio."},
    {ControlKind::Text, IDC_STATIC, 8, 44, 32, 8, "ESN:"},
    {ControlKind::Edit, C::IDC_ESN_FIELD1, 44, 40, 20, 14, "", kField},
    {ControlKind::Text, IDC_STATIC, 68, 44, 8, 8, "/"},
    {ControlKind::Edit, C::IDC_ESN_FIELD2, 76, 40, 20, 14, "", kField},
    {ControlKind::Text, IDC_STATIC, 100, 44, 8, 8, "/"},
    {ControlKind::Edit, C::IDC_ESN_FIELD3, 108, 40, 40, 14, "", kField},
    {ControlKind::DefPushButton, IDOK, 188, 4, 50, 14, "Program", CS_TABSTOP},
    {ControlKind::PushButton, IDCANCEL, 188, 24, 50, 14, "Abort", CS_TABSTOP},
};

const DialogTemplate kTemplate = {C::IDD, "Program ESN", 244, 65, kControls};

// The characters each field takes: enough for its largest value, so 1000 cannot be typed into
// field 1 and the parse can never overflow.
struct FieldRule {
    int id;
    int maxLength;
    std::int32_t min;
    std::int32_t max;
};
const FieldRule kFields[] = {
    {C::IDC_ESN_FIELD1, 3, 0, kEsnField1Max},
    {C::IDC_ESN_FIELD2, 2, 0, kEsnField2Max},
    {C::IDC_ESN_FIELD3, 6, kEsnField3Min, kEsnField3Max},
};

}  // namespace

const DialogTemplate& CProgramEsnDlg::Template133() {
    return kTemplate;
}

CProgramEsnDlg::CProgramEsnDlg(QWidget* parent) : CDialog(kTemplate, parent) {
    // The instruction is laid out for a narrow font. With a wider desktop font it would run
    // under the "Program" button, so it wraps at its own width instead, as a static text of
    // the original layout does.
    const ControlTemplate& instruction = kControls[0];
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

    bool close = false;
    const auto outcome = CRadioExchange::Run([&close](CRadioLink& link) {
        char value[CRadioLink::kValueSize];
        std::uint32_t length = 0;
        if (link.ReadParameter(value, PARAM_ESN, length, false)) {
            // Reported while the port is still open and the wait cursor up, like every outcome
            // of an exchange.
            if (length != kEsnReadFormSize) {
                ShowMessage(MSG_ERROR, IDS_ESN_FORMAT_UNSUPPORTED);
                close = true;
            } else if (!IsBlankEsn(reinterpret_cast<const std::uint8_t*>(value), length)) {
                ShowMessage(MSG_ERROR, IDS_ESN_ALREADY_PROGRAMMED);
                close = true;
            }
            return true;
        }
        // The read has reported its own failure. A refusal still ends the exchange properly;
        // a failed link (or a radio without ESNs) is left alone.
        close = true;
        return CRadioExchange::TakeStatus(link) == RadioStatus::Ok;
    });
    if (outcome != CRadioExchange::Outcome::Ended || close) {
        EndDialog(IDCANCEL);
        return true;
    }

    for (const FieldRule& field : kFields) {
        if (QLineEdit* edit = GetEdit(field.id)) {
            edit->setMaxLength(field.maxLength);
        }
    }
    return true;
}

void CProgramEsnDlg::OnOK() {
    std::int32_t values[std::size(kFields)] = {};
    for (std::size_t i = 0; i < std::size(kFields); ++i) {
        const std::string text = GetDlgItemText(kFields[i].id).toStdString();
        if (!ParseDecimalField(text, values[i], kFields[i].min, kFields[i].max)) {
            ShowMessage(MSG_ERROR, IDS_ESN_INVALID);
            return;
        }
    }
    const auto payload = EsnWriteForm(EsnFields{values[0], values[1], values[2]});

    bool written = false;
    const auto outcome = CRadioExchange::Run([&](CRadioLink& link) {
        written = link.WriteParameter(payload.data(), static_cast<std::uint32_t>(payload.size()));
        // The user hears the outcome before the exchange is closed, and the radio gets its
        // end-of-exchange request after a failed write as well.
        if (written) {
            ShowMessage(MSG_INFO, IDS_ESN_PROGRAMMED);
        } else {
            ShowMessage(MSG_ERROR, IDS_ESN_PROGRAM_FAILED);
        }
        return true;
    });
    if (outcome == CRadioExchange::Outcome::Ended && written) {
        CDialog::OnOK();
    }
    // Otherwise the dialog stays open with the fields as typed, for another try or Abort.
}

}  // namespace varnel
