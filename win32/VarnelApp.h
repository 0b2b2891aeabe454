#pragma once

#include "win32/Win32Api.h"

#include <memory>
#include <string>

#include "link/Clock.h"
#include "link/PortNames.h"
#include "link/RadioLink.h"
#include "procedures/PortMapping.h"
#include "procedures/Session.h"
#include "registry/EsnRegistry.h"
#include "settings/SettingsStore.h"
#include "templates/CommandMap.h"
#include "usecases/AppSettings.h"

namespace varnel::win32 {

class CMainFrame;
class CMessageBoxReporter;
class CExchangeRunner;

// The application object: start-up, exit, the serial port index and the commands of the menu.
// It hands every dialog the session its exchanges run on.
class CVarnelApp {
public:
    // settings: where the port index is kept between runs; the user's own when none is given.
    explicit CVarnelApp(HINSTANCE instance, std::unique_ptr<SettingsStore> settings = nullptr);
    ~CVarnelApp();
    CVarnelApp(const CVarnelApp&) = delete;
    CVarnelApp& operator=(const CVarnelApp&) = delete;

    // InitInstance, the message loop and ExitInstance; returns the exit code.
    int Run();

    // The setting, the main window, the menu trimming. False when the main window cannot be
    // made; the caller then still runs ExitInstance.
    bool InitInstance();
    // Takes the port index from the settings, as start-up does.
    void LoadSettings();
    // Writes the port index to the settings; nobody is told when the store refuses: the next
    // start then uses what was there before.
    void SaveSettings();
    // Writes the port index back, on every exit; returns the exit code.
    int ExitInstance(int exitCode);

    HWND GetMainWnd() const;
    // Runs a command as the menu would; false when nothing handles it.
    bool DispatchCommand(int commandId);

    // "COM%1d" from m_nSerialPort + 1.
    std::string GetPortName() const;

    // The session of the next exchange of command commandId: the current port, the program's
    // link and message boxes, run on a worker thread with a progress window named after the
    // command.
    Session MakeSession(int commandId);
    // The ESN registry every ESN write is reserved in: opened at the first write from the
    // settings' [Registry] Location, else the embedded default, and opened anew when the
    // location changes. Null, with why set for the user, when it cannot be used.
    IEsnRegistry* Registry(std::string& why);

    // The serial port index: 0 for COM1 to 3 for COM4 (a negative stored value is kept as it is).
    int m_nSerialPort = 0;

private:
    // The commands of the application, one handler each. The dialog handlers construct their
    // dialog for the length of the call and run it modally.
    void OnAppAbout();
    void OnRadioInfo();
    void OnProgramEsn();
    void OnConfiguration();
    void OnProgramRegionalId();
    void OnEsnRegistry();
    void OnProductionLine();
    // Whether the main window may close now: not while an exchange runs, which is stopped and
    // closes the window when it has ended.
    bool CanCloseMainWindow();
    static BOOL CALLBACK CancelOwnedDialog(HWND window, LPARAM owner);
    // Writes changed port mappings to the registry at once (the Serial Devices dialog's OK);
    // returns why nothing was written, empty on success.
    std::string WritePortMapping(const std::vector<PortMappingChange>& changes);
    // Keeps the ESN registry location in the registry at once (the ESN Registry dialog's OK);
    // empty for the default. Returns why nothing was written, empty on success.
    std::string WriteRegistryLocation(const std::string& location);

    HINSTANCE m_instance;
    std::unique_ptr<SettingsStore> m_pSettings;
    CCommandMap m_commands;
    // The one link of the program: it lives for the whole run, with a port attached only for the
    // span of an exchange.
    CRadioLink m_radioLink;
    // The clock every exchange's timing runs on.
    IClock& m_clock = SystemClock();
    std::unique_ptr<CMessageBoxReporter> m_pReporter;
    // Opened from the settings at the first ESN write.
    CSettingsRegistry m_registry{*m_pSettings};
    std::unique_ptr<CExchangeRunner> m_pRunner;
    // COMn as the settings map it ("COM1" = "COM7"), read at every exchange, so that a mapping
    // changed while the program runs (here or by varnel-cli.exe's user) counts at the next one.
    PortResolver m_portResolver;
    PortOpener m_portOpener;
    std::unique_ptr<CMainFrame> m_pMainWnd;
    // Bounds the closes that wait for open dialogs to go, should one of them never go.
    static constexpr int kMaxCloseAttempts = 50;
    int m_closeAttempts = 0;
};

}  // namespace varnel::win32
