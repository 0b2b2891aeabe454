#include "dialogs/SerialDevicesDlg.h"

#include <QComboBox>

#include <utility>

#include "procedures/PortList.h"
#include "strings/StringTable.h"

namespace varnel {

CSerialDevicesDlg::CSerialDevicesDlg(PortResolver stored, std::vector<SerialDevice> devices,
                                     PortMappingWriter writer, IMessageReporter& reporter,
                                     QWidget* parent)
    : CDialog(SerialDevicesTemplate(), parent),
      m_stored(std::move(stored)),
      m_devices(std::move(devices)),
      m_writer(std::move(writer)),
      m_reporter(reporter) {}

QString CSerialDevicesDlg::DefaultEntryText(const std::string& portName) {
    return QString::fromStdString(DefaultDeviceEntryText(portName));
}

bool CSerialDevicesDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_rows.clear();
    m_changes.clear();
    for (int number = kFirstPortNumber; number <= kLastPortNumber; ++number) {
        const std::string portName = PortNameFromIndex(number - 1);
        DeviceRow row =
            MakeDeviceRow(portName, m_stored ? m_stored(portName) : std::string(), m_devices);
        QComboBox* combo = GetComboBox(DeviceControl(number));
        combo->clear();
        for (const DeviceEntry& entry : row.entries) {
            combo->addItem(QString::fromStdString(entry.text), QString::fromStdString(entry.value));
        }
        combo->setCurrentIndex(row.selected);
        if (row.selected < 0) {
            combo->setEditText(QString::fromStdString(row.shownText));
        }
        m_rows.push_back(std::move(row));
    }
    return true;
}

void CSerialDevicesDlg::OnOK() {
    std::vector<PortMappingChange> changes;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const DeviceRow& row = m_rows[i];
        QComboBox* combo = GetComboBox(DeviceControl(static_cast<int>(i) + kFirstPortNumber));
        const DeviceChoice choice = ChooseDevice(row, combo->currentText().toStdString());
        if (!choice.error.empty()) {
            m_reporter.Show({MSG_ERROR, IDS_DEVICE_PATH_INVALID, CaptionForKind(MSG_ERROR),
                             LoadString(IDS_DEVICE_PATH_INVALID), choice.error});
            combo->setFocus(Qt::OtherFocusReason);
            return;
        }
        if (choice.device != row.stored) {
            changes.push_back({row.portName, choice.device});
        }
    }
    if (!changes.empty()) {
        const std::string why =
            m_writer ? m_writer(changes) : std::string("There is nowhere to keep the mapping.");
        if (!why.empty()) {
            // The choices stay on screen: the user may put the file right and press OK again.
            m_reporter.Show({MSG_ERROR, IDS_PORT_MAPPING_NOT_SAVED, CaptionForKind(MSG_ERROR),
                             LoadString(IDS_PORT_MAPPING_NOT_SAVED), why});
            return;
        }
    }
    m_changes = std::move(changes);
    CDialog::OnOK();
}

}  // namespace varnel
