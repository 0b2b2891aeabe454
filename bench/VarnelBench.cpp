// Times Varnel from inside a process that builds the application as main() does: the exchanges
// of Radio Info and Program ESN against a radio on a serial device, and the start-up to the main
// window on screen. scripts/bench.sh runs it against the simulated radio and prints the table.
//
//   varnel-bench info DEVICE     one Radio Info exchange
//   varnel-bench esn DEVICE      the blank test, then the write of ESN 130/05/123456
//   varnel-bench station DEVICE  the Production Line window: one radio from the key to PASS
//   varnel-bench startup         a fresh process from its spawn to the main window shown
//
// Each prints one line of key=value figures and exits with 0, or explains on standard error
// and exits with 1 when the run did not go the way a working radio goes.

#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTimer>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/MainFrame.h"
#include "app/VarnelApp.h"
#include "dialogs/ProductionLineDlg.h"
#include "dialogs/ProgramEsnDlg.h"
#include "dialogs/RadioInfoDlg.h"
#include "link/BytePort.h"
#include "procedures/SerialPortOpener.h"
#include "procedures/Session.h"
#include "registry/EsnRegistry.h"
#include "settings/SettingsStore.h"
#include "strings/Messages.h"
#include "strings/StringTable.h"
#include "ui/Dialog.h"

extern char** environ;

