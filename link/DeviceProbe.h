#pragma once

#include <optional>
#include <string>

#include "link/PortNames.h"
#include "link/SystemPaths.h"

namespace varnel {

// How the outcome of an attempt to open a device sorts: Present for 0, Missing when there is
// no such device or no hardware behind the name, Unavailable for everything else (held by
// another program, no permission, ...), which still exists and is worth listing.
PortPresence PresenceFromOpenError(int err);

// What the kernel's device tree tells of the character device at devicePath.
enum class DeviceBacking {
    Unlisted,     // no entry: a pseudo-terminal, or no sysfs to look in; nothing to judge by
    Hardware,     // a terminal with a device behind it
    NoUart,       // a serial port whose UART type is unknown: the name without the hardware
    Virtual,      // a terminal with no device behind it, such as a console
    NotTerminal,  // some other kind of device
    NoDevice,     // the path is not a character device, or cannot be examined
};
DeviceBacking DeviceBackingOf(const std::string& devicePath, const SystemPaths& paths = {});

// Judges a device without opening it: opening a terminal raises DTR and RTS, which on some
// programming cables key the transmitter or reset the radio. Missing: nothing is at the path,
// it leads to no serial hardware, or it is empty or relative (never looked up in the current
// folder). Unavailable: it exists but this user may not open it, another program holds a
// lock on it, or it is not a terminal. A program that opened the device without any lock
// cannot be seen here; it shows as Present.
PortPresence ProbeDevice(const std::string& devicePath, const SystemPaths& paths = {});

// A program that has the device.
struct PortHolder {
    long pid = 0;
    std::string program;  // its name as /proc tells it; empty when that could not be read
};

// The program that holds a lock (flock, POSIX or open-file lock) on the device's node, from
// /proc/locks.
std::optional<PortHolder> FindLockHolder(const std::string& devicePath,
                                         const SystemPaths& paths = {});

// The program that has the device: a lock holder first, else any process with the device
// open among those whose open files this user may see.
std::optional<PortHolder> FindPortHolder(const std::string& devicePath,
                                         const SystemPaths& paths = {});

}  // namespace varnel
