#include "dialogs/ProgramRegionalIdDlg.h"

#include <QComboBox>
#include <QString>

#include <cstdint>
#include <iterator>
#include <string_view>

#include "dialogs/RadioExchange.h"
#include "radio/Catalogue.h"
#include "strings/Messages.h"
#include "strings/StringTable.h"

namespace varnel {
namespace {

using C = CProgramRegionalIdDlg;

const ControlTemplate kControls[] = {
    {ControlKind::Text, IDC_STATIC, 8, 8, 188, 24,
     "Select the Regional ID to be programmed into the Radio.\n"
     "Press the \"Program\" button to program it into the Radio."},
    {ControlKind::Text, IDC_STATIC, 8, 44, 48, 8, "Regional ID:"},
    {ControlKind::DropDownList, C::IDC_REGIONAL_ID, 60, 40, 100, 72, "", CS_TABSTOP},
    {ControlKind::DefPushButton, IDOK, 208, 4, 50, 14, "Program", CS_TABSTOP},
    {ControlKind::PushButton, IDCANCEL, 208, 24, 50, 14, "Abort", CS_TABSTOP},
};

const DialogTemplate kTemplate = {C::IDD, "Program Regional ID", 264, 66, kControls};

// The regions offered, in list order; a region's code is its position plus one. Code 0 and the
// "none" code are never offered.
constexpr int kRegionStrings[] = {IDS_REGION_NORTH_AMERICA, IDS_REGION_LATIN_AMERICA,
                                  IDS_REGION_EMEA, IDS_REGION_ASIA};
// The highest code a programmed radio can hold; anything above it but "none" is damage.
constexpr std::uint8_t kLastRegionCode = 4;

}  // namespace

CProgramRegionalIdDlg::CProgramRegionalIdDlg(QWidget* parent) : CDialog(kTemplate, parent) {}

bool CProgramRegionalIdDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    const bool noRegion = CRadioExchange::ReadAndJudge(
        PARAM_REGIONAL_ID, [](const char* value, std::uint32_t length) {
            if (length != 1) {
                return static_cast<int>(IDS_REGION_FORMAT_UNSUPPORTED);
            }
            const auto code = static_cast<std::uint8_t>(value[0]);
            if (code == kRegionNone) {
                return 0;  // a radio without a Regional ID: the one case to go on
            }
            return static_cast<int>(code <= kLastRegionCode ? IDS_REGION_ALREADY_PROGRAMMED
                                                            : IDS_REGION_INVALID);
        });
    if (!noRegion) {
        EndDialog(IDCANCEL);
        return true;
    }

    QComboBox* list = GetComboBox(IDC_REGIONAL_ID);
    list->clear();
    for (const int id : kRegionStrings) {
        const std::string_view text = LoadString(id);
        list->addItem(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
    // Nothing is preselected: the user must choose a region on purpose.
    list->setCurrentIndex(-1);
    return true;
}

void CProgramRegionalIdDlg::OnOK() {
    const int position = GetComboBox(IDC_REGIONAL_ID)->currentIndex();
    if (position < 0 || position >= static_cast<int>(std::size(kRegionStrings))) {
        ShowMessage(MSG_ERROR, IDS_REGION_NOT_SELECTED);
        return;
    }
    const auto payload = RegionalIdWriteForm(static_cast<std::uint8_t>(position + 1));

    if (CRadioExchange::WriteAndReport(payload.data(), static_cast<std::uint32_t>(payload.size()),
                                       IDS_REGION_PROGRAMMED, IDS_REGION_PROGRAM_FAILED)) {
        CDialog::OnOK();
    }
    // Otherwise the dialog stays open with the choice unchanged, for another try or Abort.
}

}  // namespace varnel
