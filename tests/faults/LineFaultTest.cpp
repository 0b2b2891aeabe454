// Faults on a real line: Radio Info as every front end runs it, on a session whose port is the real
// serial port on a pseudo-terminal, and at the other end a simulated radio that goes away in the
// middle of the exchange, a radio that floods the line without end, or one that answers with
// garbage. Each must end with the link's own message within the protocol's deadlines, with the
// port closed and every file descriptor given back.
#include <gtest/gtest.h>

#include <ostream>

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "link/RadioLink.h"
#include "procedures/RadioInfo.h"
#include "procedures/SerialPortOpener.h"
#include "procedures/Session.h"
#include "strings/StringTable.h"
#include "tests/support/ProcessStats.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/ShippedRadio.h"
#include "tools/radio-sim/PseudoTerminal.h"
#include "tools/radio-sim/RadioProfile.h"
#include "tools/radio-sim/RadioSimulator.h"

namespace varnel {
namespace {

using Clock = std::chrono::steady_clock;

using test::OpenDescriptors;

// What the procedure did, as its session's observer saw it.
class StepLog final : public IExchangeObserver {
public:
    void StepStarted(const ExchangeStep& step) override {
        if (step.count == 0) {
            endSent = true;
        } else {
            reads = step.number;
        }
    }
    void ExchangeFinished() override { closed = true; }

    int reads = 0;         // the read requests begun
    bool endSent = false;  // the exchange was ended with EndExchange
    bool closed = false;   // the port was closed again
};

struct Road {
    RadioInfoResult result;
    StepLog steps;
    bool detached = false;  // the link holds no port afterwards
    long elapsedMs = 0;
};

// Radio Info on a session whose opener is the real serial port, with "COM1" mapped to device.
Road RunRadioInfo(const std::string& device, IMessageReporter& reporter) {
    Road road;
    CRadioLink link;
    Session session(link, reporter, SystemClock(),
                    SerialPortOpener([device](const std::string&) { return device; }), "COM1");
    session.observer = &road.steps;
    const Clock::time_point start = Clock::now();
    road.result = ReadRadioInfo(session);
    road.elapsedMs = test::MsSince(start);
    road.detached = link.m_pPort == nullptr;
    return road;
}

// The road ended by a link failure: port opened and closed again, the link detached, no end of
// exchange sent after the failed read.
void ExpectAbortedAt(const Road& road, int reads) {
    EXPECT_EQ(road.result.outcome, Outcome::LinkFailed);
    EXPECT_TRUE(road.steps.closed);
    EXPECT_TRUE(road.detached);
    EXPECT_EQ(road.steps.reads, reads);
    EXPECT_FALSE(road.steps.endSent);
}

// The far end of a line that a radio gone wrong stands at: it reads whatever the tool writes
// and answers with what the behaviour gives, until stopped.
class MisbehavingRadio {
public:
    enum class Kind {
        Flood,    // writes the byte without end, whatever comes
        Garbage,  // echoes each request, then sends bytes that make no frame and falls silent
    };

    MisbehavingRadio(Kind kind, std::uint8_t floodByte = 0)
        : m_kind(kind), m_floodByte(floodByte) {}
    ~MisbehavingRadio() { Stop(); }

    bool Start() {
        std::string error;
        if (!m_pty.Open(error)) {
            ADD_FAILURE() << error;
            return false;
        }
        m_thread = std::thread([this] { Serve(); });
        return true;
    }
    void Stop() {
        m_stop = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
        m_pty.Close();
    }
    std::string SlavePath() const { return m_pty.SlavePath(); }
    std::uint64_t BytesSent() const { return m_sent; }

private:
    void Serve() {
        const std::vector<std::uint8_t> flood(256, m_floodByte);
        // Bytes that make no frame: a header announcing ten more bytes, and only seven of them.
        const std::vector<std::uint8_t> garbage{0x3A, 0x17, 0x99, 0x00, 0x42, 0xC5, 0x08, 0x61};
        std::vector<std::uint8_t> echo;
        Clock::time_point lastInput;
        bool answerDue = false;
        while (!m_stop) {
            pollfd pfd{m_pty.Master(), POLLIN, 0};
            if (m_kind == Kind::Flood) {
                pfd.events |= POLLOUT;
            }
            ::poll(&pfd, 1, 10);
            if (pfd.revents & POLLIN) {
                std::uint8_t buffer[512];
                const ssize_t n = ::read(m_pty.Master(), buffer, sizeof buffer);
                if (n > 0 && m_kind == Kind::Garbage) {
                    echo.insert(echo.end(), buffer, buffer + n);
                    lastInput = Clock::now();
                    answerDue = true;
                }
            }
            if (m_kind == Kind::Flood && (pfd.revents & POLLOUT)) {
                const ssize_t n = ::write(m_pty.Master(), flood.data(), flood.size());
                m_sent += n > 0 ? static_cast<std::uint64_t>(n) : 0;
            }
            if (!echo.empty()) {
                const ssize_t n = ::write(m_pty.Master(), echo.data(), echo.size());
                if (n > 0) {
                    echo.erase(echo.begin(), echo.begin() + n);
                }
            }
            // A request is whole once the tool has stopped writing for a moment.
            if (answerDue && echo.empty() &&
                Clock::now() - lastInput > std::chrono::milliseconds(50)) {
                const ssize_t n = ::write(m_pty.Master(), garbage.data(), garbage.size());
                m_sent += n > 0 ? static_cast<std::uint64_t>(n) : 0;
                answerDue = false;
            }
        }
    }

    Kind m_kind;
    std::uint8_t m_floodByte;
    sim::PseudoTerminal m_pty;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<std::uint64_t> m_sent{0};
};

class LineFault : public ::testing::Test {
protected:
    void SetUp() override { m_descriptorsBefore = OpenDescriptors(); }

