#include "procedures/PortMapping.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "link/ComPorts.h"

namespace varnel {
namespace {

// The file a path finally leads to, or empty when it leads nowhere.
std::string Canonical(const std::string& path) {
    if (path.empty()) {
        return {};
    }
    std::error_code ec;
    const std::filesystem::path resolved = std::filesystem::canonical(path, ec);
    return ec ? std::string() : resolved.string();
}

std::string Label(const SerialDevice& device) {
#if defined(__linux__) || defined(_WIN32)
    return SerialDeviceLabel(device);
#else
    // Devices are listed on Linux and Windows only; elsewhere there is never one to label.
    return device.description.empty() ? device.kernelPath
                                      : device.kernelPath + " - " + device.description;
#endif
}

[[maybe_unused]] std::string UpperComName(const std::string& text) {
    if (text.size() > 3 && (text[0] == 'c' || text[0] == 'C') &&
        (text[1] == 'o' || text[1] == 'O') && (text[2] == 'm' || text[2] == 'M')) {
        return "COM" + text.substr(3);
    }
    return text;
}

}  // namespace

SerialDeviceLister DefaultSerialDeviceLister() {
#if defined(__linux__) || defined(_WIN32)
    return [] { return ListSerialDevices(); };
#else
    return [] { return std::vector<SerialDevice>(); };
#endif
}

std::vector<SerialDevice> PresentDevices(const PortMappingAccess& mapping) {
    return mapping.listDevices ? mapping.listDevices() : DefaultSerialDeviceLister()();
}

const SerialDevice* FindSerialDevice(const std::vector<SerialDevice>& devices,
                                     const std::string& path) {
    if (path.empty()) {
        return nullptr;
    }
    for (const SerialDevice& device : devices) {
        if (path == device.path || path == device.kernelPath) {
            return &device;
        }
    }
#ifdef _WIN32
    // COM names have no links to follow; "com07" is COM7 all the same.
    if (const int number = ComPortNumber(UpperComName(path)); number > 0) {
        const std::string name = "COM" + std::to_string(number);
        for (const SerialDevice& device : devices) {
            if (device.name == name) {
                return &device;
            }
        }
    }
    return nullptr;
#endif
    // Another name of the same node: a by-path link, or the by-id name of a device that was
    // listed under its kernel name.
    const std::string target = Canonical(path);
    if (target.empty()) {
        return nullptr;
    }
    for (const SerialDevice& device : devices) {
        if (target == Canonical(device.kernelPath) || target == Canonical(device.path)) {
            return &device;
        }
    }
    return nullptr;
}

std::string DescribePortDevice(const PortEntry& port, const std::vector<SerialDevice>& devices) {
    if (port.device.empty()) {
        return port.name + " stands for no device.";
    }
    if (const SerialDevice* device = FindSerialDevice(devices, port.device)) {
        std::string line = Label(*device);
        if (port.presence == PortPresence::Unavailable) {
            line += " (in use by another program, or not yours to use)";
        }
        return line;
    }
    switch (port.presence) {
        case PortPresence::Present:
            return port.device;
        case PortPresence::Unavailable:
            return port.device +
                   " - in use by another program, not yours to use, or no serial "
                   "device";
        case PortPresence::Missing:
            break;
    }
    return port.device + " - not present";
}

std::string CheckTypedDevicePath(const std::string& path) {
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return "A device path cannot hold control characters.";
        }
    }
#ifdef _WIN32
    if (ComPortNumber(UpperComName(path)) == 0 &&
        (path.rfind("\\\\.\\", 0) != 0 || path.size() <= 4)) {
        return "\"" + path +
               "\" is not a serial port: type its COM name as Device Manager shows it, as in "
               "COM7.";
    }
#else
    if (path.empty() || path.front() != '/') {
        return "\"" + path +
               "\" is not a device path: a device path starts with /, as in "
               "/dev/ttyUSB0.";
    }
#endif
    return {};
}

std::string DefaultDeviceEntryText(const std::string& portName) {
    return "Default (" + DefaultPortDevice(portName) + ")";
}

DeviceRow MakeDeviceRow(const std::string& portName, const std::string& stored,
                        const std::vector<SerialDevice>& devices) {
    DeviceRow row;
    row.portName = portName;
    row.stored = stored;
    // What the settings keep for an entry: nothing for the default, the device's lasting name
    // otherwise (its /dev/serial/by-id link where it has one, its COM name on Windows).
    row.entries.push_back({DefaultDeviceEntryText(portName), {}});
    for (const SerialDevice& device : devices) {
        row.entries.push_back({Label(device), device.path});
    }
    if (stored.empty()) {
        row.selected = 0;
    } else if (const SerialDevice* device = FindSerialDevice(devices, stored)) {
        row.selected = static_cast<int>(device - devices.data()) + 1;
    } else {
        // A device not found now (unplugged, or a pseudo-terminal): shown as it is kept.
        row.selected = -1;
        row.shownText = stored;
    }
    if (row.selected >= 0) {
        row.shownText = row.entries[static_cast<std::size_t>(row.selected)].text;
    }
    return row;
}

DeviceChoice ChooseDevice(const DeviceRow& row, const std::string& text) {
    if (text == row.shownText) {
        return {row.stored, {}};
    }
    for (const DeviceEntry& entry : row.entries) {
        if (entry.text == text) {
            return {entry.value, {}};
        }
    }
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};  // a cleared row is the default
    }
    std::string typed = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    if (std::string why = CheckTypedDevicePath(typed); !why.empty()) {
        return {{}, row.portName + ": " + why};
    }
#ifdef _WIN32
    if (const int number = ComPortNumber(UpperComName(typed)); number > 0) {
        typed = "COM" + std::to_string(number);
    }
#endif
    return {typed, {}};
}

}  // namespace varnel
