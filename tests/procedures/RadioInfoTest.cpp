#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "procedures/RadioInfo.h"
#include "strings/StringTable.h"
#include "tests/procedures/ProcedureFixture.h"

namespace varnel {
namespace {

using test::Concat;
using test::Frame;
using test::kAck;
using test::ProcedureFixture;
using test::ReadAnswer;
using test::ReadRequest;

// A radio that has every parameter, by id, and how each is shown, in the order of the reads.
std::map<int, std::vector<int>> FullRadioValues() {
    auto text = [](const std::string& s) { return std::vector<int>(s.begin(), s.end()); };
    return {
        {0, text("TRX-450K")},
        {1, text("7A4C001932")},
        {3, text("R03.12.07")},
        {4, text("CP04.20")},
        {10, text("2024-03-18")},
        {11, text("TCP-4410A")},
        {12, text("TFW-2207B")},
        {2, {0x82, 0x51, 0xE2, 0x40, 0x4C}},
        {16, {0x01}},
        {15, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
        {14, {0x01, 0x0A, 0xFF}},
    };
}
const std::map<int, std::string> kFullRadioTexts = {
    {0, "TRX-450K"},       {1, "7A4C001932"},
    {3, "R03.12.07"},      {4, "CP04.20"},
    {10, "2024-03-18"},    {11, "TCP-4410A"},
    {12, "TFW-2207B"},     {2, "130/05/123456"},
    {16, "North America"}, {15, "00010203-0405-0607-0809-0A0B0C0D0E0F"},
    {14, "$01 $0A $FF "},
};

TEST(RadioInfoQueries, AskInTheRadiosOrderWithTheDialogsLabels) {
    std::vector<int> ids;
    for (const auto& q : kRadioInfoQueries) {
        ids.push_back(q.id);
    }
    EXPECT_EQ(ids, (std::vector<int>{0, 1, 3, 4, 10, 11, 12, 2, 16, 15, 14}));
    EXPECT_EQ(kRadioInfoQueries[8].label, "Regional Identifier");
}

struct InfoCase {
    const char* name;
    std::map<int, std::vector<int>> answers;  // the radio's answer per id in place of the value
    int silentFrom;                           // from this read on the radio says nothing; -1: never
    std::vector<int> messages;
    int lastRead;  // the id of the read that aborts; -1 when none does
    Outcome outcome;
    std::map<int, std::optional<std::string>> fields;  // fields that differ from a full radio's
};

void PrintTo(const InfoCase& c, std::ostream* os) {
    *os << c.name;
}

class RadioInfoProcedure : public ::testing::TestWithParam<InfoCase> {};

TEST_P(RadioInfoProcedure, AnswersDecideFieldsMessagesAndTheWayOut) {
    const InfoCase& c = GetParam();
    ProcedureFixture f;
    const auto values = FullRadioValues();
    test::Bytes expectedRequests;
    bool silent = false;
    for (const auto& query : kRadioInfoQueries) {
        const int id = query.id;
        silent = silent || id == c.silentFrom;
        if (!silent) {
            auto it = c.answers.find(id);
            f.radio.line.Answer(it != c.answers.end() ? it->second : ReadAnswer(values.at(id)));
        }
        expectedRequests = test::Join({expectedRequests, ReadRequest(id)});
        if (id == c.lastRead) {
            break;
        }
    }
    const bool ended = c.lastRead < 0;
    if (ended) {
        f.radio.line.Answer(kAck);
        expectedRequests = test::Join({expectedRequests, test::kEndExchange});
    }

    const RadioInfoResult result = ReadRadioInfo(f.session);

    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(f.radio.Written(), expectedRequests);
    EXPECT_EQ(f.radio.reporter.Ids(), c.messages);
    EXPECT_EQ(f.portOpenAtMessage, std::vector<bool>(c.messages.size(), true));
    bool pastTheAbort = false;
    for (std::size_t i = 0; i < kRadioInfoFieldCount; ++i) {
        const int id = kRadioInfoQueries[i].id;
        if (auto it = c.fields.find(id); it != c.fields.end()) {
            EXPECT_EQ(result.fields[i], it->second) << "id " << id;
        } else if (ended) {
            EXPECT_EQ(result.fields[i], kFullRadioTexts.at(id)) << "id " << id;
        } else if (pastTheAbort) {
            EXPECT_EQ(result.fields[i], std::nullopt) << "id " << id;
        }
        pastTheAbort = pastTheAbort || id == c.lastRead;
    }
    EXPECT_EQ(f.radio.log.opened, std::vector<std::string>{"COM1"});
    f.ExpectPortReleased();
}

const std::vector<int> kNotSupportedAnswer = Concat({kAck, test::kNotSupported});

INSTANTIATE_TEST_SUITE_P(
    Radios, RadioInfoProcedure,
    ::testing::Values(
        InfoCase{"FullRadio", {}, -1, {}, -1, Outcome::Done, {}},
        InfoCase{"WithoutIds3And10",
                 {{3, kNotSupportedAnswer}, {10, kNotSupportedAnswer}},
                 -1,
                 {IDS_NOT_SUPPORTED},
                 -1,
                 Outcome::Done,
                 {{3, "n/a"}, {10, "n/a"}}},
        InfoCase{"OlderRadioWithoutTheQuietOnes",
                 {{11, kNotSupportedAnswer},
                  {12, kNotSupportedAnswer},
                  {2, kNotSupportedAnswer},
                  {16, kNotSupportedAnswer},
                  {15, kNotSupportedAnswer},
                  {14, kNotSupportedAnswer}},
                 -1,
                 {},
                 -1,
                 Outcome::Done,
                 {{11, "n/a"}, {12, "n/a"}, {2, "n/a"}, {16, "n/a"}, {15, "n/a"}, {14, "n/a"}}},
        InfoCase{"NakOnModelNumberLeavesItEmptyAndGoesOn",
                 {{0, test::kNak}},
                 -1,
                 {IDS_NAK_RECEIVED},
                 -1,
                 Outcome::Done,
                 {{0, std::nullopt}}},
        InfoCase{"UnexpectedReplyToSerialNumberGoesOn",
                 {{1, Concat({kAck, Frame(7)})}},
                 -1,
                 {IDS_UNEXPECTED_RESPONSE},
                 -1,
                 Outcome::Done,
                 {{1, std::nullopt}}},
        InfoCase{"ModelNumberNotSupportedAborts",
                 {{0, kNotSupportedAnswer}},
                 -1,
                 {IDS_NOT_SUPPORTED},
                 0,
                 Outcome::Refused,
                 {{0, std::nullopt}}},
        InfoCase{"NakOnCodeplugVersionAborts",
                 {{4, test::kNak}},
                 -1,
                 {IDS_NAK_RECEIVED},
                 4,
                 Outcome::Refused,
                 {{3, "R03.12.07"}, {4, std::nullopt}}},
        InfoCase{"UnexpectedReplyToCodeplugVersionAbortsAsAFailedLink",
                 {{4, Concat({kAck, Frame(7)})}},
                 -1,
                 {IDS_UNEXPECTED_RESPONSE},
                 4,
                 Outcome::LinkFailed,
                 {{3, "R03.12.07"}, {4, std::nullopt}}},
        InfoCase{"NakOnQuietReadAborts",
                 {{15, Concat({kAck, test::kNak})}},
                 -1,
                 {IDS_NAK_RECEIVED},
                 15,
                 Outcome::Refused,
                 {{15, std::nullopt}}},
        InfoCase{"ChecksumErrorOnSerialNumberAborts",
                 {{1, Concat({kAck, {0xF2, 0x8B, 0x00, 0x00}})}},
                 -1,
                 {IDS_CHECKSUM_ERROR},
                 1,
                 Outcome::LinkFailed,
                 {}},
        InfoCase{"SilenceAfterTheEsnRead",
                 {},
                 16,
                 {IDS_NO_RESPONSE},
                 16,
                 Outcome::LinkFailed,
                 {{2, "130/05/123456"}, {16, std::nullopt}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RadioInfoProcedureSteps, TheObserverHearsEachReadThenTheEnd) {
    ProcedureFixture f;
    const auto values = FullRadioValues();
    for (const auto& query : kRadioInfoQueries) {
        f.radio.line.Answer(ReadAnswer(values.at(query.id)));
    }
    f.radio.line.Answer(kAck);
    ASSERT_EQ(ReadRadioInfo(f.session).outcome, Outcome::Done);
    ASSERT_EQ(f.observer.events.size(), 14u);
    EXPECT_EQ(f.observer.events.front(), "started");
    EXPECT_EQ(f.observer.events[1], "Reading Model Number (1 of 11)");
    EXPECT_EQ(f.observer.events[3], "Reading Software Version (3 of 11)");
    EXPECT_EQ(f.observer.events[11], "Reading Radio IC Versions (11 of 11)");
    EXPECT_EQ(f.observer.events[12], "Ending the exchange");
    EXPECT_EQ(f.observer.events.back(), "finished");
}

}  // namespace
}  // namespace varnel
