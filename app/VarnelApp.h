#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <string>

#include "templates/DialogTemplates.h"
#include "usecases/Application.h"

class QApplication;
class QWidget;

namespace varnel {

class CMainFrame;
class CMessageBoxReporter;
class CExchangeRunner;

// The Qt window of the application: start-up, exit and the end of the desktop session, the main
// window, message boxes, and each command's dialog. Exchanges run off the user-interface thread
// with a progress window.
class CVarnelApp : public CApplication {
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
    // Runs a command as the menu would; false when nothing handles it.
    bool DispatchCommand(int commandId);
    CExchangeRunner& GetExchangeRunner() { return *m_pRunner; }

protected:
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

    // The main window that start-up creates; a test may hand back one that fails to build.
    virtual std::unique_ptr<CMainFrame> CreateMainFrame();

private:
    void TrimMenu();
    void EndSessionStep();

    std::unique_ptr<CMessageBoxReporter> m_pReporter;
    std::unique_ptr<CExchangeRunner> m_pRunner;
    std::unique_ptr<CMainFrame> m_pMainWnd;
    bool m_bEnding = false;
};

}  // namespace varnel
