// The frame trace sees every frame as it crossed the line: what was sent, the line's echo of it,
// the radio's answers, and what came of a frame that broke off.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "link/FrameTrace.h"
#include "link/RadioLink.h"
#include "procedures/Exchange.h"
#include "procedures/RadioInfo.h"
#include "tests/support/ScriptedSession.h"

namespace varnel {
namespace {

using test::kAck;
using test::ReadAnswer;

// Each frame as "> F2 23 02 E8", "= ..." for the echo, "< ..." for the radio.
class RecordingTrace final : public IFrameTrace {
public:
    void FrameSent(const std::uint8_t* bytes, std::uint32_t count) override {
        lines.push_back(Line('>', bytes, count));
    }
    void FrameReceived(const std::uint8_t* bytes, std::uint32_t count, bool echo) override {
        lines.push_back(Line(echo ? '=' : '<', bytes, count));
    }
    std::vector<std::string> lines;

private:
    static std::string Line(char direction, const std::uint8_t* bytes, std::uint32_t count) {
        static const char kHex[] = "0123456789ABCDEF";
        std::string line(1, direction);
        for (std::uint32_t i = 0; i < count; ++i) {
            line += ' ';
            line += kHex[bytes[i] >> 4];
            line += kHex[bytes[i] & 0x0F];
        }
        return line;
    }
};

class FrameTrace : public ::testing::Test, protected test::ScriptedLink {
protected:
    void SetUp() override { link.m_pTrace = &trace; }

    bool Read(std::uint8_t id) {
        std::uint32_t length = 0;
        return link.ReadParameter(value, id, length, false);
    }

    RecordingTrace trace;
    char value[CRadioLink::kValueSize] = {};
};

TEST_F(FrameTrace, AReadShowsTheRequestItsEchoTheAcknowledgeAndTheReply) {
    port.Answer(ReadAnswer(std::vector<int>{0x82, 0x51, 0xE2, 0x40, 0x4C}));
    ASSERT_TRUE(Read(2));
    EXPECT_EQ(trace.lines, (std::vector<std::string>{
                               "> F2 23 02 E8",
                               "= F2 23 02 E8",
                               "< 50",
                               "< F7 8B 00 82 51 E2 40 4C 3C",
                           }));
}

TEST_F(FrameTrace, ABrokenFrameShowsTheBytesThatCameAndSilenceShowsNothing) {
    port.Answer({0x50, 0x8B});  // the reply's header, then nothing
    EXPECT_FALSE(Read(2));
    EXPECT_EQ(link.m_status, RadioStatus::Incomplete);
    EXPECT_EQ(trace.lines,
              (std::vector<std::string>{"> F2 23 02 E8", "= F2 23 02 E8", "< 50", "< 8B"}));

    trace.lines.clear();
    port.SetEcho(false);
    EXPECT_FALSE(Read(2));
    EXPECT_EQ(link.m_status, RadioStatus::NoResponse);
    EXPECT_EQ(trace.lines, std::vector<std::string>{"> F2 23 02 E8"});
}

TEST_F(FrameTrace, AFrameWithABadChecksumIsShownAsItCame) {
    port.Answer({0x50, 0xF2, 0x8B, 0x00, 0x00});
    EXPECT_FALSE(Read(16));
    EXPECT_EQ(link.m_status, RadioStatus::ChecksumError);
    ASSERT_EQ(trace.lines.size(), 4u);
    EXPECT_EQ(trace.lines[3], "< F2 8B 00 00");
}

TEST_F(FrameTrace, ABrokenEchoIsStillMarkedAsTheEcho) {
    port.SetEcho(false);
    port.Answer({0xF2, 0x23});  // the first two bytes of the echo, then silence
    const std::uint8_t id = 2;
    link.SendFrame(35, &id, 1);
    EXPECT_EQ(link.m_status, RadioStatus::Incomplete);
    EXPECT_EQ(trace.lines, (std::vector<std::string>{"> F2 23 02 E8", "= F2 23"}));
}

// The session hands its trace to the link for the length of the exchange only.
TEST(FrameTraceSession, TheExchangeAttachesTheSessionsTraceAndTakesItAwayAfterwards) {
    test::ScriptedRadio radio;
    Session session = radio.MakeSession();
    RecordingTrace trace;
    session.trace = &trace;
    radio.line.Answer(ReadAnswer(std::string("TRX-450K")));
    radio.line.Answer(kAck);
    {
        Exchange exchange(session);
        ASSERT_TRUE(exchange.Open());
        EXPECT_EQ(radio.link.m_pTrace, &trace);
        char value[CRadioLink::kValueSize] = {};
        std::uint32_t length = 0;
        ASSERT_TRUE(exchange.Link().ReadParameter(value, 0, length, false));
        exchange.End();
        EXPECT_EQ(radio.link.m_pTrace, nullptr);
    }
    ASSERT_EQ(trace.lines.size(), 7u);
    EXPECT_EQ(trace.lines[0], "> F2 23 00 EA");
    EXPECT_EQ(trace.lines[4], "> F1 10 FE");
    EXPECT_EQ(trace.lines[5], "= F1 10 FE");
    EXPECT_EQ(trace.lines[6], "< 50");

    // A later exchange without a trace leaves the earlier one alone.
    session.trace = nullptr;
    radio.line.Answer(kAck);
    {
        Exchange exchange(session);
        ASSERT_TRUE(exchange.Open());
        exchange.End();
    }
    EXPECT_EQ(trace.lines.size(), 7u);
}

}  // namespace
}  // namespace varnel