    // Everything the test opened is closed by now: the port by the road, the line by its owner.
    void ExpectNoDescriptorLeft() { EXPECT_EQ(OpenDescriptors(), m_descriptorsBefore); }

    test::RecordingReporter m_reporter;
    int m_descriptorsBefore = 0;
};

sim::RadioProfile ProgrammedRadio() {
    return test::ShippedProfile("programmed.profile");
}

// The adapter is pulled out while the tool waits for the answer to the Software Version read:
// the simulator stays silent from that request on and then closes its end of the line.
TEST_F(LineFault, ARadioThatDisappearsMidExchangeEndsInNoResponse) {
    Road road;
    long afterLossMs = 0;
    {
        sim::RadioSimulator radio(ProgrammedRadio());
        std::string error;
        ASSERT_TRUE(radio.AddFault("silence@3", &error)) << error;
        ASSERT_TRUE(radio.Start(&error)) << error;
        const std::string device = radio.SlavePath();
        Clock::time_point lostAt;
        std::thread puller([&] {
            radio.WaitForRequests(3, std::chrono::seconds(10));
            lostAt = Clock::now();
            radio.Stop();
        });
        road = RunRadioInfo(device, m_reporter);
        puller.join();
        afterLossMs = test::MsSince(lostAt);
        EXPECT_EQ(radio.RequestCount(), 3);
    }
    ExpectAbortedAt(road, 3);
    EXPECT_TRUE(road.result.fields[0].has_value());  // read before the line went away
    EXPECT_FALSE(road.result.fields[2].has_value());
    // Whether the echo was still in the line when it went, the last word is "no response".
    ASSERT_FALSE(m_reporter.Ids().empty());
    EXPECT_EQ(m_reporter.Ids().back(), IDS_NO_RESPONSE);
    for (int id : m_reporter.Ids()) {
        EXPECT_TRUE(id == IDS_NO_RESPONSE || id == IDS_MESSAGE_INCOMPLETE) << id;
    }
    // At worst the echo's 1250 ms and the acknowledge's 1000 ms, each ended by a silent read of
    // up to 1000 ms, and the settle wait.
    EXPECT_LE(afterLossMs, 1250 + 1000 + 1000 + 100 + 500);
    ExpectNoDescriptorLeft();
}

struct FloodCase {
    const char* name;
    std::uint8_t byte;
    Outcome outcome;
    int reads;
    std::vector<int> messages;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const FloodCase& c, std::ostream* os) {
    *os << c.name;
}

class Flood : public LineFault, public ::testing::WithParamInterface<FloodCase> {};

// A line that never stops sending: every receive still ends, on a frame or at the longest frame
// the link accepts, and Radio Info ends at the first read that must not fail, without ending the
// exchange.
TEST_P(Flood, EndsTheExchangeWithTheLinksMessage) {
    const FloodCase& c = GetParam();
    Road road;
    {
        MisbehavingRadio radio(MisbehavingRadio::Kind::Flood, c.byte);
        ASSERT_TRUE(radio.Start());
        road = RunRadioInfo(radio.SlavePath(), m_reporter);
        EXPECT_GT(radio.BytesSent(), 0u);
    }
    EXPECT_EQ(road.result.outcome, c.outcome);
    EXPECT_TRUE(road.steps.closed);
    EXPECT_TRUE(road.detached);
    EXPECT_EQ(road.steps.reads, c.reads);
    EXPECT_FALSE(road.steps.endSent);
    EXPECT_EQ(m_reporter.Ids(), c.messages);
    // Bytes keep coming, so no receive waits out a timeout: only the settle waits count.
    EXPECT_LE(road.elapsedMs, static_cast<long>(c.reads) * (100 + 250) + 500);
    ExpectNoDescriptorLeft();
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, Flood,
    ::testing::Values(
        // Every byte opens a frame of 65535 bytes: too long for the echo and the acknowledge.
        FloodCase{"FramesWithoutEnd",
                  0xFF,
                  Outcome::LinkFailed,
                  1,
                  {IDS_MESSAGE_TOO_LONG, IDS_MESSAGE_TOO_LONG}},
        // Every byte is a whole acknowledge: the reply is one too, unexpected each time. The
        // Model and Serial Numbers live with that; the Software Version does not.
        FloodCase{"Acknowledges",
                  0x50,
                  Outcome::LinkFailed,
                  3,
                  {IDS_UNEXPECTED_RESPONSE, IDS_UNEXPECTED_RESPONSE, IDS_UNEXPECTED_RESPONSE}}),
    [](const ::testing::TestParamInfo<FloodCase>& info) { return std::string(info.param.name); });

// The line returns the request, then the radio sends bytes that make no frame and falls silent:
// the acknowledge is incomplete and the Model Number read ends the exchange.
TEST_F(LineFault, GarbageInsteadOfAnAnswerEndsAsIncomplete) {
    Road road;
    {
        MisbehavingRadio radio(MisbehavingRadio::Kind::Garbage);
        ASSERT_TRUE(radio.Start());
        road = RunRadioInfo(radio.SlavePath(), m_reporter);
    }
    ExpectAbortedAt(road, 1);
    EXPECT_EQ(m_reporter.Ids(), (std::vector<int>{IDS_MESSAGE_INCOMPLETE}));
    // The garbage comes 50 ms after the request; 251 ms later it is incomplete, found by the
    // silent read that ends up to 1000 ms after the last byte; then the settle wait.
    EXPECT_LE(road.elapsedMs, 50 + 1000 + 100 + 500);
    ExpectNoDescriptorLeft();
}

}  // namespace
}  // namespace varnel
