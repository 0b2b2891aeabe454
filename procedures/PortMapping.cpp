#include "procedures/PortMapping.h"

#include <filesystem>
#include <system_error>

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
#ifdef __linux__
    return SerialDeviceLabel(device);
#else
    // Devices are listed on Linux only; elsewhere there is never one to label.
    return device.description.empty() ? device.kernelPath
                                      : device.kernelPath + " - " + device.description;
#endif
}

}  // namespace

SerialDeviceLister DefaultSerialDeviceLister() {
#ifdef __linux__
    return [] { return ListSerialDevices(); };
#else
    return [] { return std::vector<SerialDevice>(); };
#endif
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
    if (path.empty() || path.front() != '/') {
        return "\"" + path +
               "\" is not a device path: a device path starts with /, as in "
               "/dev/ttyUSB0.";
    }
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return "A device path cannot hold control characters.";
        }
    }
    return {};
}

}  // namespace varnel
