#include "dialogs/ConfigurationDlg.h"

#include <QComboBox>
#include <QString>

#include <utility>

namespace varnel {
CConfigurationDlg::CConfigurationDlg(PortResolver resolver, QWidget* parent, PortProbe probe)
    : CDialog(ConfigurationTemplate(), parent),
      m_resolver(std::move(resolver)),
      m_probe(std::move(probe)) {}

bool CConfigurationDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    QComboBox* list = GetComboBox(IDC_SERIAL_PORT);
    list->clear();
    for (const PortEntry& port : ListPorts(m_resolver, m_probe)) {
        if (port.presence != PortPresence::Missing) {
            list->addItem(QString::fromStdString(port.name), port.index);
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
