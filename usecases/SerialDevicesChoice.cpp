#include "usecases/SerialDevicesChoice.h"

#include <utility>

#include "procedures/PortList.h"
#include "strings/StringTable.h"

namespace varnel {

CSerialDevicesChoice::CSerialDevicesChoice(PortResolver stored, std::vector<SerialDevice> devices,
                                           PortMappingWriter writer, IMessageReporter& reporter)
    : m_stored(std::move(stored)),
      m_devices(std::move(devices)),
      m_writer(std::move(writer)),
      m_reporter(reporter) {}

const std::vector<DeviceRow>& CSerialDevicesChoice::MakeRows() {
    m_rows.clear();
    m_changes.clear();
    for (int number = kFirstPortNumber; number <= kLastPortNumber; ++number) {
        const std::string portName = PortNameFromIndex(number - 1);
        m_rows.push_back(
            MakeDeviceRow(portName, m_stored ? m_stored(portName) : std::string(), m_devices));
    }
    return m_rows;
}

bool CSerialDevicesChoice::Keep(const std::function<std::string(std::size_t row)>& textOf,
                                const std::function<void(std::size_t row)>& focusRow) {
    std::vector<PortMappingChange> changes;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const DeviceRow& row = m_rows[i];
        const DeviceChoice choice = ChooseDevice(row, textOf(i));
        if (!choice.error.empty()) {
            m_reporter.Show({MSG_ERROR, IDS_DEVICE_PATH_INVALID, CaptionForKind(MSG_ERROR),
                             LoadString(IDS_DEVICE_PATH_INVALID), choice.error});
            focusRow(i);
            return false;
        }
        if (choice.device != row.stored) {
            changes.push_back({row.portName, choice.device});
        }
    }
    if (!changes.empty()) {
        const std::string why =
            m_writer ? m_writer(changes) : std::string("There is nowhere to keep the mapping.");
        if (!why.empty()) {
            // The choices stay on screen: the user may put the settings right and press OK again.
            m_reporter.Show({MSG_ERROR, IDS_PORT_MAPPING_NOT_SAVED, CaptionForKind(MSG_ERROR),
                             LoadString(IDS_PORT_MAPPING_NOT_SAVED), why});
            return false;
        }
    }
    m_changes = std::move(changes);
    return true;
}

}  // namespace varnel
