#include <gtest/gtest.h>

#include <ostream>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "link/RadioLink.h"
#include "strings/StringTable.h"
#include "tests/support/FakeClock.h"
#include "tests/support/ScriptedSession.h"

namespace varnel {
namespace {

using test::Concat;
using test::FakeClock;
using test::Frame;

using test::kAck;
using test::kNotSupported;

std::vector<int> ReadReply(const std::string& value) {
    std::vector<int> payload{0x00};  // the leading byte, not part of the value
    payload.insert(payload.end(), value.begin(), value.end());
    return Frame(139, payload);
}

enum class Command { Read, QuietRead, Write };

struct CommandCase {
    const char* name;
    Command command;
    std::vector<int> answer;  // what the radio sends after the request's echo
    bool ok;
    RadioStatus status;
    std::vector<int> messages;
    std::string value;  // the value a read delivers
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const CommandCase& c, std::ostream* os) {
    *os << c.name;
}

class RadioCommands : public ::testing::TestWithParam<CommandCase>, protected test::ScriptedLink {};

TEST_P(RadioCommands, AnswersDecideResultStatusAndMessages) {
    const CommandCase& c = GetParam();
    port.Answer(c.answer);
    char value[CRadioLink::kValueSize];
    std::memset(value, 'x', sizeof value);
    std::uint32_t length = 77;
    bool ok = false;
    if (c.command == Command::Write) {
        const std::uint8_t payload[] = {4, 1};
        ok = link.WriteParameter(payload, 2);
        EXPECT_EQ(port.Written(), (std::vector<std::uint8_t>{0xF3, 0x18, 0x04, 0x01, 0xEF}));
    } else {
        ok = link.ReadParameter(value, 2, length, c.command == Command::QuietRead);
        EXPECT_EQ(port.Written(), (std::vector<std::uint8_t>{0xF2, 0x23, 0x02, 0xE8}));
    }
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(link.m_status, c.status);
    EXPECT_EQ(reporter.Ids(), c.messages);
    if (c.command != Command::Write) {
        if (c.ok) {
            ASSERT_EQ(length, c.value.size());
            EXPECT_EQ(std::string(value, length), c.value);
            EXPECT_EQ(value[length], '\0');
        } else {
            EXPECT_EQ(length, 0u);     // cleared at the start
            EXPECT_EQ(value[0], 'x');  // the caller's buffer is written only on success
        }
    }
    // Every way out through the radio's answers passes the 100 ms settle wait, asleep.
    EXPECT_GT(clock.NowMs(), 101);
    EXPECT_GT(clock.Slept(), 100);
}

INSTANTIATE_TEST_SUITE_P(Answers, RadioCommands,
                         ::testing::Values(CommandCase{"ReadText",
                                                       Command::Read,
                                                       Concat({kAck, ReadReply("abc")}),
                                                       true,
                                                       RadioStatus::Ok,
                                                       {},
                                                       "abc"},
                                           CommandCase{"ReadLeadingByteAlone",
                                                       Command::Read,
                                                       Concat({kAck, ReadReply("")}),
                                                       true,
                                                       RadioStatus::Ok,
                                                       {},
                                                       ""},
                                           CommandCase{
                                               "ReadLongValueIsCut",
                                               Command::Read,
                                               Concat({kAck, ReadReply(std::string(59, 'v'))}),
                                               true,
                                               RadioStatus::Ok,
                                               {},
                                               std::string(39, 'v')},
                                           CommandCase{"ReadNotSupported",
                                                       Command::Read,
                                                       Concat({kAck, kNotSupported}),
                                                       false,
                                                       RadioStatus::NotSupported,
                                                       {IDS_NOT_SUPPORTED},
                                                       ""},
                                           CommandCase{"QuietReadNotSupported",
                                                       Command::QuietRead,
                                                       Concat({kAck, kNotSupported}),
                                                       false,
                                                       RadioStatus::NotSupported,
                                                       {},
                                                       ""},
                                           CommandCase{"NotSupportedInsteadOfAck",
                                                       Command::Read,
                                                       kNotSupported,
                                                       false,
                                                       RadioStatus::Ok,
                                                       {IDS_UNEXPECTED_RESPONSE},
                                                       ""},
                                           CommandCase{"NakInsteadOfAck",
                                                       Command::Read,
                                                       Frame(6),
                                                       false,
                                                       RadioStatus::Ok,
                                                       {IDS_NAK_RECEIVED},
                                                       ""},
                                           CommandCase{"NakInsteadOfReply",
                                                       Command::Read,
                                                       Concat({kAck, Frame(6)}),
                                                       false,
                                                       RadioStatus::Ok,
                                                       {IDS_NAK_RECEIVED},
                                                       ""},
                                           CommandCase{"ReplyWithoutLeadingByte",
                                                       Command::Read,
                                                       Concat({kAck, Frame(139)}),
                                                       false,
                                                       RadioStatus::Ok,
                                                       {IDS_UNEXPECTED_RESPONSE},
                                                       ""},
                                           CommandCase{"WriteReplyZero",
                                                       Command::Write,
                                                       Concat({kAck, {0xF2, 0x87, 0x00, 0x86}}),
                                                       true,
                                                       RadioStatus::Ok,
                                                       {},
                                                       ""},
                                           CommandCase{"WriteReplyOne",
                                                       Command::Write,
                                                       Concat({kAck, Frame(135, {1})}),
                                                       false,
                                                       RadioStatus::WriteRejected,
                                                       {},
                                                       ""},
                                           CommandCase{"WriteReplyTwoZeros",
                                                       Command::Write,
                                                       Concat({kAck, Frame(135, {0, 0})}),
                                                       false,
                                                       RadioStatus::WriteRejected,
                                                       {},
                                                       ""},
                                           CommandCase{"WriteNotSupported",
                                                       Command::Write,
                                                       Concat({kAck, kNotSupported}),
                                                       false,
                                                       RadioStatus::NotSupported,
                                                       {IDS_NOT_SUPPORTED},
                                                       ""},
                                           CommandCase{"WriteAnsweredWithReadReply",
                                                       Command::Write,
                                                       Concat({kAck, ReadReply("a")}),
                                                       false,
                                                       RadioStatus::Ok,
                                                       {IDS_UNEXPECTED_RESPONSE},
                                                       ""},
                                           CommandCase{"ReplyIncomplete",
                                                       Command::Read,
                                                       Concat({kAck, {0x8B}}),
                                                       false,
                                                       RadioStatus::Incomplete,
                                                       {IDS_MESSAGE_INCOMPLETE},
                                                       ""},
                                           CommandCase{"AckBadChecksum",
                                                       Command::Write,
                                                       {0xF1, 0x05, 0x00},
                                                       false,
                                                       RadioStatus::ChecksumError,
                                                       {IDS_CHECKSUM_ERROR},
                                                       ""},
                                           CommandCase{"NoAnswerAfterEcho",
                                                       Command::Read,
                                                       {},
                                                       false,
                                                       RadioStatus::NoResponse,
                                                       {IDS_NO_RESPONSE},
                                                       ""}),
                         [](const auto& info) { return std::string(info.param.name); });

class RadioCommandFixture : public ::testing::Test, protected test::ScriptedLink {
protected:
    char value[CRadioLink::kValueSize] = {};
    std::uint32_t length = 0;
};

TEST_F(RadioCommandFixture, SilentLineFailsEveryCommandAtOnceWithOneMessage) {
    port.SetEcho(false);
    const std::uint8_t payload[] = {4, 1};
    const struct {
        const char* name;
        std::function<bool()> run;
    } commands[] = {
        {"read", [&] { return link.ReadParameter(value, 0, length, false); }},
        {"write", [&] { return link.WriteParameter(payload, 2); }},
        {"end", [&] { return link.EndExchange(); }},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command.name);
        reporter.Clear();
        EXPECT_FALSE(command.run());
        EXPECT_EQ(link.m_status, RadioStatus::NoResponse);
        EXPECT_EQ(reporter.Ids(), std::vector<int>{IDS_NO_RESPONSE});
    }
    EXPECT_EQ(clock.Slept(), 0);  // no settle wait after a missing echo
}

TEST_F(RadioCommandFixture, ALineThatWentAwayPutsItsReasonUnderTheLinkMessage) {
    // The adapter was pulled out: no echo comes back, and the port knows why.
    port.SetEcho(false);
    EXPECT_FALSE(link.ReadParameter(value, 0, length, false));
    ASSERT_EQ(reporter.Messages().size(), 1u);
    EXPECT_EQ(reporter.Messages()[0].detail, "");  // a silent line that works tells nothing more
    reporter.Clear();
    port.SetLineFault("Device: \\\\.\\COM7\nReason: The device went away");
    EXPECT_FALSE(link.ReadParameter(value, 0, length, false));
    ASSERT_EQ(reporter.Ids(), std::vector<int>{IDS_NO_RESPONSE});
    EXPECT_EQ(reporter.Messages()[0].text, LoadString(IDS_NO_RESPONSE));
    EXPECT_EQ(reporter.Messages()[0].detail, "Device: \\\\.\\COM7\nReason: The device went away");
}

TEST_F(RadioCommandFixture, SettleWaitEndsPastTheLastReceivePlus101) {
    port.Answer(Concat({kAck, ReadReply("x")}));
    clock.Advance(5000);
    ASSERT_TRUE(link.ReadParameter(value, 1, length, false));
    EXPECT_GT(clock.NowMs(), 5000 + 101);
    EXPECT_LE(clock.NowMs(), 5000 + 102);
}

TEST_F(RadioCommandFixture, EndExchangeWaitsPastTheAcknowledgePlus1001) {
    port.Answer(kAck);
    ASSERT_TRUE(link.EndExchange());
    EXPECT_EQ(port.Written(), (std::vector<std::uint8_t>{0xF1, 0x10, 0xFE}));
    EXPECT_GT(clock.NowMs(), 1001);
    EXPECT_LE(clock.NowMs(), 1002);
    EXPECT_TRUE(reporter.Messages().empty());
}

TEST_F(RadioCommandFixture, EndExchangeRefusedReturnsWithoutWaiting) {
    port.Answer(Frame(6));
    EXPECT_FALSE(link.EndExchange());
    port.Answer(ReadReply("?"));
    EXPECT_FALSE(link.EndExchange());
    EXPECT_EQ(reporter.Ids(), (std::vector<int>{IDS_NAK_RECEIVED, IDS_UNEXPECTED_RESPONSE}));
    EXPECT_EQ(clock.Slept(), 0);
}

TEST_F(RadioCommandFixture, NoPortReportsFromSendAndFromReceive) {
    link.m_pPort = nullptr;
    EXPECT_FALSE(link.ReadParameter(value, 0, length, false));
    EXPECT_EQ(link.m_status, RadioStatus::NoPort);
    EXPECT_EQ(reporter.Ids(), (std::vector<int>{IDS_NO_PORT, IDS_NO_PORT}));
}

TEST_F(RadioCommandFixture, StatusIsNotClearedByTheNextCommand) {
    // The caller takes m_status after a failure; a refusal leaves the earlier value standing.
    link.m_status = RadioStatus::NotSupported;
    port.Answer(Frame(6));
    EXPECT_FALSE(link.ReadParameter(value, 0, length, false));
    EXPECT_EQ(link.m_status, RadioStatus::Ok);  // the echo's receive set it; the NAK left it
}

TEST_F(RadioCommandFixture, WritesTheRadioCannotTakeAreRefusedBeforeSending) {
    const std::uint8_t big[300] = {1};
    EXPECT_FALSE(link.WriteParameter(big, 300));
    EXPECT_FALSE(link.WriteParameter(nullptr, 0));
    EXPECT_TRUE(port.Written().empty());
}

}  // namespace
}  // namespace varnel
