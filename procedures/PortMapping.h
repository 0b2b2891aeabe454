#pragma once

#include <functional>
#include <string>
#include <vector>

#include "link/SerialDevices.h"
#include "procedures/PortList.h"
#include "strings/Messages.h"

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

// What a Devices button needs: the devices present to choose from, where the port mapping is
// kept, and where to tell the user that it could not be.
struct PortMappingAccess {
    // Empty: the machine's own devices (DefaultSerialDeviceLister).
    SerialDeviceLister listDevices;
    // Empty: the Devices button is disabled, since a choice would have nowhere to go.
    PortMappingWriter write;
    // Null: the Devices button is disabled too, since a failed write would have nobody to tell.
    IMessageReporter* reporter = nullptr;
};

// The serial devices present now, through mapping's lister, or the machine's when it has none.
std::vector<SerialDevice> PresentDevices(const PortMappingAccess& mapping);

// The detected device that path leads to: by the name kept in the settings, by the kernel's
// node, or by following links (a /dev/serial/by-path name, say). Null when none does.
const SerialDevice* FindSerialDevice(const std::vector<SerialDevice>& devices,
                                     const std::string& path);

// One line that says what a port stands for on this machine: the detected device with what it
// is ("/dev/ttyUSB0 - FTDI FT232R USB UART"), or the device path alone, with a word on why it may
// not be usable now.
std::string DescribePortDevice(const PortEntry& port, const std::vector<SerialDevice>& devices);

// Why a typed device cannot be kept, or empty when it can. On Linux it must be an absolute path
// of printable characters: a relative one would be looked up in whatever folder the program runs
// in. On Windows it must be a COM name from COM1 to COM256 (in any case), or a path in the device
// namespace (\\.\...).
std::string CheckTypedDevicePath(const std::string& path);

// The text of the entry that stands for a port's default device: "Default (/dev/ttyS0)".
std::string DefaultDeviceEntryText(const std::string& portName);

// One port's row of the Serial Devices dialog, the same in every front end: the entries to choose
// from (the default first, then each device present, each with what the settings keep for it),
// and what the row shows when the dialog opens.
struct DeviceEntry {
    std::string text;
    std::string value;  // empty for the default
};
struct DeviceRow {
    std::string portName;  // "COM1"
    std::string stored;    // the mapping as it is kept now; empty for the default
    std::vector<DeviceEntry> entries;
    int selected = -1;      // the entry shown, or -1 when the row shows the stored text itself
    std::string shownText;  // what the row shows
};
DeviceRow MakeDeviceRow(const std::string& portName, const std::string& stored,
                        const std::vector<SerialDevice>& devices);

// What the text a row holds at OK asks to keep: the value of the entry it names, the typed
// device in its one spelling, or the stored value when the row was left as it was shown (even
// where its entry would now write another name of the same device). error says why a typed
// device cannot be kept; the device is then empty.
struct DeviceChoice {
    std::string device;
    std::string error;
};
DeviceChoice ChooseDevice(const DeviceRow& row, const std::string& text);

}  // namespace varnel
