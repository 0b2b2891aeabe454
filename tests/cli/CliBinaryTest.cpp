// The real varnel-cli binary against the simulated radio on a pseudo-terminal, in real time: the
// few runs that only a separate process shows (exit statuses, signals, two stations sharing one
// record file). Each run gets an empty settings folder of its own.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "link/SerialPort.h"
#include "tests/support/SettingsFileCases.h"
#include "tests/support/ShippedRadio.h"
#include "tools/radio-sim/RadioProfile.h"
#include "tools/radio-sim/RadioSimulator.h"

extern char** environ;

namespace varnel {
namespace {

using Clock = std::chrono::steady_clock;
using sim::Bytes;

struct ToolResult {
    int status = -1;  // the exit status, or -1 when it did not exit normally
    std::string out;
    std::string err;
};

// One run of the tool, started at once and collected by Finish().
class ToolProcess {
public:
    ToolProcess(const std::vector<std::string>& args, const std::string& configHome) {
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e) {
            if (std::strncmp(*e, "XDG_CONFIG_HOME=", 16) != 0 &&
                std::strncmp(*e, "XDG_DATA_HOME=", 14) != 0) {
                env.emplace_back(*e);
            }
        }
        // The settings and the ESN registry of the test's own folder, never the user's.
        env.push_back("XDG_CONFIG_HOME=" + configHome);
        env.push_back("XDG_DATA_HOME=" + configHome);
        std::vector<std::string> argv{VARNEL_CLI_EXECUTABLE};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> argp;
        for (auto& a : argv) {
            argp.push_back(a.data());
        }
        argp.push_back(nullptr);
        std::vector<char*> envp;
        for (auto& e : env) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);

        int out[2];
        int err[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
            ADD_FAILURE() << "pipe";
            return;
        }
        m_pid = fork();
        if (m_pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            dup2(err[1], STDERR_FILENO);
            execve(argp[0], argp.data(), envp.data());
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        m_out = out[0];
        m_err = err[0];
    }
    ~ToolProcess() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            Finish();
        }
    }

    void Signal(int signal) { kill(m_pid, signal); }

    // Reads both outputs to their end and waits for the exit.
    ToolResult Finish() {
        ToolResult result;
        pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
        std::string* texts[2] = {&result.out, &result.err};
        int open = 2;
        const Clock::time_point start = Clock::now();
        while (open > 0 && test::MsSince(start) < 30000) {
            if (poll(fds, 2, 1000) <= 0) {
                continue;
            }
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd < 0 || fds[i].revents == 0) {
                    continue;
                }
                char buffer[4096];
                const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
                if (n > 0) {
                    texts[i]->append(buffer, static_cast<std::size_t>(n));
                } else {
                    close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                }
            }
        }
        if (open > 0) {
            kill(m_pid, SIGKILL);
            ADD_FAILURE() << "the tool did not finish within 30 s";
        }
        for (auto& fd : fds) {
            if (fd.fd >= 0) {
                close(fd.fd);
            }
        }
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return result;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
};

std::vector<int> Opcodes(const sim::RadioSimulator& radio) {
    std::vector<int> opcodes;
    for (const auto& request : radio.Requests()) {
        opcodes.push_back(request.opcode);
    }
    return opcodes;
}

class CliBinary : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/varnel-cli-bin-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        m_dir = dir;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::string SettingsPath() const { return m_dir + "/Tessaran/Varnel.conf"; }

    ToolResult Run(const std::vector<std::string>& args) {
        return ToolProcess(args, m_dir).Finish();
    }
    std::string RecordPath() const { return m_dir + "/record.jsonl"; }

    // A simulated radio of a shipped profile, serving already.
    std::unique_ptr<sim::RadioSimulator> Radio(const char* profile) {
        m_profiles.push_back(std::make_unique<sim::RadioProfile>(test::ShippedProfile(profile)));
        auto radio = std::make_unique<sim::RadioSimulator>(*m_profiles.back());
        std::string error;
        EXPECT_TRUE(radio->Start(&error)) << error;
        return radio;
    }

    std::string m_dir;
    std::vector<std::unique_ptr<sim::RadioProfile>> m_profiles;
};

