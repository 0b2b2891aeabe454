#pragma once

#include <memory>

#include "app/AboutDlg.h"
#include "app/MainFrame.h"
#include "app/MessageBoxReporter.h"
#include "dialogs/ConfigurationDlg.h"
#include "dialogs/EsnRegistryDlg.h"
#include "dialogs/ProductionLineDlg.h"
#include "dialogs/ProgramEsnDlg.h"
#include "dialogs/ProgramRegionalIdDlg.h"
#include "dialogs/RadioInfoDlg.h"
#include "ui/ExchangeRunner.h"
#include "usecases/WindowedApplication.h"

namespace varnel {

// The owner of every dialog and box: the main window, once there is one.
inline QWidget* OwnerOf(CMainFrame* frame) {
    return frame;
}
// The classes the application builds the Qt window from.
using QtWindow = WindowClasses<CMainFrame, CMessageBoxReporter, CExchangeRunner, CAboutDlg,
                               CRadioInfoDlg, CProgramEsnDlg, CProgramRegionalIdDlg,
                               CConfigurationDlg, CProductionLineDlg, CEsnRegistryDlg>;

// The application in the Qt window: start-up, exit and the end of the desktop session, the main
// window and its menu. Exchanges run off the user-interface thread with a progress window.
class CVarnelApp : public CWindowedApplication<QtWindow> {
public:
    CVarnelApp();
    ~CVarnelApp() override;

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
    // the settings file could not be trusted at start-up; a failure is named on standard error.
    void SaveSettings();
    // Ends the run as closing the main window does, from wherever the user is: a running
    // exchange is cancelled, boxes and dialogs are closed as their Cancel would, and then the
    // main window. Returns at once; the closing goes on in the event loop.
    void EndSession();

    CMainFrame* GetMainWnd() const { return m_pMainWnd.get(); }
    CExchangeRunner& GetExchangeRunner() { return *m_pRunner; }

protected:
    void CloseMainWindow() override;
    // The main window that start-up creates; a test may hand back one that fails to build.
    virtual std::unique_ptr<CMainFrame> CreateMainFrame();

private:
    void TrimMenu();
    void EndSessionStep();

    bool m_bEnding = false;
};

}  // namespace varnel