namespace {

using namespace varnel;

std::int64_t ReadNs(clockid_t clock) {
    timespec ts{};
    ::clock_gettime(clock, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// A moment of the run: wall time on the machine's monotonic clock (shared by all processes, so a
// parent's reading compares with its child's) and the processor time of this process so far.
struct Mark {
    std::int64_t wallNs = 0;
    std::int64_t cpuNs = 0;
    bool set = false;
};

Mark Now() {
    return Mark{ReadNs(CLOCK_MONOTONIC), ReadNs(CLOCK_PROCESS_CPUTIME_ID), true};
}

double Ms(std::int64_t ns) {
    return static_cast<double>(ns) / 1e6;
}

// The first request of every exchange, in order: when its first byte was handed to the port.
std::vector<Mark> g_firstRequests;
// When the last port was closed, and when the last byte came in before that.
Mark g_portClosed;
std::int64_t g_lastByteNs = 0;
// The time spent on the line: from the first byte of each request written to the last byte of
// the answers to it read (the echo, the line and the radio), summed over every request.
std::int64_t g_lineNs = 0;

// The port the dialogs would open, with the moments above noted. Everything else passes
// straight through. Only the wall clock is read per byte: the processor time is a system call.
class TimedPort final : public IBytePort {
public:
    explicit TimedPort(std::unique_ptr<IBytePort> port) : m_port(std::move(port)) {}
    ~TimedPort() override {
        CloseBurst();
        m_port.reset();
        g_portClosed = Now();
    }
    TimedPort(const TimedPort&) = delete;
    TimedPort& operator=(const TimedPort&) = delete;
    int ReadByte() override {
        const int b = m_port->ReadByte();
        if (b >= 0) {
            g_lastByteNs = m_lastByteNs = ReadNs(CLOCK_MONOTONIC);
            m_writing = false;
        }
        return b;
    }
    int WriteByte(int value) override {
        if (!m_writing) {
            // The first byte of a request: what came back for the one before is complete.
            CloseBurst();
            m_writing = true;
            if (g_firstRequests.size() == m_exchange) {
                g_firstRequests.push_back(Now());
            }
            m_burstStartNs = ReadNs(CLOCK_MONOTONIC);
        }
        return m_port->WriteByte(value);
    }
    void PurgeInput() override { m_port->PurgeInput(); }

private:
    void CloseBurst() {
        if (m_burstStartNs != 0 && m_lastByteNs > m_burstStartNs) {
            g_lineNs += m_lastByteNs - m_burstStartNs;
        }
        m_burstStartNs = 0;
    }

    std::unique_ptr<IBytePort> m_port;
    const std::size_t m_exchange = g_firstRequests.size();
    bool m_writing = false;
    std::int64_t m_burstStartNs = 0;
    std::int64_t m_lastByteNs = 0;
};

// The time the registry's own calls take on the road of a radio, summed.
std::int64_t g_registryNs = 0;

template <class Call>
auto Timed(Call&& call) {
    const std::int64_t start = ReadNs(CLOCK_MONOTONIC);
    auto result = call();
    g_registryNs += ReadNs(CLOCK_MONOTONIC) - start;
    return result;
}

// The application's registry, with the time of each call that a radio makes noted.
class TimedRegistry final : public IEsnRegistry {
public:
    explicit TimedRegistry(IEsnRegistry& registry) : m_registry(registry) {}
    std::string Location() const override { return m_registry.Location(); }
    ReserveResult Reserve(const EsnFields& esn, const WriteOrigin& origin) override {
        return Timed([&] { return m_registry.Reserve(esn, origin); });
    }
    ReserveResult ReserveNext(const std::string& pool, const WriteOrigin& origin) override {
        return Timed([&] { return m_registry.ReserveNext(pool, origin); });
    }
    std::optional<RegistryError> Settle(const std::string& esn, Settlement settlement) override {
        return Timed([&] { return m_registry.Settle(esn, settlement); });
    }
    std::optional<RegistryError> SetRadioSerial(const std::string& esn,
                                                const std::string& serial) override {
        return Timed([&] { return m_registry.SetRadioSerial(esn, serial); });
    }
    std::optional<EsnEntry> Find(const std::string& esn, RegistryError& error) override {
        return m_registry.Find(esn, error);
    }
    std::vector<EsnEntry> List(const ListFilter& filter, RegistryError& error) override {
        return m_registry.List(filter, error);
    }
    std::optional<RegistryError> AddPool(const std::string& name, const EsnFields& first,
                                         const EsnFields& last) override {
        return m_registry.AddPool(name, first, last);
    }
    std::vector<EsnPool> Pools(RegistryError& error) override { return m_registry.Pools(error); }
    std::optional<RegistryError> Release(const std::string& esn,
                                         const std::string& reason) override {
        return m_registry.Release(esn, reason);
    }
    std::optional<RegistryError> Confirm(const std::string& esn) override {
        return m_registry.Confirm(esn);
    }
    ReserveResult Import(const EsnEntry& entry) override { return m_registry.Import(entry); }

private:
    IEsnRegistry& m_registry;
};

// Message boxes would wait for a user; the run notes the messages instead and judges them.
class RecordingReporter final : public IMessageReporter {
public:
    void Show(const Message& message) override {
        m_ids.push_back(message.stringId);
        std::fprintf(stderr, "varnel-bench: message %d (%s): %.*s\n", message.stringId,
                     message.kind == MSG_ERROR ? "error" : "information",
                     static_cast<int>(message.text.size()), message.text.data());
    }
    const std::vector<int>& Ids() const { return m_ids; }

private:
    std::vector<int> m_ids;
};

// The application as start-up builds it. Its radio commands run their dialogs exactly as the
// application's do, on the session the application makes for the command (its port, opener,
// link, and its runner: off the user-interface thread, with the progress window), with only the
// messages recorded rather than shown; and every port it opens is the serial port behind a
// TimedPort, so that the first request of each exchange is noted.
class BenchApp final : public CVarnelApp {
public:
    BenchApp() {
        SetPortOpener([this](const std::string& name, const CancelToken* cancel) {
            PortOpenResult opened = SerialPortOpener(GetPortResolver())(name, cancel);
            if (opened.port) {
                opened.port = std::make_unique<TimedPort>(std::move(opened.port));
            }
            return opened;
        });
    }
    const RecordingReporter& Recorded() const { return m_reporter; }

protected:
    IMessageReporter& Reporter() override { return m_reporter; }

    // The station as the application runs it, with the registry's calls timed and a set-up of
    // its own, so the user's settings are neither read nor changed; no bell.
    int RunProductionLine(Session session, int current) override {
        TimedRegistry timed(*session.registry);
        session.registry = &timed;
        auto settings = OpenSettingsText("");
        CProductionLineDlg dialog(std::move(session), *settings, GetPortResolver(), current,
                                  GetMainWnd());
        dialog.m_ringBell = [] {};
        dialog.DoModal();
        return current;
    }

private:
    RecordingReporter m_reporter;
};

// A settings folder of the run's own, so the user's settings are neither read nor changed; COM1
// (the index a first run starts with) leads to device when one is given.
class PrivateSettings {
public:
    explicit PrivateSettings(const std::string& device = {}) {
        std::string pattern = (std::filesystem::temp_directory_path() / "varnel-bench.XXXXXX");
        if (::mkdtemp(pattern.data()) == nullptr) {
            return;
        }
        m_folder = pattern;
        if (!device.empty()) {
            std::filesystem::create_directories(m_folder / "Tessaran");
            std::ofstream(m_folder / "Tessaran" / "Varnel.conf")
                << "[Ports]\nCOM1=" << device << "\n";
        }
        ::setenv("XDG_CONFIG_HOME", m_folder.c_str(), 1);
        // The ESN registry's default too: a run never reserves in the user's own.
        ::setenv("XDG_DATA_HOME", m_folder.c_str(), 1);
    }
    ~PrivateSettings() {
        std::error_code ignored;
        if (!m_folder.empty()) {
            std::filesystem::remove_all(m_folder, ignored);
        }
    }
    PrivateSettings(const PrivateSettings&) = delete;
    PrivateSettings& operator=(const PrivateSettings&) = delete;
    bool IsValid() const { return !m_folder.empty(); }

private:
    std::filesystem::path m_folder;
};

// Notes when a window is first shown (made visible, with its contents in place) and when its
// first paint has been done (the pixels drawn), then calls back once.
class ShowWatcher final : public QObject {
public:
    using Filter = std::function<bool(QObject*)>;
    using Action = std::function<void(QWidget*)>;

    ShowWatcher(Filter which, Action action)
        : m_which(std::move(which)), m_action(std::move(action)) {}

    Mark m_shown;
    Mark m_painted;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && !m_shown.set && m_which(watched)) {
            m_shown = Now();
        } else if (event->type() == QEvent::Paint && m_shown.set && !m_painting &&
                   m_which(watched)) {
            m_painting = true;
            auto* widget = static_cast<QWidget*>(watched);
            // Queued, so that it runs once the paint that was just asked for has been done.
            QTimer::singleShot(0, widget, [this, widget] {
                m_painted = Now();
                m_action(widget);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    Filter m_which;
    Action m_action;
    bool m_painting = false;
};

// Runs the application with watcher acting on what it shows, gives it command as the menu does
// once the main window is up, and ends the run then; the application's exit code.
int RunCommand(BenchApp& app, int& argc, char** argv, int command, ShowWatcher& watcher) {
    qApp->installEventFilter(&watcher);
    QTimer::singleShot(0, [&app, command] {
        app.DispatchCommand(command);
        QApplication::quit();
    });
    return app.Run(argc, argv);
}

long PeakRssKb() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void PreparePlatform() {
    // No display is needed or wanted: the figures must not depend on a desktop's compositor.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
}

bool Fail(const char* why) {
    std::fprintf(stderr, "varnel-bench: %s\n", why);
    return false;
}

// Radio Info as its menu command runs it. The exchange counts from the first request to the
// dialog shown with its fields filled; the first paint of the dialog, the pixels on screen, is
// noted too. Then the dialog is closed and the peak memory of the process taken.
bool RunRadioInfo(int& argc, char** argv, const std::string& device) {
    PrivateSettings settings(device);
    if (!settings.IsValid()) {
        return Fail("no folder for the settings");
    }
    PreparePlatform();
    QApplication application(argc, argv);
    BenchApp app;

    QString esn;
    ShowWatcher watcher([](QObject* o) { return qobject_cast<CRadioInfoDlg*>(o) != nullptr; },
                        [&esn](QWidget* widget) {
                            auto* dialog = static_cast<CRadioInfoDlg*>(widget);
                            esn = dialog->GetDlgItemText(CRadioInfoDlg::IDC_ESN);
                            dialog->OnOK();
                        });
    const int rc = RunCommand(app, argc, argv, ID_RADIO_INFO, watcher);

    if (rc != 0 || g_firstRequests.size() != 1 || !watcher.m_painted.set) {
        return Fail("the Radio Info dialog did not come up after one exchange");
    }
    if (!app.Recorded().Ids().empty() || esn.isEmpty()) {
        return Fail("the radio's answers did not reach the fields");
    }
    const Mark& first = g_firstRequests[0];
    const Mark& shown = watcher.m_shown;
    // Besides the totals, where the time after the last byte (the end's acknowledge) went: the
    // wait up to the port closed, then the dialog shown, then painted.
    std::printf(
        "exchange=info wall_ms=%.3f cpu_ms=%.3f line_ms=%.3f painted_ms=%.3f"
        " last_byte_to_closed_ms=%.3f"
        " closed_to_shown_ms=%.3f shown_to_painted_ms=%.3f shown_to_painted_cpu_ms=%.3f"
        " maxrss_kb=%ld\n",
        Ms(shown.wallNs - first.wallNs), Ms(shown.cpuNs - first.cpuNs), Ms(g_lineNs),
        Ms(watcher.m_painted.wallNs - first.wallNs), Ms(g_portClosed.wallNs - g_lastByteNs),
        Ms(shown.wallNs - g_portClosed.wallNs), Ms(watcher.m_painted.wallNs - shown.wallNs),
        Ms(watcher.m_painted.cpuNs - shown.cpuNs), PeakRssKb());
    return true;
}

// Program ESN: the blank test runs while the dialog opens (first request to the dialog shown);
// then the fields are typed and "Program" pressed (first request of the write to the dialog
// closed after the success). The user's typing between the two is no part of the figures.
bool RunProgramEsn(int& argc, char** argv, const std::string& device) {
    PrivateSettings settings(device);
    if (!settings.IsValid()) {
        return Fail("no folder for the settings");
    }
    PreparePlatform();
    QApplication application(argc, argv);
    BenchApp app;

    Mark written;
    int result = -1;
    ShowWatcher watcher(
        [](QObject* o) { return qobject_cast<CProgramEsnDlg*>(o) != nullptr; },
        [&](QWidget* widget) {
            auto* dialog = static_cast<CProgramEsnDlg*>(widget);
            dialog->GetEdit(CProgramEsnDlg::IDC_ESN_FIELD1)->setText(QStringLiteral("130"));
            dialog->GetEdit(CProgramEsnDlg::IDC_ESN_FIELD2)->setText(QStringLiteral("5"));
            dialog->GetEdit(CProgramEsnDlg::IDC_ESN_FIELD3)->setText(QStringLiteral("123456"));
            dialog->GetButton(kIdOk)->click();
            written = Now();
            result = dialog->IsEnded() ? dialog->Result() : -1;
            if (!dialog->IsEnded()) {
                dialog->OnCancel();
            }
        });
    const int rc = RunCommand(app, argc, argv, ID_PROGRAM_ESN, watcher);

    const std::vector<int> expected{IDS_ESN_PROGRAMMED};
    if (rc != 0 || g_firstRequests.size() != 2 || !watcher.m_painted.set || result != kIdOk ||
        app.Recorded().Ids() != expected) {
        return Fail("the blank test and the write did not both succeed (is the radio blank?)");
    }
    const Mark& blankShown = watcher.m_shown;
    const std::int64_t blankNs = blankShown.wallNs - g_firstRequests[0].wallNs;
    const std::int64_t writeNs = written.wallNs - g_firstRequests[1].wallNs;
    const std::int64_t cpuNs =
        (blankShown.cpuNs - g_firstRequests[0].cpuNs) + (written.cpuNs - g_firstRequests[1].cpuNs);
    std::printf("exchange=esn wall_ms=%.3f cpu_ms=%.3f line_ms=%.3f blank_ms=%.3f write_ms=%.3f\n",
                Ms(blankNs + writeNs), Ms(cpuNs), Ms(g_lineNs), Ms(blankNs), Ms(writeNs));
    return true;
}

// The Production Line window: a pool of the private registry chosen, then one key pressed on a
// blank radio, from the first request of the blank test to the result shown: the blank test,
// the reservation, the write, the read-back and the settlement, as a station runs them.
bool RunStation(int& argc, char** argv, const std::string& device) {
    PrivateSettings settings(device);
    if (!settings.IsValid()) {
        return Fail("no folder for the settings");
    }
    PreparePlatform();
    QApplication application(argc, argv);
    BenchApp app;
    std::string why;
    IEsnRegistry* registry = app.Registry(why);
    if (registry == nullptr || registry->AddPool("bench", {130, 5, 123456}, {130, 5, 123465})) {
        return Fail("no ESN registry with a pool for the run");
    }

    Mark shown;
    QString result;
    ShowWatcher watcher(
        [](QObject* o) { return qobject_cast<CProductionLineDlg*>(o) != nullptr; },
        [&](QWidget* widget) {
            auto* dialog = static_cast<CProductionLineDlg*>(widget);
            dialog->GetComboBox(CProductionLineDlg::IDC_ESN_SOURCE)->setCurrentIndex(1);
            dialog->OnOK();
            shown = Now();
            result = dialog->GetDlgItemText(CProductionLineDlg::IDC_RESULT);
            dialog->OnCancel();
        });
    const int rc = RunCommand(app, argc, argv, ID_PRODUCTION_LINE, watcher);

    if (rc != 0 || g_firstRequests.size() != 3 || result != QStringLiteral("PASS")) {
        return Fail("the radio did not pass in three exchanges (is the radio blank?)");
    }
    const Mark& first = g_firstRequests[0];
    std::printf("exchange=station wall_ms=%.3f cpu_ms=%.3f line_ms=%.3f registry_ms=%.3f\n",
                Ms(shown.wallNs - first.wallNs), Ms(shown.cpuNs - first.cpuNs), Ms(g_lineNs),
                Ms(g_registryNs));
    return true;
}

// The child of the start-up run: main() as the product has it, until the main window has been
// shown and painted once. spawnNs is the parent's clock reading just before it started this
// process.
bool RunStartupChild(int& argc, char** argv, std::int64_t spawnNs) {
    QApplication application(argc, argv);
    // The program has one main window: the one start-up makes.
    ShowWatcher watcher([](QObject* o) { return qobject_cast<QMainWindow*>(o) != nullptr; },
                        [](QWidget*) { QApplication::quit(); });
    application.installEventFilter(&watcher);
    CVarnelApp theApp;
    const int rc = theApp.Run(argc, argv);
    if (rc != 0 || !watcher.m_painted.set) {
        return Fail("the main window was not shown");
    }
    std::printf("startup_ms=%.3f painted_ms=%.3f cpu_ms=%.3f maxrss_kb=%ld\n",
                Ms(watcher.m_shown.wallNs - spawnNs), Ms(watcher.m_painted.wallNs - spawnNs),
                Ms(watcher.m_shown.cpuNs), PeakRssKb());
    return true;
}

// Start-up is counted from before the process exists, so the loading of the libraries counts.
bool RunStartup() {
    PrivateSettings settings;
    if (!settings.IsValid()) {
        return Fail("no folder for the settings");
    }
    PreparePlatform();
    const std::string spawnNs = std::to_string(ReadNs(CLOCK_MONOTONIC));
    std::string self = "/proc/self/exe";
    std::string program = "varnel-bench";
    std::string mode = "startup-child";
    char* childArgv[] = {program.data(), mode.data(), const_cast<char*>(spawnNs.c_str()), nullptr};
    pid_t child = 0;
    if (::posix_spawn(&child, self.c_str(), nullptr, nullptr, childArgv, environ) != 0) {
        return Fail("could not start the start-up run");
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: varnel-bench info DEVICE | esn DEVICE | station DEVICE | startup\n"
                 "  info DEVICE   time one Radio Info exchange with the radio on DEVICE\n"
                 "  esn DEVICE    time the blank test and the ESN write (the radio must be blank)\n"
                 "  station DEVICE  time one radio of the Production Line window (a blank radio)\n"
                 "  startup       time a fresh start to the main window shown\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return Usage();
    }
    const std::string mode = argv[1];
    // Qt sees only the program name: the arguments are the benchmark's, not the application's.
    int qtArgc = 1;
    bool ok = false;
    if (mode == "info" && argc == 3) {
        ok = RunRadioInfo(qtArgc, argv, argv[2]);
    } else if (mode == "esn" && argc == 3) {
        ok = RunProgramEsn(qtArgc, argv, argv[2]);
    } else if (mode == "station" && argc == 3) {
        ok = RunStation(qtArgc, argv, argv[2]);
    } else if (mode == "startup" && argc == 2) {
        ok = RunStartup();
    } else if (mode == "startup-child" && argc == 3) {
        ok = RunStartupChild(qtArgc, argv, std::strtoll(argv[2], nullptr, 10));
    } else {
        return Usage();
    }
    std::fflush(stdout);
    return ok ? 0 : 1;
}
