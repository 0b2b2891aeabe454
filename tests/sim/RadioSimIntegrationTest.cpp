// The tool's serial port and link against the simulated radio on a real pseudo-terminal, in real
// time: the few paths that a scripted port cannot prove, the kernel's line between them included.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "link/RadioLink.h"
#include "link/SerialPort.h"
#include "strings/StringTable.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/ShippedRadio.h"
#include "tools/radio-sim/FrameCodec.h"
#include "tools/radio-sim/RadioModel.h"
#include "tools/radio-sim/RadioProfile.h"
#include "tools/radio-sim/RadioSimulator.h"

namespace varnel {
namespace {

using sim::Bytes;
using Clock = std::chrono::steady_clock;

// A simulated blank radio, the real port opened on its line and attached to a link of its own,
// whose messages are recorded.
class RadioSimIntegration : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_sim.Start(&error)) << error;
        ASSERT_TRUE(m_port.Open(m_sim.SlavePath())) << "errno " << m_port.LastError();
        m_link.m_pPort = &m_port;
        m_link.m_pReporter = &m_reporter;
        m_link.m_pClock = &SystemClock();
    }
    void TearDown() override {
        m_link.m_pPort = nullptr;
        m_port.Close();
        m_sim.Stop();
    }

    Bytes Read(std::uint8_t id) {
        char value[CRadioLink::kValueSize] = {};
        std::uint32_t length = 0;
        if (!m_link.ReadParameter(value, id, length, false)) {
            ADD_FAILURE() << "read of " << static_cast<int>(id) << " failed, status "
                          << static_cast<int>(m_link.m_status);
            return {};
        }
        EXPECT_EQ(value[length], '\0');
        return Bytes(value, value + length);
    }

    sim::RadioProfile m_profile = test::ShippedProfile("blank.profile");
    sim::RadioSimulator m_sim{m_profile};
    test::RecordingReporter m_reporter;
    CSerialPort m_port;
    CRadioLink m_link;
};

TEST_F(RadioSimIntegration, EveryParameterOfTheBlankRadioReadsBackWithItsExactRequest) {
    ASSERT_EQ(m_profile.values.size(), 11u);
    std::vector<Bytes> expectedRequests;
    for (const auto& [id, value] : m_profile.values) {
        EXPECT_EQ(Read(id), value) << "id " << static_cast<int>(id);
        expectedRequests.push_back(sim::EncodeFrame(35, {id}));
    }
    std::vector<Bytes> requests;
    for (const sim::RequestRecord& record : m_sim.Requests()) {
        requests.push_back(record.frame);
    }
    EXPECT_EQ(requests, expectedRequests);
    EXPECT_EQ(requests.front(), (Bytes{0xF2, 0x23, 0x00, 0xEA}));
    EXPECT_TRUE(m_reporter.Messages().empty());
    EXPECT_EQ(m_link.m_status, RadioStatus::Ok);
}

// The ESN and the serial number below carry 0D, 11, 13, 7F and FF: carriage return, XON, XOFF,
// DEL and a parity mark to a line that is not raw. They must cross both ways untouched.
TEST_F(RadioSimIntegration, AnEsnWriteReadsBackAsWrittenAndNoByteIsAltered) {
    const Bytes esn{0x7F, 0x13, 0x11, 0x0D,
                    sim::EsnCheckByte(0x7F, 0x1, (0x3u << 16) | (0x11u << 8) | 0x0D)};
    const Bytes payload{1, esn[0], esn[1], esn[2], esn[3], esn[4]};
    ASSERT_TRUE(m_link.WriteParameter(payload.data(), static_cast<std::uint32_t>(payload.size())));
    EXPECT_EQ(m_sim.Value(2), esn);
    EXPECT_EQ(Read(2), esn);

    const Bytes special{0x0D, 0x11, 0x13, 0x7F, 0xFF, 0x0A};
    m_sim.SetValue(1, special);
    EXPECT_EQ(Read(1), special);

    const std::vector<sim::RequestRecord> requests = m_sim.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].frame, sim::EncodeFrame(24, payload));
    EXPECT_TRUE(requests[0].checksumOk);
    EXPECT_TRUE(m_reporter.Messages().empty());
}

TEST_F(RadioSimIntegration, EndOfExchangeTakesAboutOneSecond) {
    const Clock::time_point start = Clock::now();
    EXPECT_TRUE(m_link.EndExchange());
    const long elapsed = test::MsSince(start);
    EXPECT_GE(elapsed, 1001);
    EXPECT_LT(elapsed, 3000);  // one second of waiting, not a timeout on top of it
    EXPECT_EQ(m_sim.Requests().at(0).frame, (Bytes{0xF1, 0x10, 0xFE}));
}

