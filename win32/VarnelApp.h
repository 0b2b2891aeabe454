#pragma once

#include "win32/Win32Api.h"

#include <memory>
#include <string>

#include "usecases/WindowedApplication.h"
#include "win32/AboutDlg.h"
#include "win32/ConfigurationDlg.h"
#include "win32/EsnRegistryDlg.h"
#include "win32/ExchangeRunner.h"
#include "win32/MainFrame.h"
#include "win32/MessageBoxReporter.h"
#include "win32/ProductionLineDlg.h"
#include "win32/ProgramEsnDlg.h"
#include "win32/ProgramRegionalIdDlg.h"
#include "win32/RadioInfoDlg.h"

namespace varnel::win32 {

// The owner of every dialog and box: the main window, once there is one.
inline HWND OwnerOf(const CMainFrame* frame) {
    return frame ? frame->GetSafeHwnd() : nullptr;
}
// The classes the application builds the Win32 window from.
using Win32Window = WindowClasses<CMainFrame, CMessageBoxReporter, CExchangeRunner, CAboutDlg,
                                  CRadioInfoDlg, CProgramEsnDlg, CProgramRegionalIdDlg,
                                  CConfigurationDlg, CProductionLineDlg, CEsnRegistryDlg>;

// The application in the Win32 window: start-up, the message loop and exit, the main window and
// its menu. Exchanges run on a worker thread with a progress window.
class CVarnelApp : public CWindowedApplication<Win32Window> {
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

    HWND GetMainWnd() const { return DialogOwner(); }

private:
    void CloseMainWindow() override;
    // Whether the main window may close now: not while an exchange runs, which is stopped and
    // closes the window when it has ended.
    bool CanCloseMainWindow();
    static BOOL CALLBACK CancelOwnedDialog(HWND window, LPARAM owner);

    HINSTANCE m_instance;
    // Bounds the closes that wait for open dialogs to go, should one of them never go.
    static constexpr int kMaxCloseAttempts = 50;
    int m_closeAttempts = 0;
};

}  // namespace varnel::win32
