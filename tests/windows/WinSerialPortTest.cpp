// The Windows serial port on real COM devices: under Wine, COM ports mapped to pseudo-terminals
// of the simulated radio. scripts/test-windows.sh starts the simulators and names the ports:
//   VARNEL_WIN_RADIO_PORT    a radio that answers (the blank profile)
//   VARNEL_WIN_SILENT_PORT   a radio that never answers; the line still echoes
//   VARNEL_WIN_HANGUP_PORT   a radio whose line goes away (an adapter pulled out) when the file
//   VARNEL_WIN_HANGUP_FILE   is created; the script removes the file once the line is gone
//   VARNEL_WIN_STALL_PORT    a line whose far end stops reading when the file
//   VARNEL_WIN_STALL_FILE    is created, and reads again when it is created once more; the
//                            script removes the file each time it has done so
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "link/PortNames.h"
#include "link/RadioLink.h"
#include "link/SerialPort.h"
#include "strings/StringTable.h"
#include "tests/support/ProcessStats.h"
#include "tests/support/RecordingReporter.h"
#include "tests/windows/WinSerialTest.h"

namespace varnel {
namespace {

using test::RecordingReporter;

std::string Env(const char* name) {
    char buffer[1024];
    const DWORD n = ::GetEnvironmentVariableA(name, buffer, sizeof buffer);
    return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

#define REQUIRE_PORT(variable, name)                                                   \
    const std::string variable = Env(name);                                            \
    if (variable.empty()) {                                                            \
        GTEST_SKIP() << name " is not set: scripts/test-windows.sh runs this program"; \
    }

double ProcessCpuMs() {
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](const FILETIME& t) {
        return ((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e4;
    };
    return ms(kernel) + ms(user);
}

// Wall-clock and processor time of one call. A wait that spins shows processor time close to
// its wall-clock time; one that sleeps shows next to none.
struct Cost {
    std::int64_t wallMs;
    double cpuMs;
};

template <typename F>
Cost Measure(F&& call) {
    const auto start = std::chrono::steady_clock::now();
    const double cpu0 = ProcessCpuMs();
    call();
    const auto wall = std::chrono::steady_clock::now() - start;
    return {std::chrono::duration_cast<std::chrono::milliseconds>(wall).count(),
            ProcessCpuMs() - cpu0};
}

// Processor time allowed for a wait of wallMs: a tenth, and never less than 100 ms, which leaves
// room for Wine's own work on each call.
double CpuAllowance(std::int64_t wallMs) {
    return std::max(100.0, wallMs / 10.0);
}

TEST(WinSerialPort, ReadsParametersFromTheSimulatedRadioAndEndsTheExchange) {
    REQUIRE_PORT(name, "VARNEL_WIN_RADIO_PORT");
    RecordingReporter reporter;
    CSerialPort port;
    ASSERT_TRUE(port.Open(name)) << "error " << port.LastError();
    CRadioLink link;
    link.m_pPort = &port;
    link.m_pReporter = &reporter;
    link.m_pClock = &SystemClock();

    char value[CRadioLink::kValueSize] = {};
    std::uint32_t length = 0;
    ASSERT_TRUE(link.ReadParameter(value, 0, length, false));
    EXPECT_EQ(std::string(value, length), "TRX-450K");
    ASSERT_TRUE(link.ReadParameter(value, 2, length, false));
    EXPECT_EQ(std::string(value, length), std::string(5, '\0'));
    // The UUID: bytes above 0x7F come through as they are.
    ASSERT_TRUE(link.ReadParameter(value, 15, length, false));
    ASSERT_EQ(length, 16u);
    EXPECT_EQ(static_cast<std::uint8_t>(value[8]), 0x9F);
    EXPECT_EQ(static_cast<std::uint8_t>(value[12]), 0xE3);
    EXPECT_TRUE(link.EndExchange());
    EXPECT_EQ(link.m_status, RadioStatus::Ok);
    EXPECT_TRUE(reporter.Messages().empty());
    link.m_pPort = nullptr;
}

// Closing costs next to nothing once the line has taken the bytes: the writes of the exchange
// are over by then, and none of them may be waited for. Each case is run on a port of its own,
// and the port is free for the next open at once.
TEST(WinSerialPort, ClosingAfterAnExchangeTakesMilliseconds) {
    REQUIRE_PORT(radio, "VARNEL_WIN_RADIO_PORT");
    REQUIRE_PORT(silent, "VARNEL_WIN_SILENT_PORT");
    struct Case {
        const char* what;
        const std::string& port;
        bool exchange;  // a whole exchange ended with the radio; otherwise a frame's writes only
    };
    const Case cases[] = {
        {"after Radio Info's reads and the end of the exchange", radio, true},
        {"right after a frame's one-byte writes, their echo unread", silent, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingReporter reporter;
        CSerialPort port;
        ASSERT_TRUE(port.Open(c.port)) << "error " << port.LastError();
        const Cost exchange = Measure([&] {
            if (c.exchange) {
                CRadioLink link;
                link.m_pPort = &port;
                link.m_pReporter = &reporter;
                link.m_pClock = &SystemClock();
                char value[CRadioLink::kValueSize] = {};
                std::uint32_t length = 0;
                for (int id : {0, 1, 3, 4}) {
                    EXPECT_TRUE(link.ReadParameter(value, id, length, false)) << "id " << id;
                }
                EXPECT_TRUE(link.EndExchange());
            } else {
                for (int i = 0; i < 261; ++i) {
                    EXPECT_EQ(port.WriteByte(i & 0xFF), i & 0xFF);
                }
            }
        });
        const Cost close = Measure([&] { port.Close(); });
        std::printf("[ figure   ] close %s: %lld ms (exchange %lld ms), processor %.1f ms\n",
                    c.what, static_cast<long long>(close.wallMs),
                    static_cast<long long>(exchange.wallMs), close.cpuMs);
        EXPECT_FALSE(port.IsOpen());
        EXPECT_LT(close.wallMs, 200);
        EXPECT_LT(close.cpuMs, CpuAllowance(close.wallMs));
        EXPECT_TRUE(reporter.Messages().empty());
        CSerialPort again;
        EXPECT_TRUE(again.Open(c.port)) << "error " << again.LastError();
    }
}

TEST(WinSerialPort, WritesSendTheCallersBytesAsTheyWereAtTheCall) {
    REQUIRE_PORT(name, "VARNEL_WIN_SILENT_PORT");  // the line echoes; the radio says nothing
    CSerialPort port;
    ASSERT_TRUE(port.Open(name)) << "error " << port.LastError();
    // Within what the pseudo-terminal holds until read: past that the simulated line loses its
    // echo, as a real one would. Writes to it then complete at once under Wine; at 9600 bit/s
    // on a real port they are still under way when the next one starts.
    std::vector<std::uint8_t> expected;
    std::vector<std::uint8_t> block(1000);
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<std::uint8_t>(i * 7);
    }
    ASSERT_EQ(port.Write(block.data(), static_cast<std::uint32_t>(block.size())), block.size());
    expected = block;
    block.assign(block.size(), 0xEE);  // the write may still be under way: it must not see this
    // More one-byte writes than a frame holds, each from a byte that changes at once.
    for (int i = 0; i < 600; ++i) {
        const int byte = (i * 13 + 5) & 0xFF;
        ASSERT_EQ(port.WriteByte(byte), byte);
        expected.push_back(static_cast<std::uint8_t>(byte));
    }
    std::vector<std::uint8_t> echo(expected.size());
    std::uint32_t got = 0;
    while (got < echo.size()) {
        const std::uint32_t n =
            port.Read(echo.data() + got, static_cast<std::uint32_t>(echo.size()) - got);
        if (n == 0) {
            break;
        }
        got += n;
    }
    ASSERT_EQ(got, expected.size());
    EXPECT_EQ(echo, expected);
}

TEST(WinSerialPort, SilentLineGivesNothingAfterASecondWithoutSpinning) {
    REQUIRE_PORT(name, "VARNEL_WIN_SILENT_PORT");
    RecordingReporter reporter;
    CSerialPort port;
    ASSERT_TRUE(port.Open(name)) << "error " << port.LastError();

    int byte = 0;
    Cost cost = Measure([&] { byte = port.ReadByte(); });
    EXPECT_EQ(byte, -1);
    EXPECT_GE(cost.wallMs, 950);
    EXPECT_LT(cost.wallMs, 1600);
    EXPECT_LT(cost.cpuMs, CpuAllowance(cost.wallMs));

    // The request goes out and its echo comes back; the acknowledge never does.
    CRadioLink link;
    link.m_pPort = &port;
    link.m_pReporter = &reporter;
    link.m_pClock = &SystemClock();
    char value[CRadioLink::kValueSize] = {};
    std::uint32_t length = 0;
    bool ok = true;
    cost = Measure([&] { ok = link.ReadParameter(value, 0, length, false); });
    EXPECT_FALSE(ok);
    EXPECT_EQ(link.m_status, RadioStatus::NoResponse);
    EXPECT_EQ(reporter.Ids(), std::vector<int>{IDS_NO_RESPONSE});
    EXPECT_GE(cost.wallMs, 1000);
    EXPECT_LT(cost.cpuMs, CpuAllowance(cost.wallMs));
    link.m_pPort = nullptr;
}

// Asks the script for what requestFile stands for, and waits until it is done.
bool AskScript(const std::string& requestFile) {
    HANDLE f = ::CreateFileA(requestFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::CloseHandle(f);
    for (int i = 0; i < 200; ++i) {
        if (::GetFileAttributesA(requestFile.c_str()) == INVALID_FILE_ATTRIBUTES) {
            return true;
        }
        ::Sleep(50);
    }
    return false;
}

TEST(WinSerialPort, PulledAdapterReadsAsSilenceWithoutSpinning) {
    REQUIRE_PORT(name, "VARNEL_WIN_HANGUP_PORT");
    REQUIRE_PORT(requestFile, "VARNEL_WIN_HANGUP_FILE");
    RecordingReporter reporter;
    CSerialPort port;
    ASSERT_TRUE(port.Open(name)) << "error " << port.LastError();
    CRadioLink link;
    link.m_pPort = &port;
    link.m_pReporter = &reporter;
    link.m_pClock = &SystemClock();
    char value[CRadioLink::kValueSize] = {};
    std::uint32_t length = 0;
    ASSERT_TRUE(link.ReadParameter(value, 0, length, false));  // the line works until pulled

    // As an adapter pulled out would.
    ASSERT_TRUE(AskScript(requestFile)) << "the line was not taken away";
    // Each read fails at once underneath; each must still last as long as a silent one.
    for (int i = 0; i < 2; ++i) {
        int byte = 0;
        const Cost cost = Measure([&] { byte = port.ReadByte(); });
        EXPECT_EQ(byte, -1);
        EXPECT_GE(cost.wallMs, 950);
        EXPECT_LT(cost.wallMs, 2500);
        EXPECT_LT(cost.cpuMs, CpuAllowance(cost.wallMs));
    }
    // A receive reads again until its deadline: three reads, not thousands.
    std::uint8_t opcode = 0;
    std::uint32_t received = 0;
    RadioStatus status = RadioStatus::Ok;
    const Cost cost = Measure([&] { status = link.ReceiveFrame(opcode, nullptr, received, 2500); });
    EXPECT_EQ(status, RadioStatus::NoResponse);
    EXPECT_GE(cost.wallMs, 2500);
    EXPECT_LT(cost.wallMs, 5000);
    EXPECT_LT(cost.cpuMs, CpuAllowance(cost.wallMs));
    // The link's own words, and under them why: the failed read's error is kept.
    ASSERT_FALSE(reporter.Messages().empty());
    const auto& shown = reporter.Messages().back();
    EXPECT_EQ(shown.id, IDS_NO_RESPONSE);
    EXPECT_EQ(shown.detail.rfind("Device: " + std::string(name) + "\n", 0), 0u) << shown.detail;
    EXPECT_NE(shown.detail.find("\nReason: The device went away"), std::string::npos)
        << shown.detail;
    EXPECT_NE(shown.detail.find("(error "), std::string::npos) << shown.detail;
    link.m_pPort = nullptr;
    port.Close();
    EXPECT_FALSE(port.IsOpen());
    port.Close();  // harmless
}

// Writes that the line cannot take stay under way; closing ends them all within its one bound
// (a second for them to end once aborted, then the cancel), however many there are, and the port
// is free again at once.
TEST(WinSerialPort, ClosingWithWritesStuckOnAStalledLineEndsWithinItsBound) {
    REQUIRE_PORT(name, "VARNEL_WIN_STALL_PORT");
    REQUIRE_PORT(requestFile, "VARNEL_WIN_STALL_FILE");
    CSerialPort port;
    ASSERT_TRUE(port.Open(name)) << "error " << port.LastError();
    ASSERT_TRUE(AskScript(requestFile)) << "the line was not stalled";
    // Well past what a pseudo-terminal holds (64 KiB): the last writes cannot go anywhere.
    const std::vector<std::uint8_t> block(4096, 0x5A);
    for (int i = 0; i < 24; ++i) {
        ASSERT_EQ(port.Write(block.data(), static_cast<std::uint32_t>(block.size())), block.size());
    }
    const Cost close = Measure([&] { port.Close(); });
    std::printf(
        "[ figure   ] close with writes stuck on a stalled line: %lld ms, processor %.1f ms\n",
        static_cast<long long>(close.wallMs), close.cpuMs);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_LT(close.wallMs, 2500);
    EXPECT_LT(close.cpuMs, CpuAllowance(close.wallMs));
    EXPECT_TRUE(CSerialPort().Open(name));
    ASSERT_TRUE(AskScript(requestFile)) << "the line was not let go";
}

TEST(WinSerialPort, MissingPortFailsOpenAndStaysClosed) {
    for (const char* name : {"COM199", "\\\\.\\COM198", "\\\\.\\NoSuchVarnelDevice"}) {
        SCOPED_TRACE(name);
        CSerialPort port;
        EXPECT_FALSE(port.Open(name));
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(port.LastError(), ERROR_FILE_NOT_FOUND);
        port.Close();  // does nothing
        EXPECT_EQ(ProbePort(name), PortPresence::Missing);
    }
}

// Runs this program again as "--hold PORT" and waits until it holds the port.
class PortHolder {
public:
    explicit PortHolder(const std::string& portName) {
        m_ready = ::CreateEventA(nullptr, TRUE, FALSE, test::kHolderReadyEvent);
        m_release = ::CreateEventA(nullptr, TRUE, FALSE, test::kHolderReleaseEvent);
        char exe[MAX_PATH] = {};
        ::GetModuleFileNameA(nullptr, exe, MAX_PATH);
        // Built by appending: GCC 12 warns falsely (-Wrestrict) on a chain of + here.
        std::string commandLine = "\"";
        commandLine.append(exe).append("\" --hold ").append(portName);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        if (!::CreateProcessA(exe, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &m_process)) {
            return;
        }
        ::CloseHandle(m_process.hThread);
        HANDLE either[] = {m_ready, m_process.hProcess};
        m_holding = ::WaitForMultipleObjects(2, either, FALSE, 20000) == WAIT_OBJECT_0;
    }
    ~PortHolder() { Release(); }

    bool Holding() const { return m_holding; }

    // Lets go of the port; the holder's exit code, or -1 if it did not end in time.
    long Release() {
        if (m_process.hProcess == nullptr) {
            return -1;
        }
        ::SetEvent(m_release);
        DWORD code = STILL_ACTIVE;
        if (::WaitForSingleObject(m_process.hProcess, 20000) != WAIT_OBJECT_0) {
            ::TerminateProcess(m_process.hProcess, 9);
        }
        ::GetExitCodeProcess(m_process.hProcess, &code);
        ::CloseHandle(m_process.hProcess);
        m_process.hProcess = nullptr;
        ::CloseHandle(m_ready);
        ::CloseHandle(m_release);
        return code == STILL_ACTIVE ? -1 : static_cast<long>(code);
    }

private:
    HANDLE m_ready = nullptr;
    HANDLE m_release = nullptr;
    PROCESS_INFORMATION m_process{};
    bool m_holding = false;
};

TEST(WinSerialPort, PortHeldByAnotherProcessFailsOpenUntilReleased) {
    REQUIRE_PORT(name, "VARNEL_WIN_SILENT_PORT");
    PortHolder holder(name);
    ASSERT_TRUE(holder.Holding());
    CSerialPort port;
    EXPECT_FALSE(port.Open(name));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.LastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ProbePort(name), PortPresence::Unavailable);
    // The same device by its full name, as the tools open it, is held just the same.
    const std::string fullName = "\\\\.\\" + name;
    EXPECT_FALSE(CSerialPort().Open(fullName));
    EXPECT_EQ(ProbePort(fullName), PortPresence::Unavailable);

    EXPECT_EQ(holder.Release(), 0);
    EXPECT_EQ(ProbePort(name), PortPresence::Present);
    EXPECT_TRUE(port.Open(name)) << "error " << port.LastError();
}

TEST(WinSerialPort, OpeningAnOpenPortClosesItFirst) {
    REQUIRE_PORT(name, "VARNEL_WIN_RADIO_PORT");
    RecordingReporter reporter;
    const int handles = test::OpenDescriptors();
    CSerialPort port;

    ASSERT_TRUE(port.Open(name));
    // With the first handle lost, the device would still be held and this open refused.
    ASSERT_TRUE(port.Open(name)) << "error " << port.LastError();
    CSerialPort other;
    EXPECT_FALSE(other.Open(name));  // one holder at a time, within a process too

    CRadioLink link;
    link.m_pPort = &port;
    link.m_pReporter = &reporter;
    link.m_pClock = &SystemClock();
    char value[CRadioLink::kValueSize] = {};
    std::uint32_t length = 0;
    EXPECT_TRUE(link.ReadParameter(value, 1, length, false));
    EXPECT_EQ(std::string(value, length), "7A4C001932");
    link.m_pPort = nullptr;

    port.Close();
    EXPECT_EQ(test::OpenDescriptors(), handles);  // a closed port holds no handle at all
    EXPECT_TRUE(other.Open(name));
}

}  // namespace
}  // namespace varnel
