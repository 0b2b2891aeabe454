#pragma once

#include <string>
#include <vector>

#include "link/SerialDevices.h"

namespace varnel {

// One serial port as Windows lists it: from the Ports class of the device tree (the name Device
// Manager shows, and the PortName value of the device's key), or from the registry's serial
// communication map (a driver's device object and the COM name it took, no name for people).
struct ComPortRecord {
    std::string portName;      // "COM7" as the system spells it; anything else is left out
    std::string friendlyName;  // "USB Serial Port (COM7)"; empty when the system gives none
};

// The serial devices that these records describe, once each, by COM number (COM2 before COM10).
// Where both sources name a port, the device tree's name wins: it is the one the user sees in
// Device Manager. A record whose port is not "COM" and a number from 1 is dropped, and so is text
// that cannot be shown on one line. Each device keeps its COM name as the mapping value and
// opens through \\.\COMn.
std::vector<SerialDevice> ComPortDevices(const std::vector<ComPortRecord>& deviceTree,
                                         const std::vector<ComPortRecord>& serialComm);

// The number of a port name spelt "COMn" (leading zeros allowed, as NormalPortName takes them),
// or 0 when the name is no such name.
int ComPortNumber(const std::string& portName);

}  // namespace varnel
