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
    const std::string device = DefaultPortDevice(portName);
    return QStringLiteral("Default (%1)").arg(QString::fromStdString(device));
}

bool CSerialDevicesDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_rows.clear();
    m_changes.clear();
    for (int number = kFirstPortNumber; number <= kLastPortNumber; ++number) {
        Row row;
        row.portName = PortNameFromIndex(number - 1);
        row.stored = m_stored ? m_stored(row.portName) : std::string();
        QComboBox* combo = GetComboBox(DeviceControl(number));
        combo->clear();
        // The data of an entry is what the settings keep for it: nothing for the default, the
        // device's lasting name (its /dev/serial/by-id link where it has one) otherwise.
        combo->addItem(DefaultEntryText(row.portName), QString());
        for (const SerialDevice& device : m_devices) {
            combo->addItem(QString::fromStdString(SerialDeviceLabel(device)),
                           QString::fromStdString(device.path));
        }
        if (row.stored.empty()) {
            combo->setCurrentIndex(0);
        } else if (const SerialDevice* device = FindSerialDevice(m_devices, row.stored)) {
            combo->setCurrentIndex(static_cast<int>(device - m_devices.data()) + 1);
        } else {
            // A path of no device found now (unplugged, or a pseudo-terminal): shown as typed.
            combo->setCurrentIndex(-1);
            combo->setEditText(QString::fromStdString(row.stored));
        }
        row.initialText = combo->currentText();
        m_rows.push_back(std::move(row));
    }
    return true;
}

void CSerialDevicesDlg::OnOK() {
    std::vector<PortMappingChange> changes;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const Row& row = m_rows[i];
        QComboBox* combo = GetComboBox(DeviceControl(static_cast<int>(i) + kFirstPortNumber));
        const QString text = combo->currentText();
        std::string device;
        if (text == row.initialText) {
            // Left as it was shown: kept as it was written, even where the entry would now
            // write another name of the same device.
            device = row.stored;
        } else if (const int entry = combo->findText(text, Qt::MatchExactly); entry >= 0) {
            device = combo->itemData(entry).toString().toStdString();
        } else {
            device = text.trimmed().toStdString();
            if (const std::string why = CheckTypedDevicePath(device);
                !device.empty() && !why.empty()) {
                const std::string detail = row.portName + ": " + why;
                m_reporter.Show({MSG_ERROR, IDS_DEVICE_PATH_INVALID, CaptionForKind(MSG_ERROR),
                                 LoadString(IDS_DEVICE_PATH_INVALID), detail});
                combo->setFocus(Qt::OtherFocusReason);
                return;
            }
        }
        if (device != row.stored) {
            changes.push_back({row.portName, device});
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
