#include "dialogs/ProgramRegionalIdDlg.h"

#include <QComboBox>
#include <QString>

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

#include "radio/Regions.h"
#include "strings/Messages.h"
#include "strings/StringTable.h"
#include "usecases/RegionEntry.h"

namespace varnel {
namespace {}  // namespace

CProgramRegionalIdDlg::CProgramRegionalIdDlg(Session session, QWidget* parent)
    : CDialog(ProgramRegionalIdTemplate(), parent), m_session(std::move(session)) {}

bool CProgramRegionalIdDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (!MayChooseRegion(m_session)) {
        EndDialog(kIdCancel);
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
    if (ProgramChosenRegion(m_session, GetComboBox(IDC_REGIONAL_ID)->currentIndex())) {
        CDialog::OnOK();
    }
    // Otherwise the dialog stays open with the choice unchanged, for another try or Abort.
}

}  // namespace varnel