// Pulling the adapter out: the line goes away under an open port. The link must end with its
// usual message rather than hang or report success.
TEST_F(RadioSimIntegration, ALineThatGoesAwayEndsInNoResponse) {
    m_sim.Stop();
    char value[CRadioLink::kValueSize] = {};
    std::uint32_t length = 7;
    EXPECT_FALSE(m_link.ReadParameter(value, 2, length, false));
    EXPECT_EQ(m_link.m_status, RadioStatus::NoResponse);
    EXPECT_EQ(m_reporter.Ids(), (std::vector<int>{IDS_NO_RESPONSE}));
    EXPECT_EQ(length, 0u);
}

struct FaultCase {
    const char* name;
    const char* fault;
    RadioStatus status;
    int message;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.fault;
}

class RadioSimFault : public RadioSimIntegration,
                      public ::testing::WithParamInterface<FaultCase> {};

TEST_P(RadioSimFault, GivesTheLinksStatusAndMessage) {
    std::string error;
    ASSERT_TRUE(m_sim.AddFault(GetParam().fault, &error)) << error;
    char value[CRadioLink::kValueSize] = {};
    std::uint32_t length = 0;
    EXPECT_FALSE(m_link.ReadParameter(value, 2, length, false));
    EXPECT_EQ(m_link.m_status, GetParam().status);
    EXPECT_EQ(m_reporter.Ids(), (std::vector<int>{GetParam().message}));
    EXPECT_EQ(m_sim.Requests().size(), 1u);
}

// One fault of each family: the radio refuses, the radio is gone, the line garbles.
INSTANTIATE_TEST_SUITE_P(
    Families, RadioSimFault,
    ::testing::Values(FaultCase{"Nak", "nak@read=2", RadioStatus::Ok, IDS_NAK_RECEIVED},
                      FaultCase{"Silence", "silence@1", RadioStatus::NoResponse, IDS_NO_RESPONSE},
                      FaultCase{"BadChecksum", "bad-checksum@read=2", RadioStatus::ChecksumError,
                                IDS_CHECKSUM_ERROR}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

// The executable as scripts use it: the first line is the device, --link names it, and SIGTERM
// ends the run and takes the link away.
TEST(RadioSimExecutable, PrintsTheDeviceFirstKeepsTheLinkWhileRunningAndRemovesItAtTheEnd) {
    char dir[] = "/tmp/varnel-sim-link-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string link = std::string(dir) + "/COM1";
    const std::string profile = std::string(VARNEL_RADIOSIM_PROFILE_DIR) + "/programmed.profile";

    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execl(VARNEL_RADIOSIM_EXECUTABLE, VARNEL_RADIOSIM_EXECUTABLE, "--profile", profile.c_str(),
              "--link", link.c_str(), "--trace", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    FILE* stream = fdopen(out[0], "r");
    ASSERT_NE(stream, nullptr);
    char first[256] = {};
    const bool gotLine = std::fgets(first, sizeof first, stream) != nullptr;
    std::string device = first;
    if (!device.empty() && device.back() == '\n') {
        device.pop_back();
    }

    char target[256] = {};
    const ssize_t targetLength = readlink(link.c_str(), target, sizeof target - 1);
    {
        test::RecordingReporter reporter;
        CSerialPort port;
        CRadioLink radioLink;
        char value[CRadioLink::kValueSize] = {};
        std::uint32_t length = 0;
        EXPECT_TRUE(port.Open(link));
        radioLink.m_pPort = &port;
        radioLink.m_pReporter = &reporter;
        radioLink.m_pClock = &SystemClock();
        EXPECT_TRUE(radioLink.ReadParameter(value, 16, length, false));
        EXPECT_EQ(Bytes(value, value + length), (Bytes{0x01}));
        radioLink.m_pPort = nullptr;
    }

    kill(child, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    std::string rest;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, stream) != nullptr) {
        rest += buffer;
    }
    std::fclose(stream);
    struct stat st {};
    const bool linkLeft = lstat(link.c_str(), &st) == 0;
    rmdir(dir);

    ASSERT_TRUE(gotLine);
    EXPECT_EQ(device.rfind("/dev/pts/", 0), 0u) << device;
    EXPECT_EQ(std::string(target, targetLength > 0 ? static_cast<std::size_t>(targetLength) : 0),
              device);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(linkLeft);
    EXPECT_NE(rest.find("tool->radio  F2 23 10 DA"), std::string::npos) << rest;
}

}  // namespace
}  // namespace varnel
