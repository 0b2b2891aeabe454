#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace varnel {

// Users and the radio's documentation speak of COM1 to COM4. A resolver gives the device a user
// has mapped such a name to (the application and the command-line tool read it from the
// settings); it returns an empty text where there is no mapping. Whoever opens a port hands the
// resolver in.
using PortResolver = std::function<std::string(const std::string& portName)>;

// The one spelling of a port name: "COM" and a decimal number written with leading zeros is the
// port of that number (COM01 and COM001 are COM1, COM00 is COM0); any other name comes back as it
// is. Every look-up goes by this spelling, so a name typed another way never reaches a device
// other than the one its number stands for.
std::string NormalPortName(const std::string& portName);

// The device to open for portName, in its normal spelling: the resolver's mapping when it has
// one, otherwise the default below. Empty when the name stands for no device at all (COM0, COM-1, a
// relative path): such a name counts as missing and is never opened relative to the current folder.
std::string ResolvePortDevice(const std::string& portName, const PortResolver& resolver);

// Without a mapping: on Linux "COMn" (n from 1) is /dev/ttyS<n-1>, and any other name must be an
// absolute device path; on Windows "COMn" is \\.\COMn, which also reaches COM10 and above.
std::string DefaultPortDevice(const std::string& portName);

// The port index a stored "SerialPort" setting stands for, from its text: the value is taken as
// a signed 32-bit number (so 4294967295 is -1), anything above 3 gives 0 and a negative value
// stays; text that is not a whole decimal number of at most 32 bits (blanks around it allowed)
// gives 0. Shared by every front end that reads the application's settings.
int SerialPortIndexFromText(std::string_view text);

// "COM%1d" from a port index plus one: 0 gives COM1, 3 gives COM4, -1 gives COM0.
std::string PortNameFromIndex(int index);

// How a port stands, judged when the port list is drawn up.
enum class PortPresence {
    Present,      // there and free
    Missing,      // no such device
    Unavailable,  // exists but could not be had: held by another program, no permission, ...
};

// How the device stands, judged without opening it where the system allows. An empty device is
// missing.
PortPresence ProbePort(const std::string& device);

}  // namespace varnel
