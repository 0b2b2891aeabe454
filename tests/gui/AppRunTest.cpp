// CVarnelApp::Run from start to end: the port index reaches the settings file when the window
// is closed and when the process is asked to end by a signal, also from inside a dialog, a box or
// an exchange; a settings file that cannot be read as it stands comes out of a run byte for byte
// as it went in. The signals are sent both within this process and to the real program running
// in a child process.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/MainFrame.h"
#include "app/VarnelApp.h"
#include "dialogs/ConfigurationDlg.h"
#include "dialogs/SerialDevicesDlg.h"
#include "strings/StringTable.h"
#include "tests/support/QtTestSupport.h"
#include "ui/ExchangeRunner.h"

extern char** environ;

namespace varnel {
namespace {

const char* SignalName(int signalNumber) {
    switch (signalNumber) {
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
        case SIGINT:
            return "SIGINT";
        default:
            return "another signal";
    }
}

// Runs the application's whole run in this process; once the main window is up, whileUp plays
// the user's or the system's part. A run that has not ended after a while is ended with 99, so
// a lost signal fails the test instead of hanging it.
int RunApp(CVarnelApp& app, std::function<void(CVarnelApp&)> whileUp) {
    QTimer::singleShot(0, [&app, whileUp = std::move(whileUp)] {
        ASSERT_NE(app.GetMainWnd(), nullptr);
        ASSERT_TRUE(app.GetMainWnd()->isVisible());
        whileUp(app);
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    watchdog.start(20000);
    int argc = 1;
    char name[] = "varnel";
    char* argv[] = {name, nullptr};
    return app.Run(argc, argv);
}

bool HandlerIsDefault(int signalNumber) {
    struct sigaction current = {};
    return ::sigaction(signalNumber, nullptr, &current) == 0 && current.sa_handler == SIG_DFL;
}

class AppRun : public ::testing::Test {
protected:
    void SetUp() override { test::ClearSettings(); }
};

TEST_F(AppRun, ClosingTheWindowWritesTheSettingAndNothingElse) {
    test::WriteSettingsFile("; bench 3\n[Options]\nSerialPort=1\n");
    CVarnelApp app;
    const int exitCode = RunApp(app, [](CVarnelApp& a) {
        a.m_nSerialPort = 3;
        a.GetMainWnd()->close();
    });
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(test::ReadSettingsFile(), "; bench 3\n[Options]\nSerialPort=3\n");
}

class AppRunSignal : public AppRun, public ::testing::WithParamInterface<int> {};

TEST_P(AppRunSignal, EndsTheRunAndWritesTheSetting) {
    const int signalNumber = GetParam();
    ASSERT_TRUE(HandlerIsDefault(signalNumber));
    CVarnelApp app;
    const int exitCode = RunApp(app, [signalNumber](CVarnelApp& a) {
        a.m_nSerialPort = 2;
        ::raise(signalNumber);
    });
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(test::ReadSettingsFile(), "[Options]\nSerialPort=2\n");
    EXPECT_TRUE(HandlerIsDefault(signalNumber)) << "the run leaves the signal as it found it";
}

INSTANTIATE_TEST_SUITE_P(Signals, AppRunSignal, ::testing::Values(SIGTERM, SIGHUP, SIGINT),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(SignalName(info.param));
                         });

// Configuration and the Serial Devices dialog over it are closed as their Cancel would close
// them: the index stays, the mapping is not written, and the run ends.
TEST_F(AppRun, ASignalEndsTheRunFromInsideNestedDialogs) {
    test::WriteSettingsFile("[Options]\nSerialPort=1\n");
    CVarnelApp app;
    app.SetSerialDeviceLister([] { return std::vector<SerialDevice>(); });
    bool sawDevicesDialog = false;
    const int exitCode = RunApp(app, [&](CVarnelApp& a) {
        test::WhenModal([&](QWidget* configuration) {
            ASSERT_NE(qobject_cast<CConfigurationDlg*>(configuration), nullptr);
            test::WhenModal([&](QWidget* devices) {
                auto* dialog = qobject_cast<CSerialDevicesDlg*>(devices);
                ASSERT_NE(dialog, nullptr);
                sawDevicesDialog = true;
                dialog->GetComboBox(SerialDevicesIds::IDC_COM2_DEVICE)->setEditText("/dev/ttyS9");
                ::raise(SIGTERM);
            });
            static_cast<CConfigurationDlg*>(configuration)
                ->GetButton(CConfigurationDlg::IDC_DEVICES)
                ->click();
        });
        a.DispatchCommand(ID_CONFIGURATION);
    });
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(sawDevicesDialog);
    EXPECT_EQ(app.m_nSerialPort, 1);
    EXPECT_EQ(test::ReadSettingsFile(), "[Options]\nSerialPort=1\n");
}

// The port error box of an exchange holds the exchange until it is dismissed; the signal
// dismisses it, the exchange ends, and so does the run.
TEST_F(AppRun, ASignalEndsTheRunFromABoxOfAnExchange) {
    CVarnelApp app;
    app.SetPortResolver([](const std::string&) { return std::string("/nonexistent/ttyUSB0"); });
    QString boxText;
    const int exitCode = RunApp(app, [&](CVarnelApp& a) {
        a.m_nSerialPort = 3;
        test::WhenModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            boxText = box->text();
            EXPECT_TRUE(a.GetExchangeRunner().IsRunning());
            ::raise(SIGHUP);
        });
        a.DispatchCommand(ID_RADIO_INFO);
    });
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(boxText.startsWith("The serial port COM4 could not be opened."))
        << boxText.toStdString();
    EXPECT_EQ(test::ReadSettingsFile(), "[Options]\nSerialPort=3\n");
}

// ---- The real program in a child process ---------------------------------------------------

#ifdef VARNEL_APP_PATH
// The program under the offscreen platform, with its own settings folder and its standard error
// kept in a file.
class ChildApp {
public:
    ChildApp(const QString& configHome, const QString& errorFile) {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (entry.rfind("XDG_CONFIG_HOME=", 0) != 0 &&
                entry.rfind("QT_QPA_PLATFORM=", 0) != 0 && entry.rfind("ASAN_OPTIONS=", 0) != 0) {
                env.push_back(entry);
            }
        }
        env.push_back("XDG_CONFIG_HOME=" + configHome.toStdString());
        env.push_back("QT_QPA_PLATFORM=offscreen");
        // What the program leaks at exit is not this test's business; its exit code is.
        const char* asan = std::getenv("ASAN_OPTIONS");
        env.push_back(std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":detect_leaks=0");
        std::vector<char*> envp;
        for (std::string& entry : env) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        const std::string err = errorFile.toStdString();
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        char program[] = VARNEL_APP_PATH;
        char* argv[] = {program, nullptr};
        if (::posix_spawn(&m_pid, program, &actions, nullptr, argv, envp.data()) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ChildApp() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
        }
    }
    ChildApp(const ChildApp&) = delete;
    ChildApp& operator=(const ChildApp&) = delete;

