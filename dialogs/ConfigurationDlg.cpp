#include "dialogs/ConfigurationDlg.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QString>

#include <utility>

#include "dialogs/SerialDevicesDlg.h"

namespace varnel {

CConfigurationDlg::CConfigurationDlg(PortResolver resolver, QWidget* parent, PortProbe probe,
                                     PortMappingAccess mapping)
    : CDialog(ConfigurationTemplate(), parent),
      m_resolver(std::move(resolver)),
      m_probe(std::move(probe)),
      m_mapping(std::move(mapping)) {
    GetButton(IDC_DEVICES)->setEnabled(CanMapDevices());
    connect(GetComboBox(IDC_SERIAL_PORT), &QComboBox::currentIndexChanged, this,
            &CConfigurationDlg::ShowPortDevice);
}

bool CConfigurationDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    FillPortList(m_nPortIndex);
    return true;
}

void CConfigurationDlg::FillPortList(int portIndex) {
    QComboBox* list = GetComboBox(IDC_SERIAL_PORT);
    // Listing the devices reads sysfs only; nothing is opened, so no cable sees its lines move.
    m_devices = PresentDevices(m_mapping);
    m_ports = ListPorts(m_resolver, m_probe);
    const QSignalBlocker quiet(list);
    list->clear();
    for (const PortEntry& port : m_ports) {
        if (port.presence != PortPresence::Missing) {
            list->addItem(QString::fromStdString(port.name), port.index);
        }
    }
    // A stored index whose port is not listed (absent now, or out of range) shows no selection.
    list->setCurrentIndex(list->findData(portIndex));
    ShowPortDevice();
}

void CConfigurationDlg::ShowPortDevice() {
    const QComboBox* list = GetComboBox(IDC_SERIAL_PORT);
    QString line;
    if (list->count() == 0) {
        line = QStringLiteral("No device is found for COM1 to COM4. Map one under Devices...");
    } else if (list->currentIndex() >= 0) {
        const int index = list->currentData().toInt();
        for (const PortEntry& port : m_ports) {
            if (port.index == index) {
                line = QString::fromStdString(DescribePortDevice(port, m_devices));
            }
        }
    }
    SetDlgItemText(IDC_PORT_DEVICE, line);
    GetDlgItem(IDC_PORT_DEVICE)->setToolTip(line);
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

void CConfigurationDlg::OnCommand(int id) {
    if (id == IDC_DEVICES) {
        OnDevices();
    }
}

bool CConfigurationDlg::CanMapDevices() const {
    return m_mapping.write && m_mapping.reporter != nullptr;
}

int CConfigurationDlg::OnDevices() {
    if (!CanMapDevices()) {
        return kIdCancel;
    }
    // The entry chosen here stays chosen if its port is still listed afterwards.
    const QComboBox* list = GetComboBox(IDC_SERIAL_PORT);
    const int chosen = list->currentIndex() >= 0 ? list->currentData().toInt() : m_nPortIndex;
    CSerialDevicesDlg devices(m_resolver, PresentDevices(m_mapping), m_mapping.write,
                              *m_mapping.reporter, this);
    const int result = devices.DoModal();
    if (result == kIdOk) {
        FillPortList(chosen);
    }
    return result;
}

}  // namespace varnel
