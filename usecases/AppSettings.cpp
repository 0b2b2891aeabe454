#include "usecases/AppSettings.h"

#include <cctype>
#include <optional>

#include "strings/StringTable.h"
#include "usecases/RegistryLocation.h"

namespace varnel {

IEsnRegistry* CSettingsRegistry::Open(std::string& why) {
    const std::string location = RegistryLocationInForce(RegistryLocationSetting(m_settings));
    if (m_registry && location == m_location) {
        return m_registry.get();
    }
    m_registry.reset();
    RegistryError error;
    m_registry = OpenEsnRegistry(location, error);
    m_location = location;
    if (!m_registry) {
        why = "The ESN registry " + location + " could not be opened: " + error.message;
    }
    return m_registry.get();
}

bool CSettingsRegistry::HandTo(Session& session) {
    std::string why;
    session.registry = Open(why);
    if (session.registry == nullptr) {
        ShowText(session.reporter, MSG_ERROR, IDS_REGISTRY_FAILED, LoadString(IDS_REGISTRY_FAILED),
                 why);
        return false;
    }
    return true;
}

std::string WriteAppSettings(SettingsStore& settings, const std::string& damageAtStart,
                             const std::vector<SettingChange>& changes, std::string_view redo) {
    std::string why;
    if (!damageAtStart.empty()) {
        why = "the settings file " + settings.Location() +
              " could not be read as it stood when Varnel started: " + damageAtStart;
    } else {
        why = settings.Write(changes);
        if (why.empty()) {
            return {};
        }
    }
    why[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(why[0])));
    if (!damageAtStart.empty() || !settings.Damage().empty()) {
        why += ". Varnel leaves that file as it is: put it right by hand or remove it, then ";
        why += redo;
    }
    return why + '.';
}

std::string WritePortMapping(SettingsStore& settings, const std::string& damageAtStart,
                             const std::vector<PortMappingChange>& changes) {
    std::vector<SettingChange> settingChanges;
    for (const PortMappingChange& change : changes) {
        SettingChange setting{kPortsGroup, change.portName, std::nullopt};
        if (!change.device.empty()) {
            setting.value = change.device;
        }
        settingChanges.push_back(std::move(setting));
    }
    return WriteAppSettings(settings, damageAtStart, settingChanges, "choose the devices again");
}

std::string WriteRegistryLocation(SettingsStore& settings, const std::string& damageAtStart,
                                  const std::string& location) {
    return WriteAppSettings(settings, damageAtStart, {RegistryLocationChange(location)},
                            "choose the location again");
}

}  // namespace varnel
