#pragma once

#include <memory>
#include <string>

namespace varnel::cli {

// The application's settings as the command-line tool reads them: the port chosen in the app's
// Configuration and the devices the ports are mapped to. Only read, never written. Each platform
// has its own reader in a file of its own.
class ISettings {
public:
    virtual ~ISettings() = default;
    // The port index chosen in the app's Configuration: 0 for COM1; COM1 when there is none.
    virtual int SerialPortIndex() = 0;
    // The device portName ("COM1") is mapped to, or empty when the settings map none.
    virtual std::string PortDevice(const std::string& portName) = 0;
};

// The settings of the application on this machine, for this user.
std::unique_ptr<ISettings> OpenApplicationSettings();

}  // namespace varnel::cli
