#include "app/VarnelApp.h"

#include <QApplication>
#include <QMenuBar>

#include "app/AboutDlg.h"
#include "app/MainFrame.h"
#include "app/MessageBoxReporter.h"
#include "app/Profile.h"
#include "procedures/SerialPortOpener.h"
#include "strings/StringTable.h"
#include "ui/ExchangeRunner.h"
#include "ui/Resources.h"

namespace varnel {

CVarnelApp::CVarnelApp()
    : m_pReporter(std::make_unique<CMessageBoxReporter>()),
      m_pRunner(std::make_unique<CExchangeRunner>()) {
    SetPortResolver({});
    SetPortOpener({});
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
    m_pMainWnd.reset();
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
    // The desktop session ending under an exchange stops the exchange; the closing of the
    // main window that follows then goes ahead once the port is closed.
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, m_pRunner.get(),
                     &CExchangeRunner::Cancel);

    m_nSerialPort = LoadSerialPortSetting();

    m_pMainWnd = CreateMainFrame();
    if (!m_pMainWnd || !m_pMainWnd->LoadFrame()) {
        m_pMainWnd.reset();
        return false;
    }
    // The main window owns every message box from here on, also one raised inside a dialog.
    m_pReporter->SetOwner(m_pMainWnd.get());
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
    // the separator that stood under them, now first in the menu of the About command, goes
    // with them.
    RemoveMenuCommand(bar, ID_PROGRAM_REGIONAL_ID);
    RemoveMenuCommand(bar, ID_HELP_FINDER);
    if (QMenu* help = MenuOfCommand(bar, ID_APP_ABOUT)) {
        if (!help->actions().isEmpty() && help->actions().front()->isSeparator()) {
            RemoveMenuItemAt(help, 0);
        }
    }
}

int CVarnelApp::ExitInstance(int exitCode) {
    SaveSerialPortSetting(m_nSerialPort);
    if (m_pMainWnd) {
        m_pMainWnd->hide();
    }
    m_pReporter->SetOwner(nullptr);
    m_pMainWnd.reset();
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

Session CVarnelApp::MakeSession(int commandId) {
    Session session(m_radioLink, *m_pReporter, m_portOpener, GetPortName());
    const std::string_view command = TooltipPart(LoadString(commandId));
    session.runner = m_pRunner->For(
        QString::fromUtf8(command.data(), static_cast<qsizetype>(command.size())), GetMainWnd());
    return session;
}

void CVarnelApp::SetPortResolver(PortResolver resolver) {
    // Read at every exchange, so a mapping edited while the program runs is used at the next one.
    m_portResolver = resolver ? std::move(resolver) : PortResolver(PortDeviceFromSettings);
}

void CVarnelApp::SetPortOpener(PortOpener opener) {
    m_portOpener = opener ? std::move(opener) : PortOpener();
    if (!m_portOpener) {
        // Through the resolver in force at the time of each exchange.
        m_portOpener = [this](const std::string& portName, const CancelToken* cancel) {
            return SerialPortOpener(m_portResolver)(portName, cancel);
        };
    }
}

void CVarnelApp::OnAppAbout() {
    CAboutDlg dialog(GetMainWnd());
    dialog.DoModal();
}

}  // namespace varnel
