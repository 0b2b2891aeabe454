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
      m_choice(std::move(stored), std::move(devices), std::move(writer), reporter) {}

QString CSerialDevicesDlg::DefaultEntryText(const std::string& portName) {
    return QString::fromStdString(DefaultDeviceEntryText(portName));
}

bool CSerialDevicesDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    const std::vector<DeviceRow>& rows = m_choice.MakeRows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const DeviceRow& row = rows[i];
        QComboBox* combo = GetComboBox(DeviceControl(static_cast<int>(i) + kFirstPortNumber));
        combo->clear();
        for (const DeviceEntry& entry : row.entries) {
            combo->addItem(QString::fromStdString(entry.text), QString::fromStdString(entry.value));
        }
        combo->setCurrentIndex(row.selected);
        if (row.selected < 0) {
            combo->setEditText(QString::fromStdString(row.shownText));
        }
    }
    return true;
}

void CSerialDevicesDlg::OnOK() {
    auto combo = [this](std::size_t row) {
        return GetComboBox(DeviceControl(static_cast<int>(row) + kFirstPortNumber));
    };
    if (m_choice.Keep([&](std::size_t row) { return combo(row)->currentText().toStdString(); },
                      [&](std::size_t row) { combo(row)->setFocus(Qt::OtherFocusReason); })) {
        CDialog::OnOK();
    }
}

}  // namespace varnel
