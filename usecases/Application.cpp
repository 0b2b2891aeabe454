#include "usecases/Application.h"

#include <utility>

#include "link/PortNames.h"
#include "procedures/SerialPortOpener.h"
#include "procedures/WriteOrigin.h"
#include "strings/StringTable.h"
#include "templates/WindowShell.h"
#include "usecases/RegistryLocation.h"

namespace varnel {

CApplication::CApplication(std::unique_ptr<SettingsStore> settings)
    : m_pSettings(settings ? std::move(settings) : OpenUserSettings()) {
    SetPortResolver({});
    SetPortOpener({});
    // Through virtual calls made when a command runs, so a window's own handlers are the ones
    // reached.
    AddAppCommands(m_commands, {.about = [this] { OnAppAbout(); },
                                .radioInfo = [this] { OnRadioInfo(); },
                                .programEsn = [this] { OnProgramEsn(); },
                                .configuration = [this] { OnConfiguration(); },
                                .programRegionalId = [this] { OnProgramRegionalId(); },
                                .esnRegistry = [this] { OnEsnRegistry(); },
                                .productionLine = [this] { OnProductionLine(); },
                                .exit = [this] { CloseMainWindow(); }});
}

CApplication::~CApplication() = default;

void CApplication::LoadSettings() {
    m_settingsDamage = m_pSettings->Damage();
    m_nSerialPort = m_settingsDamage.empty() ? LoadSerialPortSetting(*m_pSettings) : 0;
}

std::string CApplication::SavePortIndex() {
    if (!m_settingsDamage.empty()) {
        return {};  // said at start-up; the file stays as the user left it
    }
    return SaveSerialPortSetting(*m_pSettings, m_nSerialPort);
}

std::string CApplication::WritePortMapping(const std::vector<PortMappingChange>& changes) {
    return varnel::WritePortMapping(*m_pSettings, m_settingsDamage, changes);
}

std::string CApplication::WriteRegistryLocation(const std::string& location) {
    return varnel::WriteRegistryLocation(*m_pSettings, m_settingsDamage, location);
}

std::string CApplication::GetPortName() const {
    return PortNameFromIndex(m_nSerialPort);
}

Session CApplication::MakeSession(int commandId) {
    Session session(m_radioLink, Reporter(), *m_pClock, m_portOpener, GetPortName());
    session.origin = LocalWriteOrigin(GetPortName());
    session.runner = RunnerFor(std::string(TooltipPart(LoadString(commandId))));
    return session;
}

IEsnRegistry* CApplication::Registry(std::string& why) {
    return m_registry.Open(why);
}

void CApplication::SetPortResolver(PortResolver resolver) {
    // Read at every exchange, so a mapping edited while the program runs is used at the next one.
    m_portResolver = resolver ? std::move(resolver) : PortResolver([this](const std::string& name) {
        return PortDeviceSetting(*m_pSettings, name);
    });
}

void CApplication::SetPortOpener(PortOpener opener) {
    m_portOpener = std::move(opener);
    if (!m_portOpener) {
        // Through the resolver in force at the time of each exchange.
        m_portOpener = [this](const std::string& portName, const CancelToken* cancel) {
            return SerialPortOpener(m_portResolver)(portName, cancel);
        };
    }
}

void CApplication::OnAppAbout() {
    ShowAbout();
}

void CApplication::OnRadioInfo() {
    ShowRadioInfo(MakeSession(ID_RADIO_INFO));
}

void CApplication::OnProgramEsn() {
    // Said before the radio is even asked.
    Session session = MakeSession(ID_PROGRAM_ESN);
    if (m_registry.HandTo(session)) {
        ShowProgramEsn(std::move(session));
    }
}

void CApplication::OnProductionLine() {
    Session session = MakeSession(ID_PRODUCTION_LINE);
    if (m_registry.HandTo(session)) {
        // The port the station was run on is the program's port from now on, as Configuration's.
        m_nSerialPort = RunProductionLine(std::move(session), m_nSerialPort);
    }
}

void CApplication::OnConfiguration() {
    PortMappingAccess mapping;
    mapping.listDevices = m_deviceLister;
    mapping.write = [this](const std::vector<PortMappingChange>& changes) {
        return WritePortMapping(changes);
    };
    mapping.reporter = &Reporter();
    if (const std::optional<int> chosen = ChoosePort(m_nSerialPort, std::move(mapping))) {
        m_nSerialPort = *chosen;
        // Kept at once, as the port mapping is: the program may yet end without an exit.
        (void)SavePortIndex();
    }
}

void CApplication::OnEsnRegistry() {
    RegistryLocationAccess access;
    access.stored = RegistryLocationSetting(*m_pSettings);
    access.open = m_registryOpener ? m_registryOpener : RegistryOpener(OpenEsnRegistry);
    access.write = [this](const std::string& location) { return WriteRegistryLocation(location); };
    ShowEsnRegistry(std::move(access));
}

void CApplication::OnProgramRegionalId() {
    ShowProgramRegionalId(MakeSession(ID_PROGRAM_REGIONAL_ID));
}

}  // namespace varnel
