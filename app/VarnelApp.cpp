#include "app/VarnelApp.h"

#include <QApplication>
#include <QMenuBar>

#include "app/AboutDlg.h"
#include "app/MainFrame.h"
#include "app/MessageBoxReporter.h"
#include "app/Profile.h"
#include "app/Resources.h"
#include "app/VarnelDoc.h"
#include "link/PortNames.h"
#include "strings/Messages.h"
#include "strings/StringTable.h"

namespace varnel {
namespace {

CVarnelApp* g_currentApp = nullptr;

}  // namespace

CVarnelApp* AfxGetVarnelApp() {
    return g_currentApp;
}

QWidget* AfxGetMainWnd() {
    return g_currentApp ? g_currentApp->GetMainWnd() : nullptr;
}

CVarnelApp::CVarnelApp() : m_pReporter(std::make_unique<CMessageBoxReporter>()) {
    g_currentApp = this;
    // The application's own commands, in the order of its message map.
    m_commands.Add(ID_APP_ABOUT, [this] { OnAppAbout(); });
    m_commands.Add(ID_RADIO_INFO, [this] { OnRadioInfo(); });
    m_commands.Add(ID_PROGRAM_ESN, [this] { OnProgramEsn(); });
    m_commands.Add(ID_CONFIGURATION, [this] { OnConfiguration(); });
    m_commands.Add(ID_PROGRAM_REGIONAL_ID, [this] { OnProgramRegionalId(); });
    // Exit closes the main window, which ends the event loop.
    m_commands.Add(ID_APP_EXIT, [this] {
        if (m_pMainWnd) {
            m_pMainWnd->close();
        }
    });
}

CVarnelApp::~CVarnelApp() {
    if (m_reporterInstalled) {
        SetMessageReporter(nullptr);
        SetPortResolver(nullptr);
    }
    m_pMainWnd.reset();
    if (g_currentApp == this) {
        g_currentApp = nullptr;
    }
}

int CVarnelApp::Run(int& argc, char** argv) {
    std::unique_ptr<QApplication> application;
    if (!QApplication::instance()) {
        application = std::make_unique<QApplication>(argc, argv);
    }
    if (!InitInstance()) {
        return ExitInstance(1);
    }
    return ExitInstance(QApplication::exec());
}

bool CVarnelApp::InitInstance() {
    QApplication::setApplicationName(QStringLiteral("Varnel"));
    QApplication::setOrganizationName(QStringLiteral("Tessaran"));
    QApplication::setDesktopFileName(QStringLiteral("varnel"));
    QApplication::setWindowIcon(AppIcon());

    // Messages from the link and the dialogs become message boxes from here on.
    SetMessageReporter(m_pReporter.get());
    SetPortResolver([](const std::string& portName) { return PortDeviceFromSettings(portName); });
    m_reporterInstalled = true;

    m_nSerialPort = LoadSerialPortSetting();

    m_pDocument = std::make_unique<CVarnelDoc>();
    m_pMainWnd = CreateMainFrame();
    if (!m_pMainWnd || !m_pMainWnd->LoadFrame()) {
        m_pMainWnd.reset();
        return false;
    }
    m_pMainWnd->show();
    TrimMenu();
    m_pMainWnd->UpdateCommandUI();
    return true;
}

std::unique_ptr<CMainFrame> CVarnelApp::CreateMainFrame() {
    return std::make_unique<CMainFrame>(&m_commands);
}

void CVarnelApp::TrimMenu() {
    QMenuBar* bar = m_pMainWnd ? m_pMainWnd->menuBar() : nullptr;
    if (!bar) {
        return;
    }
    // The Regional ID command stays routed but is offered nowhere; help topics do not exist, and
    // the separator that stood under them goes with them.
    RemoveMenuCommand(bar, ID_PROGRAM_REGIONAL_ID);
    RemoveMenuCommand(bar, ID_HELP_FINDER);
    const QList<QAction*> topLevel = bar->actions();
    if (topLevel.size() > 4 && topLevel.at(4)->menu()) {
        RemoveMenuItemAt(topLevel.at(4)->menu(), 0);
    }
}

int CVarnelApp::ExitInstance(int exitCode) {
    SaveSerialPortSetting(m_nSerialPort);
    if (m_pMainWnd) {
        m_pMainWnd->hide();
    }
    m_pMainWnd.reset();
    m_pDocument.reset();
    if (m_reporterInstalled) {
        SetMessageReporter(nullptr);
        SetPortResolver(nullptr);
        m_reporterInstalled = false;
    }
    return exitCode;
}

bool CVarnelApp::DispatchCommand(int commandId) {
    if (m_pMainWnd) {
        return m_pMainWnd->OnCommand(commandId);
    }
    return m_commands.Dispatch(commandId);
}

std::string CVarnelApp::GetPortName() const {
    return PortNameFromIndex(m_nSerialPort);
}

void CVarnelApp::OnAppAbout() {
    CAboutDlg dialog;
    dialog.DoModal();
}

}  // namespace varnel