TEST_F(CliBinary, InfoOnAProgrammedRadioAndOnAnOlderOne) {
    auto programmed = Radio("programmed.profile");
    const ToolResult full = Run({"--port", programmed->SlavePath(), "info"});
    EXPECT_EQ(full.status, 0) << full.err;
    EXPECT_EQ(full.out,
              "Model Number: ID = $45 $12\nSerial Number: 7A4C017755\nSoftware Version: "
              "R04.02.01\nCodeplug Version: CP05.01\nLast Programmed: 2025-01-09 14:32\nCodeplug "
              "Part No: TCP-4410C\nFirmware Part No: TFW-2401A\nESN: 130/05/123456\nRegional "
              "Identifier: North America\nUUID: 00010203-0405-0607-0809-0A0B0C0D0E0F\nRadio IC "
              "Versions: $03 $12 $05 $0A \n");
    EXPECT_EQ(full.err, "");
    EXPECT_EQ(Opcodes(*programmed),
              (std::vector<int>{35, 35, 35, 35, 35, 35, 35, 35, 35, 35, 35, 16}));

    auto legacy = Radio("legacy.profile");
    const ToolResult older = Run({"info", "--port", legacy->SlavePath()});
    EXPECT_EQ(older.status, 0) << older.err;
    EXPECT_EQ(older.out,
              "Model Number: TRX-300\nSerial Number: 3C11000478\nSoftware Version: n/a\nCodeplug "
              "Version: CP01.07\nLast Programmed: n/a\nCodeplug Part No: TCP-2210B\nFirmware "
              "Part No: TFW-0915C\nESN: 000/00/000000\nRegional Identifier: n/a\nUUID: n/a\nRadio "
              "IC Versions: n/a\n");
    EXPECT_EQ(older.err, "error: Operation not supported by this radio.\n");
}

