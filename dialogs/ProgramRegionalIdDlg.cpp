#include "dialogs/ProgramRegionalIdDlg.h"

#include <QComboBox>
#include <QString>

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

#include "procedures/RegionProgramming.h"
#include "radio/Regions.h"
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

}  // namespace

CProgramRegionalIdDlg::CProgramRegionalIdDlg(Session session, QWidget* parent)
    : CDialog(kTemplate, parent), m_session(std::move(session)) {}

bool CProgramRegionalIdDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (RunProcedure(m_session, CheckNoRegionalId).outcome != Outcome::Done) {
        EndDialog(IDCANCEL);
        return true;
    }
    QComboBox* list = GetComboBox(IDC_REGIONAL_ID);
    list->clear();
    for (const int id : kOfferedRegionStrings) {
        const std::string_view text = LoadString(id);
        list->addItem(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
    // Nothing is preselected: the user must choose a region on purpose.
    list->setCurrentIndex(-1);
    return true;
}

void CProgramRegionalIdDlg::OnOK() {
    const std::optional<std::uint8_t> code =
        RegionCodeAt(GetComboBox(IDC_REGIONAL_ID)->currentIndex());
    if (!code) {
        ShowMessage(m_session.reporter, MSG_ERROR, IDS_REGION_NOT_SELECTED);
        return;
    }
    if (RunProcedure(m_session, [&](Session& s) { return ProgramRegionalId(s, *code); }).outcome ==
        Outcome::Done) {
        CDialog::OnOK();
    }
    // Otherwise the dialog stays open with the choice unchanged, for another try or Abort.
}

}  // namespace varnel
