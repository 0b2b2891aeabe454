#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "procedures/PortMapping.h"
#include "procedures/Session.h"
#include "registry/EsnRegistry.h"
#include "settings/SettingsStore.h"
#include "strings/Messages.h"

namespace varnel {

// What a window keeps in its settings beyond the port index, the same for every window.

// The ESN registry a window reserves its ESNs in: the one at the settings' [Registry] Location,
// else the embedded default (RegistryLocationInForce); opened at first use and opened anew when the
// location changes, so that a location edited while the program runs is used at the next write.
class CSettingsRegistry {
public:
    explicit CSettingsRegistry(SettingsStore& settings) : m_settings(settings) {}

    // Null, with why set for the user, when it cannot be used.
    IEsnRegistry* Open(std::string& why);
    // Hands the registry to session, for a command that writes ESNs. False, and the user told
    // through the session's reporter that nothing was sent, when it cannot be used: without a
    // registry no ESN may be written, so the command goes no further.
    bool HandTo(Session& session);

private:
    SettingsStore& m_settings;
    std::unique_ptr<IEsnRegistry> m_registry;
    std::string m_location;
};

// Writes changes to the settings at once (a dialog's OK). damageAtStart is why the settings could
// not be trusted when the program started (then nothing is written); redo says what the user
// chooses again once the file is put right ("choose the devices again"). Returns why not, as a
// sentence for the user, or empty on success.
std::string WriteAppSettings(SettingsStore& settings, const std::string& damageAtStart,
                             const std::vector<SettingChange>& changes, std::string_view redo);
// The Serial Devices dialog's changed port mappings, as WriteAppSettings writes them.
std::string WritePortMapping(SettingsStore& settings, const std::string& damageAtStart,
                             const std::vector<PortMappingChange>& changes);
// The ESN Registry dialog's location (empty: the default), as WriteAppSettings writes it.
std::string WriteRegistryLocation(SettingsStore& settings, const std::string& damageAtStart,
                                  const std::string& location);

}  // namespace varnel
