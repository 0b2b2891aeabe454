#pragma once

#include <string>
#include <vector>

#include "link/SystemPaths.h"

namespace varnel {

// A serial device that is really there: a terminal the kernel lists with hardware behind it.
struct SerialDevice {
    // The name to keep in the settings: the /dev/serial/by-id link that leads to the device
    // where there is one, since it names the adapter and survives re-plugging; else kernelPath.
    std::string path;
    std::string kernelPath;   // the kernel's own node, /dev/ttyUSB0; may change on re-plugging
    std::string name;         // the kernel's name for it, ttyUSB0
    std::string description;  // one line for people: "FTDI FT232R USB UART (serial A50285BI)"
    // As a USB adapter reports itself; all empty for other devices.
    std::string vendorId;   // four hex digits, "0403"
    std::string productId;  // "6001"
    std::string manufacturer;
    std::string product;
    std::string serialNumber;
};

// The serial devices present on this machine, in the kernel's naming order with numbers
// compared as numbers (ttyS2 before ttyS10). Virtual terminals, consoles and built-in serial
// ports whose UART type is unknown (a name without hardware) are left out. On Windows: the COM
// ports the system lists, by number, each named as Device Manager names it.
std::vector<SerialDevice> ListSerialDevices(const SystemPaths& paths = {});

// One line for a list or a message: "/dev/ttyUSB0 - FTDI FT232R USB UART (serial A50285BI)".
std::string SerialDeviceLabel(const SerialDevice& device);

}  // namespace varnel
