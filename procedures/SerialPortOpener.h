#pragma once

#include "link/PortNames.h"
#include "procedures/Session.h"

namespace varnel {

// The opener of the real serial port: resolves the port name with resolver and opens a
// CSerialPort on the device.
PortOpener SerialPortOpener(PortResolver resolver);

}  // namespace varnel
