#pragma once

#include <functional>
#include <string>

namespace varnel {

// Users and the radio's documentation speak of COM1 to COM4. A resolver turns such a name into
// the device to open; the application installs one that consults the user's settings. Without
// one, "COMn" is /dev/ttyS<n-1> and any other name is taken as a path.
using PortResolver = std::function<std::string(const std::string& portName)>;

void SetPortResolver(PortResolver resolver);
std::string ResolvePortDevice(const std::string& portName);
std::string DefaultPortDevice(const std::string& portName);

// "COM%1d" from a port index plus one: 0 gives COM1, 3 gives COM4, -1 gives COM0.
std::string PortNameFromIndex(int index);

// What a quick exclusive open of a port tells, without configuring the line.
enum class PortPresence {
    Present,      // opened and closed again
    Missing,      // no such device
    Unavailable,  // exists but could not be had: held by another program, no permission, ...
};
PortPresence ProbePort(const std::string& portName);

}  // namespace varnel