    bool Started() const { return m_pid > 0; }

    // True once the program handles signalNumber itself (it has set up its handlers), as
    // /proc shows; false when it ended or the time ran out first.
    bool WaitUntilItCatches(int signalNumber) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            std::ifstream status("/proc/" + std::to_string(m_pid) + "/status");
            std::string line;
            while (std::getline(status, line)) {
                if (line.rfind("SigCgt:", 0) == 0) {
                    const unsigned long long caught = std::stoull(line.substr(7), nullptr, 16);
                    if (caught & (1ULL << (signalNumber - 1))) {
                        return true;
                    }
                }
                if (line.rfind("State:", 0) == 0 && line.find('Z') != std::string::npos) {
                    return false;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    void Send(int signalNumber) { ::kill(m_pid, signalNumber); }

    // The wait status once it has ended, or -1 when it has not within the time allowed.
    int WaitForEnd() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return status;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }

private:
    pid_t m_pid = -1;
};

std::string ReadWhole(const QString& path) {
    std::ifstream in(path.toStdString());
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct ChildCase {
    int signalNumber;
    bool damaged;
};

void PrintTo(const ChildCase& c, std::ostream* os) {
    *os << SignalName(c.signalNumber) << (c.damaged ? " damaged file" : " sound file");
}

class ChildAppSignal : public ::testing::TestWithParam<ChildCase> {};

// A stored 7 is taken as 0 and written back as 0, so a file that changes proves the write; the
// comment after it proves that the rest stays. A damaged file stays as it was and is named.
TEST_P(ChildAppSignal, EndsTheProgramWithTheSettingSavedOrTheDamagedFileUntouched) {
    const ChildCase& c = GetParam();
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    ASSERT_TRUE(QDir().mkpath(home.path() + "/Tessaran"));
    const QString settings = home.path() + "/Tessaran/Varnel.conf";
    const QByteArray before = c.damaged
                                  ? QByteArray("[Options]\nSerialPort=7\nNote=\"open\n; kept\n")
                                  : QByteArray("[Options]\nSerialPort=7\n; kept\n");
    {
        QFile file(settings);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(before);
    }
    const QString errors = home.path() + "/stderr.txt";
    ChildApp child(home.path(), errors);
    ASSERT_TRUE(child.Started());
    ASSERT_TRUE(child.WaitUntilItCatches(c.signalNumber)) << ReadWhole(errors);
    child.Send(c.signalNumber);
    const int status = child.WaitForEnd();
    ASSERT_NE(status, -1) << "still running after " << SignalName(c.signalNumber);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "wait status " << status << "; standard error:\n"
        << ReadWhole(errors);

    QFile file(settings);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::string said = ReadWhole(errors);
    if (c.damaged) {
        EXPECT_EQ(file.readAll(), before);
        EXPECT_NE(said.find(settings.toStdString() + " cannot be read as it stands: line 3 opens "
                                                     "a quote"),
                  std::string::npos)
            << said;
    } else {
        EXPECT_EQ(file.readAll(), "[Options]\nSerialPort=0\n; kept\n");
        EXPECT_EQ(said.find("cannot be read"), std::string::npos) << said;
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, ChildAppSignal,
                         ::testing::Values(ChildCase{SIGTERM, false}, ChildCase{SIGHUP, false},
                                           ChildCase{SIGINT, false}, ChildCase{SIGTERM, true}),
                         [](const ::testing::TestParamInfo<ChildCase>& info) {
                             return std::string(SignalName(info.param.signalNumber)) +
                                    (info.param.damaged ? "DamagedFile" : "SoundFile");
                         });
#endif

}  // namespace
}  // namespace varnel
