#pragma once

#include <QString>

#include <memory>
#include <string>
#include <vector>

#include "link/Clock.h"
#include "link/PortNames.h"
#include "link/RadioLink.h"
#include "procedures/PortMapping.h"
#include "procedures/Session.h"
#include "registry/EsnRegistry.h"
#include "settings/SettingsStore.h"
#include "templates/CommandMap.h"
#include "templates/DialogTemplates.h"
#include "usecases/AppSettings.h"
#include "usecases/RegistryDialogModel.h"

class QApplication;
class QWidget;

namespace varnel {

class CMainFrame;
class CMessageBoxReporter;
class CExchangeRunner;

// The application object: start-up, exit, the serial port index and the commands of the menu.
// It hands every dialog the session its exchanges run on.
class CVarnelApp {
public:
    CVarnelApp();
    virtual ~CVarnelApp();
    CVarnelApp(const CVarnelApp&) = delete;
    CVarnelApp& operator=(const CVarnelApp&) = delete;

    // Creates the QApplication when none exists yet, runs InitInstance, the event loop and
    // ExitInstance, and returns the exit code. Meanwhile SIGTERM, SIGHUP and SIGINT save the
    // setting at once and end the run as closing the main window does.
    int Run(int& argc, char** argv);

    // Settings, main window, menu trimming. False when the main window cannot be made; the
    // caller then still runs ExitInstance. A settings file that cannot be read as it stands is
    // named on standard error, and the run goes on with the defaults without ever writing it.
    virtual bool InitInstance();
    // Writes the port index back, on every exit; returns the exit code.
    virtual int ExitInstance(int exitCode = 0);

    // Writes the port index now (at exit, on a signal, when the desktop session ends), unless
    // the settings file could not be trusted at start-up.
    void SaveSettings();
    // Ends the run as closing the main window does, from wherever the user is: a running
    // exchange is cancelled, boxes and dialogs are closed as their Cancel would, and then the
    // main window. Returns at once; the closing goes on in the event loop.
    void EndSession();
    // Why the settings file was not trusted at start-up; empty when it was.
    const std::string& SettingsDamage() const { return m_settingsDamage; }
    // Writes changed port mappings to the settings file at once (the Serial Devices dialog's OK).
    // Returns why not, in words for the user, or empty on success.
    std::string WritePortMapping(const std::vector<PortMappingChange>& changes);
    // Keeps the ESN registry location in the settings file at once (the ESN Registry dialog's
    // OK); empty for the default. Returns why not, in words for the user, or empty on success.
    std::string WriteRegistryLocation(const std::string& location);
    // Replaces how the ESN Registry dialog opens a registry (tests); empty restores
    // OpenEsnRegistry.
    void SetRegistryOpener(RegistryOpener opener) { m_registryOpener = std::move(opener); }
    // Replaces how serial devices are listed (tests); an empty lister restores the machine's.
    void SetSerialDeviceLister(SerialDeviceLister lister) { m_deviceLister = std::move(lister); }

    CMainFrame* GetMainWnd() const { return m_pMainWnd.get(); }
    // Runs a command as the menu would; false when nothing handles it.
    bool DispatchCommand(int commandId);
    bool HasCommandHandler(int commandId) const { return m_commands.Has(commandId); }
    const CCommandMap& Commands() const { return m_commands; }

    // "COM%1d" from m_nSerialPort + 1.
    std::string GetPortName() const;

    // The session of the next exchange of command commandId: the current port, opened through
    // the settings' port mapping, the program's link and message boxes, run off the
    // user-interface thread with a progress window named after the command.
    Session MakeSession(int commandId);
    // The ESN registry every ESN write is reserved in: opened at the first write from the
    // settings' [Registry] Location, else the embedded default, and opened anew when the
    // location changes. Null, with why set for the user, when it cannot be used.
    IEsnRegistry* Registry(std::string& why);
    CExchangeRunner& GetExchangeRunner() { return *m_pRunner; }
    // Replaces how ports are opened (tests put a scripted line here); an empty opener restores
    // the serial port.
    void SetPortOpener(PortOpener opener);
    // Replaces how port names map to devices (tests); an empty resolver restores the settings.
    void SetPortResolver(PortResolver resolver);
    const PortResolver& GetPortResolver() const { return m_portResolver; }
    CRadioLink& GetRadioLink() { return m_radioLink; }
    // The clock every exchange's timing runs on: the machine's, or one a test hands in.
    void SetClock(IClock& clock) { m_pClock = &clock; }

    // The serial port index: 0 for COM1 to 3 for COM4 (a negative stored value is kept as it is).
    int m_nSerialPort = 0;

protected:
    // The commands of the application, one handler each. The dialog handlers construct their
    // dialog for the length of the call and run it modally.
    virtual void OnAppAbout();
    virtual void OnRadioInfo();
    virtual void OnProgramEsn();
    virtual void OnConfiguration();
    virtual void OnProgramRegionalId();
    virtual void OnProductionLine();
    virtual void OnEsnRegistry();

    // Runs the Configuration dialog (anything with an int m_nPortIndex and DoModal()) on the
    // current port index, and takes the dialog's index only when the user leaves with OK.
    template <class TDlg>
    void RunPortSelection(TDlg& dialog);

    // The main window that start-up creates; a test may hand back one that fails to build.
    virtual std::unique_ptr<CMainFrame> CreateMainFrame();

    CCommandMap m_commands;

private:
    void TrimMenu();
    void EndSessionStep();

    // The one link of the program: it lives for the whole run, with a port attached only for the
    // span of an exchange.
    CRadioLink m_radioLink;
    IClock* m_pClock = &SystemClock();
    // Where the port index and the port mapping are kept between runs.
    std::unique_ptr<SettingsStore> m_pSettings;
    std::unique_ptr<CMessageBoxReporter> m_pReporter;
    // Opened from the settings at the first ESN write.
    CSettingsRegistry m_registry{*m_pSettings};
    std::unique_ptr<CExchangeRunner> m_pRunner;
    PortResolver m_portResolver;
    PortOpener m_portOpener;
    SerialDeviceLister m_deviceLister;
    RegistryOpener m_registryOpener;
    std::unique_ptr<CMainFrame> m_pMainWnd;
    std::string m_settingsDamage;
    bool m_bEnding = false;
};

template <class TDlg>
void CVarnelApp::RunPortSelection(TDlg& dialog) {
    dialog.m_nPortIndex = m_nSerialPort;
    if (dialog.DoModal() == kIdOk) {
        m_nSerialPort = dialog.m_nPortIndex;
    }
}

}  // namespace varnel
