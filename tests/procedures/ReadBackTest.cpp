// The reads a command makes for its own sake: the Regional ID as it is, and the ESN read back
// after a write. Tables against the scripted line, in virtual time.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "procedures/EsnReadBack.h"
#include "procedures/RegionProgramming.h"
#include "radio/Catalogue.h"
#include "strings/StringTable.h"
#include "tests/procedures/ProcedureFixture.h"

namespace varnel {
namespace {

using test::kAck;
using test::ProcedureFixture;
using test::ReadAnswer;

TEST(RegionalIdRead, GivesTheTextRadioInfoShowsAndTheCodeOfAOneByteReply) {
    const struct {
        const char* name;
        std::vector<int> answer;
        Outcome outcome;
        bool read;
        std::optional<std::uint8_t> code;
        std::string text;
        std::vector<int> messages;
        bool endSent;
    } cases[] = {
        {"none",
         ReadAnswer(std::vector<int>{255}),
         Outcome::Done,
         true,
         255,
         "No Region defined",
         {},
         true},
        {"latin",
         ReadAnswer(std::vector<int>{2}),
         Outcome::Done,
         true,
         2,
         "Latin America",
         {},
         true},
        {"invalid",
         ReadAnswer(std::vector<int>{7}),
         Outcome::Done,
         true,
         7,
         "Invalid Region",
         {},
         true},
        {"two bytes",
         ReadAnswer(std::vector<int>{1, 2}),
         Outcome::Done,
         true,
         std::nullopt,
         "?",
         {},
         true},
        {"refused",
         test::kNak,
         Outcome::Refused,
         false,
         std::nullopt,
         "",
         {IDS_NAK_RECEIVED},
         true},
        {"silent", {}, Outcome::LinkFailed, false, std::nullopt, "", {IDS_NO_RESPONSE}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProcedureFixture f;
        f.radio.line.Answer(c.answer);
        f.radio.line.Answer(kAck);
        const RegionalIdReadResult result = ReadRegionalId(f.session);
        EXPECT_EQ(result.read.outcome, c.outcome);
        EXPECT_EQ(result.read.read, c.read);
        EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(result.text, c.text);
        EXPECT_EQ(f.radio.reporter.Ids(), c.messages);
        const test::Bytes request = test::ReadRequest(PARAM_REGIONAL_ID);
        EXPECT_EQ(f.radio.Written(),
                  c.endSent ? test::Join({request, test::kEndExchange}) : request);
        EXPECT_EQ(f.observer.events.at(1), "Reading Regional Identifier (1 of 1)");
        f.ExpectPortReleased();
    }
}

TEST(EsnReadBack, IsDoneOnlyForTheEsnWrittenAndSaysWhatDiffers) {
    const EsnFields written{130, 5, 123456};
    const struct {
        const char* name;
        std::vector<int> answer;
        Outcome outcome;
        std::optional<bool> verified;
        std::vector<std::string> messages;
    } cases[] = {
        // 130/05/123456 in the read form: 82 51 E2 40, then the check byte.
        {"same",
         ReadAnswer(std::vector<int>{0x82, 0x51, 0xE2, 0x40, 0x4C}),
         Outcome::Done,
         true,
         {}},
        // Bits 3 and 2 of the second byte and the check byte are no part of the ESN.
        {"same, other spare bits",
         ReadAnswer(std::vector<int>{0x82, 0x5D, 0xE2, 0x40, 0x00}),
         Outcome::Done,
         true,
         {}},
        {"other",
         ReadAnswer(std::vector<int>{0x82, 0x51, 0xE2, 0x41, 0x4C}),
         Outcome::Refused,
         false,
         {"The ESN read back, 130/05/123457, differs from the ESN written, 130/05/123456."}},
        {"blank",
         ReadAnswer(std::vector<int>{0, 0, 0, 0, 0}),
         Outcome::Refused,
         false,
         {"The ESN read back, 000/00/000000, differs from the ESN written, 130/05/123456."}},
        {"four bytes",
         ReadAnswer(std::vector<int>{0x82, 0x51, 0xE2, 0x40}),
         Outcome::Refused,
         false,
         {"The ESN format of the connected radio is not supported."}},
        {"silent", {}, Outcome::LinkFailed, std::nullopt, {"No response from radio."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProcedureFixture f;
        f.radio.line.Answer(c.answer);
        f.radio.line.Answer(kAck);
        const EsnReadBackResult result = ReadEsnBack(f.session, written);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.verified, c.verified);
        std::vector<std::string> texts;
        for (const auto& message : f.radio.reporter.Messages()) {
            EXPECT_EQ(message.kind, MSG_ERROR);
            EXPECT_EQ(message.caption, "Error");
            texts.push_back(message.text);
        }
        EXPECT_EQ(texts, c.messages);
        EXPECT_EQ(f.observer.events.at(1), "Reading ESN back (1 of 1)");
        f.ExpectPortReleased();
    }
}

}  // namespace
}  // namespace varnel
