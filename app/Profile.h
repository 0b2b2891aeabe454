#pragma once

#include <QVariant>

#include <string>

namespace varnel {

// The one setting the program keeps: the serial port index, 0 for COM1 to 3 for COM4, in
// QSettings("Tessaran", "Varnel"), group "Options", integer "SerialPort". The group "Ports" maps a
// port name such as COM1 to the device to open (e.g. /dev/ttyUSB0).

// The index a stored value stands for: missing or unreadable gives 0, the value is taken as a
// signed 32-bit number (so 4294967295 is -1), and anything above 3 gives 0. A negative value stays.
int SerialPortFromSetting(const QVariant& stored);

int LoadSerialPortSetting();
// Failures to write are ignored: there is nothing the user could do about them at exit.
void SaveSerialPortSetting(int serialPort);

// The device the settings map a port name to, or empty when they map none.
std::string PortDeviceFromSettings(const std::string& portName);

}  // namespace varnel
