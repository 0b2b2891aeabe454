#pragma once

#include "win32/Win32Api.h"

#include <memory>
#include <optional>
#include <string>

#include "usecases/Application.h"

namespace varnel::win32 {

class CMainFrame;
class CMessageBoxReporter;
class CExchangeRunner;

// The Win32 window of the application: start-up, the message loop and exit, the main window,
// message boxes, and each command's dialog. Exchanges run on a worker thread with a progress
// window.
class CVarnelApp : public CApplication {
public:
    // settings: where the port index is kept between runs; the user's own when none is given.
    explicit CVarnelApp(HINSTANCE instance, std::unique_ptr<SettingsStore> settings = nullptr);
    ~CVarnelApp() override;

    // InitInstance, the message loop and ExitInstance; returns the exit code.
    int Run();

    // The setting, the main window, the menu trimming. False when the main window cannot be
    // made; the caller then still runs ExitInstance.
    bool InitInstance();
    // Writes the port index to the settings; nobody is told when the store refuses: the next
    // start then uses what was there before.
    void SaveSettings();
    // Writes the port index back, on every exit; returns the exit code.
    int ExitInstance(int exitCode);

    HWND GetMainWnd() const;
    // Runs a command as the menu would; false when nothing handles it.
    bool DispatchCommand(int commandId);

private:
    IMessageReporter& Reporter() override;
    ProcedureRunner RunnerFor(const std::string& command) override;
    void CloseMainWindow() override;
    void ShowAbout() override;
    void ShowRadioInfo(Session session) override;
    void ShowProgramEsn(Session session) override;
    void ShowProgramRegionalId(Session session) override;
    std::optional<int> ChoosePort(int current, PortMappingAccess mapping) override;
    int RunProductionLine(Session session, int current) override;
    void ShowEsnRegistry(RegistryLocationAccess access) override;

    // Whether the main window may close now: not while an exchange runs, which is stopped and
    // closes the window when it has ended.
    bool CanCloseMainWindow();
    static BOOL CALLBACK CancelOwnedDialog(HWND window, LPARAM owner);

    HINSTANCE m_instance;
    std::unique_ptr<CMessageBoxReporter> m_pReporter;
    std::unique_ptr<CExchangeRunner> m_pRunner;
    std::unique_ptr<CMainFrame> m_pMainWnd;
    // Bounds the closes that wait for open dialogs to go, should one of them never go.
    static constexpr int kMaxCloseAttempts = 50;
    int m_closeAttempts = 0;
};

}  // namespace varnel::win32
