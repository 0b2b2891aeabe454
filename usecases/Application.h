#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/Clock.h"
#include "link/RadioLink.h"
#include "procedures/PortMapping.h"
#include "procedures/Session.h"
#include "registry/EsnRegistry.h"
#include "settings/SettingsStore.h"
#include "templates/CommandMap.h"
#include "templates/DialogTemplates.h"
#include "usecases/AppSettings.h"
#include "usecases/RegistryDialogModel.h"

namespace varnel {

// What the ESN Registry dialog is handed: the location the settings hold (empty: the default), how
// a typed location is opened to test it, and how the one the user keeps is written.
struct RegistryLocationAccess {
    std::string stored;
    RegistryOpener open;
    RegistryLocationWriter write;
};

// The application below its window: the settings and the serial port index kept in them, the one
// link, the ESN registry, how ports are named and opened, and the commands of the menu with what
// each decides. A window derives from it, through CWindowedApplication, and supplies only what it
// shows: its message boxes, how an exchange runs while the window keeps painting, and each
// command's dialog.
class CApplication {
public:
    // settings: where the port index, the port mapping and the registry location are kept; the
    // user's own when none is given.
    explicit CApplication(std::unique_ptr<SettingsStore> settings = nullptr);
    virtual ~CApplication();
    CApplication(const CApplication&) = delete;
    CApplication& operator=(const CApplication&) = delete;

    // Takes the port index from the settings, as start-up does. Settings that cannot be read as
    // they stand (SettingsDamage) are not trusted: the run goes on with COM1 and never writes them.
    void LoadSettings();
    // Writes the port index now; returns why not, or empty (also when the settings were not
    // trusted at start-up, so nothing was written).
    std::string SavePortIndex();
    // Why the settings were not trusted at start-up; empty when they were.
    const std::string& SettingsDamage() const { return m_settingsDamage; }
    // Writes changed port mappings at once (the Serial Devices dialog's OK). Returns why not, in
    // words for the user, or empty on success.
    std::string WritePortMapping(const std::vector<PortMappingChange>& changes);
    // Keeps the ESN registry location at once (the ESN Registry dialog's OK); empty for the
    // default. Returns why not, in words for the user, or empty on success.
    std::string WriteRegistryLocation(const std::string& location);
    SettingsStore& Settings() { return *m_pSettings; }

    bool HasCommandHandler(int commandId) const { return m_commands.Has(commandId); }
    const CCommandMap& Commands() const { return m_commands; }

    // "COM%1d" from m_nSerialPort + 1.
    std::string GetPortName() const;
    // The session of the next exchange of command commandId: the current port, opened through
    // the settings' port mapping, the program's link, clock and message boxes, and the window's
    // way of running an exchange, named after the command.
    Session MakeSession(int commandId);
    // The ESN registry every ESN write is reserved in: opened at the first write from the
    // settings' [Registry] Location, else the embedded default, and opened anew when the
    // location changes. Null, with why set for the user, when it cannot be used.
    IEsnRegistry* Registry(std::string& why);

    // Replaces how ports are opened (tests put a scripted line here); an empty opener restores
    // the serial port.
    void SetPortOpener(PortOpener opener);
    // Replaces how port names map to devices (tests); an empty resolver restores the settings.
    void SetPortResolver(PortResolver resolver);
    const PortResolver& GetPortResolver() const { return m_portResolver; }
    // Replaces how serial devices are listed (tests); an empty lister restores the machine's.
    void SetSerialDeviceLister(SerialDeviceLister lister) { m_deviceLister = std::move(lister); }
    // Replaces how the ESN Registry dialog opens a registry (tests); empty restores
    // OpenEsnRegistry.
    void SetRegistryOpener(RegistryOpener opener) { m_registryOpener = std::move(opener); }
    CRadioLink& GetRadioLink() { return m_radioLink; }
    // The clock every exchange's timing runs on: the machine's, or one a test hands in.
    void SetClock(IClock& clock) { m_pClock = &clock; }

    // The serial port index: 0 for COM1 to 3 for COM4 (a negative stored value is kept as it is).
    int m_nSerialPort = 0;

protected:
    // The commands of the menu. A radio command runs its dialog on the session made for it; one
    // that writes ESNs first needs the registry, and without one tells the user that nothing was
    // sent and goes no further. A test may put a handler of its own in place of any.
    virtual void OnAppAbout();
    virtual void OnRadioInfo();
    virtual void OnProgramEsn();
    virtual void OnConfiguration();
    virtual void OnProgramRegionalId();
    virtual void OnEsnRegistry();
    virtual void OnProductionLine();

    // What the window supplies. Each dialog runs modally and returns once the user has left it.
    virtual IMessageReporter& Reporter() = 0;
    // How an exchange of the command named command runs, with its progress window.
    virtual ProcedureRunner RunnerFor(const std::string& command) = 0;
    // Closes the main window, which ends the run (Exit).
    virtual void CloseMainWindow() = 0;
    virtual void ShowAbout() = 0;
    virtual void ShowRadioInfo(Session session) = 0;
    virtual void ShowProgramEsn(Session session) = 0;
    virtual void ShowProgramRegionalId(Session session) = 0;
    // The Configuration dialog on port index current; the index the user left it with by OK, or
    // nothing (PortChosenIn).
    virtual std::optional<int> ChoosePort(int current, PortMappingAccess mapping) = 0;
    // The Production Line window on port index current; the port index the station ended on.
    virtual int RunProductionLine(Session session, int current) = 0;
    virtual void ShowEsnRegistry(RegistryLocationAccess access) = 0;

    // Runs a port chooser (anything with an int m_nPortIndex and DoModal()) on port index
    // current, and gives the index the user chose only when they left with OK.
    template <class TDlg>
    static std::optional<int> PortChosenIn(TDlg& dialog, int current);

    CCommandMap m_commands;

private:
    std::unique_ptr<SettingsStore> m_pSettings;
    std::string m_settingsDamage;
    // The one link of the program: it lives for the whole run, with a port attached only for the
    // span of an exchange.
    CRadioLink m_radioLink;
    IClock* m_pClock = &SystemClock();
    // Opened from the settings at the first ESN write.
    CSettingsRegistry m_registry{*m_pSettings};
    // COMn as the settings map it ("COM1" = "/dev/ttyUSB0"), read at every exchange, so that a
    // mapping changed while the program runs (here or by varnel-cli's user) counts at the next.
    PortResolver m_portResolver;
    PortOpener m_portOpener;
    SerialDeviceLister m_deviceLister;
    RegistryOpener m_registryOpener;
};

template <class TDlg>
std::optional<int> CApplication::PortChosenIn(TDlg& dialog, int current) {
    dialog.m_nPortIndex = current;
    if (dialog.DoModal() != kIdOk) {
        return std::nullopt;
    }
    return dialog.m_nPortIndex;
}

}  // namespace varnel
