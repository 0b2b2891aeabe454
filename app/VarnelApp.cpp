#include "app/VarnelApp.h"

#include <QApplication>
#include <QDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>

#include <csignal>
#include <cstdio>

#include "app/MainFrame.h"
#include "app/MessageBoxReporter.h"
#include "app/TerminationSignals.h"
#include "settings/SettingsStore.h"
#include "ui/ExchangeRunner.h"
#include "ui/Resources.h"

namespace varnel {

CVarnelApp::CVarnelApp() {
    m_pRunner = std::make_unique<CExchangeRunner>();
}

CVarnelApp::~CVarnelApp() {
    m_pMainWnd.reset();
}

int CVarnelApp::Run(int& argc, char** argv) {
    std::unique_ptr<QApplication> application;
    if (!QApplication::instance()) {
        application = std::make_unique<QApplication>(argc, argv);
    }
    // A request to end (kill, timeout, logout, Ctrl+C) saves the setting at once, in case a
    // harder one follows, and then ends the run as closing the window does. A second request
    // of the same kind ends the process the hard way.
    m_bEnding = false;
    CTerminationSignals endRequests({SIGTERM, SIGHUP, SIGINT});
    QObject::connect(&endRequests, &CTerminationSignals::Received, &endRequests, [this](int) {
        SaveSettings();
        EndSession();
    });
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
    // The desktop session ending stops a running exchange (the closing of the main window that
    // follows goes ahead once the port is closed), and saves the setting while it asks: the
    // session may end the process without a return from the event loop.
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, m_pRunner.get(), [this] {
        m_pRunner->Cancel();
        SaveSettings();
    });

    LoadSettings();
    if (!SettingsDamage().empty()) {
        std::fprintf(
            stderr, "%s\n",
            DescribeSettingsDamage("varnel", Settings().Location(), SettingsDamage()).c_str());
    }

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
    const MenuTrimDefinition trim = MenuTrim();
    for (const int command : trim.commands) {
        RemoveMenuCommand(bar, command);
    }
    if (QMenu* help = MenuOfCommand(bar, trim.leadingSeparatorOf)) {
        if (!help->actions().isEmpty() && help->actions().front()->isSeparator()) {
            RemoveMenuItemAt(help, 0);
        }
    }
}

int CVarnelApp::ExitInstance(int exitCode) {
    SaveSettings();
    if (m_pMainWnd) {
        m_pMainWnd->hide();
    }
    m_pReporter->SetOwner(nullptr);
    m_pMainWnd.reset();
    return exitCode;
}

void CVarnelApp::SaveSettings() {
    if (const std::string why = SavePortIndex(); !why.empty()) {
        std::fprintf(stderr, "varnel: the serial port setting was not saved: %s\n", why.c_str());
    }
}

void CVarnelApp::EndSession() {
    if (m_bEnding) {
        return;
    }
    m_bEnding = true;
    // From the event loop, so that a request met while the program starts ends the run once
    // the loop runs, instead of being lost before there is a window to close.
    QTimer::singleShot(0, m_pRunner.get(), [this] { EndSessionStep(); });
}

void CVarnelApp::EndSessionStep() {
    if (!m_pMainWnd) {
        QCoreApplication::quit();
        return;
    }
    QWidget* modal = QApplication::activeModalWidget();
    if (m_pRunner->IsRunning()) {
        // The exchange stops at its next step; a box it raised holds it until dismissed.
        m_pRunner->Cancel();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            box->reject();
        }
    } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
        dialog->reject();  // a dialog's Cancel, a box's OK
    } else if (modal) {
        modal->close();
    } else {
        if (m_pMainWnd->close()) {
            QCoreApplication::quit();
            return;
        }
    }
    // Whatever was closed may have opened the next thing to close (a dialog's box, the dialog
    // under a box): look again in a moment.
    QTimer::singleShot(20, m_pRunner.get(), [this] { EndSessionStep(); });
}

void CVarnelApp::CloseMainWindow() {
    if (m_pMainWnd) {
        m_pMainWnd->close();
    }
}

}  // namespace varnel
