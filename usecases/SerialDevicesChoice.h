#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "link/PortNames.h"
#include "link/SerialDevices.h"
#include "procedures/PortMapping.h"
#include "strings/Messages.h"

namespace varnel {

// What the Serial Devices dialog decides, the same in every window: one row for each of COM1 to
// COM4 from what the settings map and the devices present, and what OK keeps.
class CSerialDevicesChoice {
public:
    CSerialDevicesChoice(PortResolver stored, std::vector<SerialDevice> devices,
                         PortMappingWriter writer, IMessageReporter& reporter);

    // The rows as the dialog opens, COM1 first; what an earlier OK kept is forgotten.
    const std::vector<DeviceRow>& MakeRows();
    // OK with textOf(row) the text each row holds: a text that names no device is told, and
    // focusRow(row) puts the user back on it; the changed rows are written, and a mapping that
    // could not be kept is told. True when the dialog may close.
    bool Keep(const std::function<std::string(std::size_t row)>& textOf,
              const std::function<void(std::size_t row)>& focusRow);
    // The mappings OK wrote; empty when nothing changed or OK did not end the dialog.
    const std::vector<PortMappingChange>& Changes() const { return m_changes; }

private:
    PortResolver m_stored;
    std::vector<SerialDevice> m_devices;
    PortMappingWriter m_writer;
    IMessageReporter& m_reporter;
    std::vector<DeviceRow> m_rows;
    std::vector<PortMappingChange> m_changes;
};

}  // namespace varnel