TEST_F(CliBinary, ProgramEsnWithVerifyOnABlankRadio) {
    auto radio = Radio("blank.profile");
    const ToolResult run =
        Run({"--port", radio->SlavePath(), "program-esn", "130/5/123456", "--verify"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "130/05/123456\n");
    EXPECT_EQ(run.err, "info: ESN successfully programmed.\n");
    EXPECT_EQ(radio->Value(2), (Bytes{0x82, 0x51, 0xE2, 0x40, 0x4C}));
    EXPECT_EQ(Opcodes(*radio), (std::vector<int>{35, 16, 24, 16, 35, 16}));
}

TEST_F(CliBinary, AProgrammedRadioIsRefusedWithStatusOne) {
    auto radio = Radio("programmed.profile");
    const ToolResult run = Run({"--port", radio->SlavePath(), "program-esn", "1/2/3"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "error: An ESN has already been programmed to the connected radio.\n");
    EXPECT_EQ(Opcodes(*radio), (std::vector<int>{35, 16}));
}

TEST_F(CliBinary, AnEsnAlreadyInTheRegistryIsRefusedWithoutAWriteFrame) {
    auto first = Radio("blank.profile");
    const ToolResult done =
        Run({"--record", RecordPath(), "--port", first->SlavePath(), "program-esn", "200/9/65535"});
    EXPECT_EQ(done.status, 0) << done.err;

    auto second = Radio("blank.profile");
    const ToolResult refused = Run({"--record", RecordPath(), "--port", second->SlavePath(),
                                    "program-esn", "200/09/065535", "--json"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("error: The ESN 200/09/065535 is already in the ESN registry: "
                               "confirmed since "),
              std::string::npos)
        << refused.err;
    EXPECT_NE(refused.out.find("\"outcome\":\"refused\""), std::string::npos) << refused.out;
    EXPECT_EQ(Opcodes(*second), (std::vector<int>{35, 16}));  // the blank test, no write
    EXPECT_EQ(second->Value(2), (Bytes{0, 0, 0, 0, 0}));
    // In the embedded default, in the user's data folder.
    EXPECT_TRUE(std::filesystem::exists(m_dir + "/Tessaran/Varnel/esn-registry.sqlite"));
}

// SIGHUP (a closed terminal) while the write's reply is pending: stopped as by SIGTERM, and the
// ESN stays taken as unconfirmed.
TEST_F(CliBinary, AHangUpMidWriteLeavesTheEsnUnconfirmed) {
    auto radio = Radio("blank.profile");
    ASSERT_TRUE(radio->AddFault("silence@3"));
    ToolProcess tool({"--port", radio->SlavePath(), "program-esn", "130/5/7"}, m_dir);
    ASSERT_TRUE(radio->WaitForRequests(3, std::chrono::milliseconds(5000)));
    tool.Signal(SIGHUP);
    const ToolResult run = tool.Finish();
    EXPECT_EQ(run.status, 128 + SIGHUP) << run.err;
    EXPECT_NE(run.err.find("error: Stopped by SIGHUP.\n"), std::string::npos) << run.err;
    const ToolResult show = Run({"registry", "show", "130/5/7"});
    EXPECT_EQ(show.out.rfind("130/05/000007\tunconfirmed\t", 0), 0u) << show.out << show.err;
}

// Two stations share one record file and are handed the same ESN at the same moment.
TEST_F(CliBinary, OfTwoStationsRacingForOneEsnExactlyOneProgramsIt) {
    auto a = Radio("blank.profile");
    auto b = Radio("blank.profile");
    ToolProcess first(
        {"--record", RecordPath(), "--port", a->SlavePath(), "program-esn", "12/3/4567"}, m_dir);
    ToolProcess second(
        {"--record", RecordPath(), "--port", b->SlavePath(), "program-esn", "12/3/4567"}, m_dir);
    const ToolResult one = first.Finish();
    const ToolResult two = second.Finish();
    EXPECT_EQ(std::min(one.status, two.status), 0) << one.err << two.err;
    EXPECT_EQ(std::max(one.status, two.status), 1) << one.err << two.err;
    auto written = [](const sim::RadioSimulator& radio) {
        return radio.Value(2) != Bytes{0, 0, 0, 0, 0};
    };
    EXPECT_NE(written(*a), written(*b));
    std::ifstream file(RecordPath());
    int lines = 0;
    for (std::string line; std::getline(file, line);) {
        ++lines;
    }
    EXPECT_EQ(lines, 2);
}

TEST_F(CliBinary, ASilentLineEndsWithStatusTwoWithinTheProtocolsDeadlines) {
    auto radio = Radio("blank.profile");
    ASSERT_TRUE(radio->AddFault("silence@1"));
    const Clock::time_point start = Clock::now();
    const ToolResult run = Run({"--port", radio->SlavePath(), "region"});
    const long elapsed = test::MsSince(start);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "error: No response from radio.\n");
    // The echo comes; the acknowledge is awaited 1000 ms, so the first empty read past that
    // ends the wait after two one-second reads, then the settle wait. No EndExchange.
    EXPECT_GE(elapsed, 1000);
    EXPECT_LT(elapsed, 3000);
    EXPECT_EQ(Opcodes(*radio), std::vector<int>{35});
}

TEST_F(CliBinary, AMissingPortEndsWithStatusThree) {
    const ToolResult run = Run({"--port", "/dev/varnel-no-such-port", "info", "--json"});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.err.rfind("error: The serial port /dev/varnel-no-such-port could not be "
                            "opened. It may be in use by another program.\n",
                            0),
              0u)
        << run.err;
    EXPECT_NE(run.out.find("\"outcome\":\"port-not-opened\""), std::string::npos);
}

// The app's settings file, as the app itself reads it (the same cases run through the app).
TEST_F(CliBinary, TakesThePortAndDeviceFromTheSettingsAsTheAppDoes) {
    for (const test::SettingsFileCase& c : test::kSettingsFileCases) {
        SCOPED_TRACE(c.name);
        std::remove(SettingsPath().c_str());
        if (c.contents) {
            mkdir((m_dir + "/Tessaran").c_str(), 0700);
            std::ofstream(SettingsPath(), std::ios::binary) << c.contents;
        }
        const ToolResult run = Run({"ports", "--json"});
        EXPECT_EQ(run.status, 0) << run.err;
        const std::string chosen = std::string("{\"command\":\"ports\",\"port\":\"") + c.port +
                                   "\",\"device\":\"" + c.device + "\"";
        EXPECT_EQ(run.out.rfind(chosen, 0), 0u) << run.out;
    }
    // A damaged file is named on standard error with the reason, and left as it was.
    const char damaged[] = "[Options]\nSerialPort=2\nNote=\"open\n[Ports]\nCOM1=/dev/ttyUSB7\n";
    std::ofstream(SettingsPath(), std::ios::binary) << damaged;
    const ToolResult run = Run({"ports"});
    EXPECT_NE(run.err.find(SettingsPath() + " cannot be read as it stands: line 3 opens a quote"),
              std::string::npos)
        << run.err;
    std::ifstream file(SettingsPath(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), damaged);
}

// The tool needs no GUI library: nothing of Qt is loaded with it.
TEST(CliBinaryLinks, NoQtLibrary) {
    FILE* ldd = popen("ldd " VARNEL_CLI_EXECUTABLE, "r");
    ASSERT_NE(ldd, nullptr);
    std::string libraries;
    char line[512];
    while (fgets(line, sizeof line, ldd) != nullptr) {
        libraries += line;
    }
    ASSERT_EQ(pclose(ldd), 0) << libraries;
    EXPECT_NE(libraries.find("libc.so"), std::string::npos) << libraries;
    EXPECT_EQ(libraries.find("libQt"), std::string::npos) << libraries;
}

class CliBinarySignal : public CliBinary, public ::testing::WithParamInterface<int> {};

// The radio stops answering at the third read; the signal comes while the tool waits for it.
TEST_P(CliBinarySignal, StopsTheExchangeAtOnceAndLeavesThePortFree) {
    const int signal = GetParam();
    auto radio = Radio("blank.profile");
    ASSERT_TRUE(radio->AddFault("silence@3"));
    ToolProcess tool({"--port", radio->SlavePath(), "info", "--record", RecordPath()}, m_dir);
    ASSERT_TRUE(radio->WaitForRequests(3, std::chrono::milliseconds(5000)));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const Clock::time_point sent = Clock::now();
    tool.Signal(signal);
    const ToolResult run = tool.Finish();
    const long stopMs = test::MsSince(sent);
    std::printf("stopped %ld ms after the signal\n", stopMs);
    EXPECT_EQ(run.status, 128 + signal) << run.err;
    EXPECT_LT(stopMs, 250);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(std::string("error: Stopped by ") +
                           (signal == SIGTERM   ? "SIGTERM"
                            : signal == SIGHUP  ? "SIGHUP"
                            : signal == SIGQUIT ? "SIGQUIT"
                                                : "SIGINT") +
                           ".\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(Opcodes(*radio), (std::vector<int>{35, 35, 35}));  // no EndExchange
    std::ifstream file(RecordPath());
    std::string line;
    ASSERT_TRUE(std::getline(file, line));
    EXPECT_NE(line.find("\"outcome\":\"cancelled\""), std::string::npos) << line;

    CSerialPort port;  // closed and unlocked: free for the next run
    EXPECT_TRUE(port.Open(radio->SlavePath())) << "errno " << port.LastError();
}

INSTANTIATE_TEST_SUITE_P(Signals, CliBinarySignal,
                         ::testing::Values(SIGTERM, SIGINT, SIGHUP, SIGQUIT),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return "Signal" + std::to_string(info.param);
                         });

}  // namespace
}  // namespace varnel
