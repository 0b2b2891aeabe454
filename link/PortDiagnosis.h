#pragma once

#include <string>

#include "link/SystemPaths.h"

namespace varnel {

// Why a serial port could not be opened, in the terms a technician can act on.
enum class PortFailure {
    Missing,           // nothing at the path, or the port name maps to no device path
    NoHardware,        // a built-in serial port name with no UART behind it
    NotATerminal,      // something is there, but it is no serial device
    PermissionDenied,  // the device is there but this user may not open it
    Held,              // another program has it
    Other,             // anything else; the system's own words say what
};

// The reason that an error number alone tells, as CSerialPort::LastError() gives it.
PortFailure PortFailureFromError(int err);

// The reason, judged from the error number and what the system shows of the device now: the
// hardware facts come first (a port without a UART stays that whatever the error was).
PortFailure DiagnosePortFailure(const std::string& devicePath, int openErrno,
                                const SystemPaths& paths = {});

// The text that goes under the port error message, in three labelled parts: the device path,
// the reason in plain words, and what to do about it. For example:
//   Device: /dev/ttyUSB0
//   Reason: You may not use this device. It belongs to the group "dialout", and you are not
//   a member of that group.
//   Remedy: Add yourself to the group with this command, then log out and log in again:
//   sudo usermod -aG dialout $USER
std::string DescribePortFailure(const std::string& devicePath, int openErrno,
                                const SystemPaths& paths = {});

// The text that goes under a link error when the port failed a read or write mid-exchange with
// error (a Windows error code): the device, that it went away, and what to do.
std::string DescribeLineFailure(const std::string& devicePath, int error);

}  // namespace varnel
