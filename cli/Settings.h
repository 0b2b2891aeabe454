#pragma once

#include <memory>
#include <string>

#include "settings/SettingsStore.h"

namespace varnel::cli {

// The application's settings as the command-line tool uses them: the port chosen in the app's
// Configuration and the devices the ports are mapped to. Only read, never written.
class ISettings {
public:
    virtual ~ISettings() = default;
    // The port index chosen in the app's Configuration: 0 for COM1; COM1 when there is none.
    virtual int SerialPortIndex() = 0;
    // The device portName ("COM1") is mapped to, or empty when the settings map none.
    virtual std::string PortDevice(const std::string& portName) = 0;
    // The ESN registry location the app's settings name ([Registry] Location), or empty.
    virtual std::string RegistryLocation() { return {}; }
    // Why the settings cannot be trusted as they stand (the tool then runs on the defaults, as
    // the app does); empty when they can.
    virtual std::string Damage() { return {}; }
    // Where they are kept, for a message.
    virtual std::string Location() const { return {}; }
};

// The tool's view of a settings store: the same store, and so the same rules, as the app's.
std::unique_ptr<ISettings> SettingsFromStore(std::unique_ptr<SettingsStore> store);

// The settings of the application on this machine, for this user.
std::unique_ptr<ISettings> OpenApplicationSettings();

}  // namespace varnel::cli
