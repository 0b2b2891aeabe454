#pragma once

#include <functional>
#include <string>
#include <vector>

#include "link/SerialDevices.h"
#include "procedures/PortList.h"

namespace varnel {

// The serial devices present now; the real one is ListSerialDevices, tests hand in their own.
using SerialDeviceLister = std::function<std::vector<SerialDevice>()>;

// The lister to use when none is handed in: the machine's own devices where they can be listed,
// none elsewhere.
SerialDeviceLister DefaultSerialDeviceLister();

// One port name mapped anew: to device, or back to its default when device is empty.
struct PortMappingChange {
    std::string portName;  // "COM1"
    std::string device;    // "/dev/serial/by-id/usb-FTDI_...", or empty for the default

    bool operator==(const PortMappingChange&) const = default;
};

// Writes the changed mappings, all of them or none, and leaves every other setting as it was.
// Returns an empty text on success, otherwise why nothing could be written, in words for the user.
using PortMappingWriter = std::function<std::string(const std::vector<PortMappingChange>&)>;

// The detected device that path leads to: by the name kept in the settings, by the kernel's
// node, or by following links (a /dev/serial/by-path name, say). Null when none does.
const SerialDevice* FindSerialDevice(const std::vector<SerialDevice>& devices,
                                     const std::string& path);

// One line that says what a port stands for on this machine: the detected device with what it
// is ("/dev/ttyUSB0 - FTDI FT232R USB UART"), or the device path alone, with a word on why it may
// not be usable now.
std::string DescribePortDevice(const PortEntry& port, const std::vector<SerialDevice>& devices);

// Why a typed device path cannot be kept, or empty when it can. It must be an absolute path of
// printable characters: a relative one would be looked up in whatever folder the program runs in.
std::string CheckTypedDevicePath(const std::string& path);

}  // namespace varnel
