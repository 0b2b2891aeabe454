#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "procedures/EsnProgramming.h"
#include "procedures/RegionProgramming.h"
#include "radio/Catalogue.h"
#include "strings/StringTable.h"
#include "tests/procedures/ProcedureFixture.h"

namespace varnel {
namespace {

using test::Bytes;
using test::Concat;
using test::Frame;
using test::Join;
using test::kAck;
using test::kEndExchange;
using test::ProcedureFixture;
using test::ReadAnswer;
using test::ReadRequest;

// The test a programming command makes before it writes, for both of them: what the radio
// answers to the read, what the user is told, and whether the exchange ends normally.
struct OpeningTestCase {
    const char* name;
    std::function<ReadResult(Session&)> test;
    int id;                   // the parameter read
    std::vector<int> answer;  // to the read
    std::vector<int> messages;
    Outcome outcome;
    bool endSent;
};
void PrintTo(const OpeningTestCase& c, std::ostream* os) {
    *os << c.name;
}

class OpeningTest : public ::testing::TestWithParam<OpeningTestCase> {};

TEST_P(OpeningTest, OnlyARadioWithoutTheValueLetsTheUserGoOn) {
    const OpeningTestCase& c = GetParam();
    ProcedureFixture f;
    f.radio.line.Answer(c.answer);
    f.radio.line.Answer(kAck);
    const ReadResult result = c.test(f.session);
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(f.radio.Written(),
              c.endSent ? Join({ReadRequest(c.id), kEndExchange}) : ReadRequest(c.id));
    EXPECT_EQ(f.radio.reporter.Ids(), c.messages);
    for (const auto& message : f.radio.reporter.Messages()) {
        EXPECT_EQ(message.kind, MSG_ERROR);
    }
    EXPECT_EQ(f.portOpenAtMessage, std::vector<bool>(c.messages.size(), true));
    EXPECT_EQ(f.radio.log.closed, 1);
    f.ExpectPortReleased();
}

const std::vector<int> kNotSupportedAnswer = Concat({kAck, test::kNotSupported});
const auto kEsnTest = [](Session& s) { return CheckEsnBlank(s); };
const auto kRegionTest = [](Session& s) { return CheckNoRegionalId(s); };

INSTANTIATE_TEST_SUITE_P(
    Radios, OpeningTest,
    ::testing::Values(
        OpeningTestCase{"BlankEsn",
                        kEsnTest,
                        PARAM_ESN,
                        ReadAnswer(std::vector<int>{0, 0, 0, 0, 0}),
                        {},
                        Outcome::Done,
                        true},
        OpeningTestCase{"EsnAlreadyProgrammed",
                        kEsnTest,
                        PARAM_ESN,
                        ReadAnswer(std::vector<int>{0, 0, 0, 0, 1}),
                        {IDS_ESN_ALREADY_PROGRAMMED},
                        Outcome::Refused,
                        true},
        OpeningTestCase{"FourByteEsn",
                        kEsnTest,
                        PARAM_ESN,
                        ReadAnswer(std::vector<int>{0, 0, 0, 0}),
                        {IDS_ESN_FORMAT_UNSUPPORTED},
                        Outcome::Refused,
                        true},
        OpeningTestCase{"EsnReadRefused",
                        kEsnTest,
                        PARAM_ESN,
                        test::kNak,
                        {IDS_NAK_RECEIVED},
                        Outcome::Refused,
                        true},
        OpeningTestCase{"EsnNotSupported",
                        kEsnTest,
                        PARAM_ESN,
                        kNotSupportedAnswer,
                        {IDS_NOT_SUPPORTED},
                        Outcome::Refused,
                        false},
        OpeningTestCase{
            "EsnSilent", kEsnTest, PARAM_ESN, {}, {IDS_NO_RESPONSE}, Outcome::LinkFailed, false},
        OpeningTestCase{"NoRegion",
                        kRegionTest,
                        PARAM_REGIONAL_ID,
                        ReadAnswer(std::vector<int>{255}),
                        {},
                        Outcome::Done,
                        true},
        OpeningTestCase{"RegionZero",
                        kRegionTest,
                        PARAM_REGIONAL_ID,
                        ReadAnswer(std::vector<int>{0}),
                        {IDS_REGION_ALREADY_PROGRAMMED},
                        Outcome::Refused,
                        true},
        OpeningTestCase{"RegionTwo",
                        kRegionTest,
                        PARAM_REGIONAL_ID,
                        ReadAnswer(std::vector<int>{2}),
                        {IDS_REGION_ALREADY_PROGRAMMED},
                        Outcome::Refused,
                        true},
        OpeningTestCase{"RegionFive",
                        kRegionTest,
                        PARAM_REGIONAL_ID,
                        ReadAnswer(std::vector<int>{5}),
                        {IDS_REGION_INVALID},
                        Outcome::Refused,
                        true},
        OpeningTestCase{"Region254",
                        kRegionTest,
                        PARAM_REGIONAL_ID,
                        ReadAnswer(std::vector<int>{254}),
                        {IDS_REGION_INVALID},
                        Outcome::Refused,
                        true},
        OpeningTestCase{"TwoByteRegion",
                        kRegionTest,
                        PARAM_REGIONAL_ID,
                        ReadAnswer(std::vector<int>{255, 255}),
                        {IDS_REGION_FORMAT_UNSUPPORTED},
                        Outcome::Refused,
                        true},
        OpeningTestCase{"RegionNotSupported",
                        kRegionTest,
                        PARAM_REGIONAL_ID,
                        kNotSupportedAnswer,
                        {IDS_NOT_SUPPORTED},
                        Outcome::Refused,
                        false},
        OpeningTestCase{"RegionUnexpectedAnswer",
                        kRegionTest,
                        PARAM_REGIONAL_ID,
                        Concat({kAck, Frame(7)}),
                        {IDS_UNEXPECTED_RESPONSE},
                        Outcome::LinkFailed,  // the exchange is ended all the same
                        true},
        OpeningTestCase{"RegionIncomplete",
                        kRegionTest,
                        PARAM_REGIONAL_ID,
                        Concat({kAck, {0xF3}}),
                        {IDS_MESSAGE_INCOMPLETE},
                        Outcome::LinkFailed,
                        false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OpeningTestValue, TheValueReadComesBackForCallersThatShowIt) {
    ProcedureFixture f;
    f.radio.line.Answer(ReadAnswer(std::vector<int>{0x82, 0x51, 0xE2, 0x40, 0x4C}));
    f.radio.line.Answer(kAck);
    const ReadResult result = CheckEsnBlank(f.session);
    EXPECT_EQ(result.outcome, Outcome::Refused);
    EXPECT_TRUE(result.read);
    EXPECT_EQ(result.value, std::string("\x82\x51\xE2\x40\x4C", 5));
}

// A programming exchange, for both writes: what goes on the line, what the user is told in
// which order, and how it ends. The exchange always ends with EndExchange, also after a failure.
struct WriteCase {
    const char* name;
    std::function<WriteResult(Session&)> write;
    std::vector<int> payload;
    std::vector<int> answer;  // to the write request
    std::vector<int> messages;
    Outcome outcome;
};
void PrintTo(const WriteCase& c, std::ostream* os) {
    *os << c.name;
}

class ProgrammingExchange : public ::testing::TestWithParam<WriteCase> {};

TEST_P(ProgrammingExchange, ReportsWhileThePortIsOpenThenEndsTheExchange) {
    const WriteCase& c = GetParam();
    ProcedureFixture f;
    f.radio.line.Answer(c.answer);
    f.radio.line.Answer(kAck);
    const WriteResult result = c.write(f.session);
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_TRUE(result.requestSent);
    EXPECT_EQ(f.radio.Written(), Join({test::WriteRequest(c.payload), kEndExchange}));
    EXPECT_EQ(f.radio.reporter.Ids(), c.messages);
    EXPECT_EQ(f.radio.reporter.Messages().back().kind,
              c.outcome == Outcome::Done ? MSG_INFO : MSG_ERROR);
    // Every message of the exchange is shown while the port is open; what the registry keeps
    // is said after it is closed.
    std::vector<bool> open;
    for (const int id : c.messages) {
        open.push_back(id != IDS_ESN_UNCONFIRMED);
    }
    EXPECT_EQ(f.portOpenAtMessage, open);
    // A confirmed write is told to the front end before the box that says so, once; a failed
    // one never.
    const int confirmed = c.outcome == Outcome::Done ? 1 : 0;
    EXPECT_EQ(f.confirmedAtMessage, std::vector<int>(c.messages.size(), confirmed));
    EXPECT_EQ(f.observer.writesConfirmed, confirmed);
    f.ExpectPortReleased();
}

const auto kWriteEsn = [](Session& s) { return ProgramEsn(s, EsnFields{130, 5, 123456}); };
const auto kWriteAsia = [](Session& s) { return ProgramRegionalId(s, 4); };
const std::vector<int> kEsnPayload = {0x01, 0x82, 0x51, 0xE2, 0x40, 0x4C};
const std::vector<int> kAsiaPayload = {0x04, 0x04};

INSTANTIATE_TEST_SUITE_P(
    Answers, ProgrammingExchange,
    ::testing::Values(WriteCase{"EsnWritten",
                                kWriteEsn,
                                kEsnPayload,
                                Concat({kAck, test::kWriteOk}),
                                {IDS_ESN_PROGRAMMED},
                                Outcome::Done},
                      WriteCase{"EsnRejected",
                                kWriteEsn,
                                kEsnPayload,
                                Concat({kAck, Frame(135, {1})}),
                                {IDS_ESN_PROGRAM_FAILED},
                                Outcome::Refused},
                      WriteCase{"EsnNak",
                                kWriteEsn,
                                kEsnPayload,
                                test::kNak,
                                {IDS_NAK_RECEIVED, IDS_ESN_PROGRAM_FAILED, IDS_ESN_UNCONFIRMED},
                                Outcome::Refused},
                      WriteCase{"EsnNotSupported",
                                kWriteEsn,
                                kEsnPayload,
                                kNotSupportedAnswer,
                                {IDS_NOT_SUPPORTED, IDS_ESN_PROGRAM_FAILED},
                                Outcome::Refused},
                      WriteCase{"EsnNoReply",
                                kWriteEsn,
                                kEsnPayload,
                                kAck,
                                {IDS_NO_RESPONSE, IDS_ESN_PROGRAM_FAILED, IDS_ESN_UNCONFIRMED},
                                Outcome::LinkFailed},
                      WriteCase{"AsiaWritten",
                                kWriteAsia,
                                kAsiaPayload,
                                Concat({kAck, test::kWriteOk}),
                                {IDS_REGION_PROGRAMMED},
                                Outcome::Done},
                      WriteCase{"RegionRejectedWithTwoBytes",
                                kWriteAsia,
                                kAsiaPayload,
                                Concat({kAck, Frame(135, {0, 0})}),
                                {IDS_REGION_PROGRAM_FAILED},
                                Outcome::Refused}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProgrammingExchangeOnASilentLine, EachRequestIsToldOnceAndTheWriteFails) {
    ProcedureFixture f;
    f.radio.line.SetEcho(false);
    const WriteResult result = ProgramRegionalId(f.session, 1);
    EXPECT_EQ(result.outcome, Outcome::LinkFailed);
    // The write's missing echo, the failure, then the missing echo of the end request.
    EXPECT_EQ(f.radio.reporter.Ids(),
              (std::vector<int>{IDS_NO_RESPONSE, IDS_REGION_PROGRAM_FAILED, IDS_NO_RESPONSE}));
    EXPECT_EQ(f.radio.Written(), Join({test::WriteRequest({0x04, 0x01}), kEndExchange}));
    f.ExpectPortReleased();
}

TEST(ProgrammingCancel, NothingGoesOutOnceCancelledAndASentWriteIsOwnedUpTo) {
    {
        ProcedureFixture f;
        CancelToken cancel;
        f.session.cancel = &cancel;
        cancel.Cancel();
        const WriteResult result = ProgramEsn(f.session, EsnFields{1, 2, 3});
        EXPECT_EQ(result.outcome, Outcome::Cancelled);
        EXPECT_FALSE(result.requestSent);
        EXPECT_TRUE(f.radio.Written().empty());
        EXPECT_TRUE(f.radio.reporter.Messages().empty());
        f.ExpectPortReleased();
    }
    {
        // The write request went out and the user cancelled while the radio had not answered.
        ProcedureFixture f;
        CancelToken cancel;
        f.session.cancel = &cancel;
        test::CancelOnSilencePort cancelling(f.radio.line, cancel);
        f.radio.linePort = &cancelling;
        f.radio.line.Answer(kAck);  // and then nothing
        const WriteResult result = ProgramEsn(f.session, EsnFields{130, 5, 123456});
        EXPECT_EQ(result.outcome, Outcome::Cancelled);
        EXPECT_TRUE(result.requestSent);
        EXPECT_EQ(f.radio.Written(), test::WriteRequest(kEsnPayload));  // no EndExchange
        EXPECT_EQ(f.radio.reporter.Ids(),
                  (std::vector<int>{IDS_ESN_WRITE_CANCELLED, IDS_ESN_UNCONFIRMED}));
        EXPECT_EQ(f.portOpenAtMessage, (std::vector<bool>{false, false}));  // closed first
        f.ExpectPortReleased();
    }
}

}  // namespace
}  // namespace varnel
