#include "dialogs/ConfigurationDlg.h"

#include <QComboBox>
#include <QString>

#include <array>

#include "link/PortNames.h"

namespace varnel {
namespace {

constexpr int kFirstPort = 1;
constexpr int kLastPort = 4;

constexpr std::array<ControlTemplate, 4> kControls = {{
    {ControlKind::Text, IDC_STATIC, 8, 12, 55, 8, "Serial Port:"},
    {ControlKind::DropDownList, CConfigurationDlg::IDC_SERIAL_PORT, 68, 8, 48, 60, "", CS_TABSTOP},
    {ControlKind::DefPushButton, IDOK, 144, 4, 50, 14, "OK", CS_TABSTOP},
    {ControlKind::PushButton, IDCANCEL, 144, 24, 50, 14, "Cancel", CS_TABSTOP},
}};

constexpr DialogTemplate kTemplate = {CConfigurationDlg::IDD, "Configuration", 200, 49, kControls};

}  // namespace

CConfigurationDlg::CConfigurationDlg(QWidget* parent) : CDialog(kTemplate, parent) {}

bool CConfigurationDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    QComboBox* list = GetComboBox(IDC_SERIAL_PORT);
    list->clear();
    for (int number = kFirstPort; number <= kLastPort; ++number) {
        const std::string name = PortNameFromIndex(number - 1);
        // A port that exists but cannot be had now (another program holds it, the user lacks
        // permission) is still offered: the user may free it before the next exchange, and that
        // exchange then says plainly why it cannot open it.
        if (ProbePort(name) != PortPresence::Missing) {
            list->addItem(QString::fromStdString(name), number - 1);
        }
    }
    // A stored index whose port is not listed (absent now, or out of range) shows no selection.
    list->setCurrentIndex(list->findData(m_nPortIndex));
    return true;
}

void CConfigurationDlg::OnOK() {
    const QComboBox* list = GetComboBox(IDC_SERIAL_PORT);
    if (const int selected = list->currentIndex(); selected >= 0) {
        bool ok = false;
        const int index = list->itemData(selected).toInt(&ok);
        if (ok) {
            m_nPortIndex = index;
        }
    }
    CDialog::OnOK();
}

}  // namespace varnel
