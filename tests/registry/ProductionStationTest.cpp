// The production station against the scripted line, on every registry backend: what each radio
// gives, what goes on the line, and what the registry holds afterwards.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "radio/Catalogue.h"
#include "registry/EsnRegistry.h"
#include "strings/StringTable.h"
#include "tests/registry/RegistryBackends.h"
#include "tests/support/ScriptedSession.h"
#include "usecases/ProductionStation.h"

namespace varnel {
namespace {

using test::Concat;
using test::Frame;
using test::kAck;
using test::ReadAnswer;
using test::RegistryBackend;

using Answers = std::vector<std::vector<int>>;
using Bytes = std::vector<std::uint8_t>;

const std::vector<int> kBlank = {0, 0, 0, 0, 0};
const std::vector<int> kFirstOfPool = {0x82, 0x51, 0xE2, 0x40, 0x4C};  // 130/05/123456
const std::vector<int> kOther = {0x82, 0x51, 0xE2, 0x41, 0x00};        // 130/05/123457
const std::vector<int> kWritePayload = {0x01, 0x82, 0x51, 0xE2, 0x40, 0x4C};
const std::string kEsn = "130/05/123456";

// The three exchanges of a radio that goes well, each ended.
Answers BlankTest(const std::vector<int>& esn = kBlank) {
    return {ReadAnswer("SN-0042"), ReadAnswer(esn), kAck};
}
Answers Write(const std::vector<int>& reply = Concat({kAck, test::kWriteOk})) {
    return {reply, kAck};
}
// A write the radio acknowledges and never answers; the exchange is still ended.
Answers LostWrite() {
    return {kAck, kAck};
}
Answers ReadBack(const std::vector<int>& esn = kFirstOfPool) {
    return {ReadAnswer(esn), kAck};
}
Answers All(std::initializer_list<Answers> parts) {
    Answers all;
    for (const Answers& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

Bytes Request(const std::vector<std::uint8_t>& frame) {
    return frame;
}
Bytes Joined(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}
const Bytes kEnd = {0xF1, 0x10, 0xFE};
const Bytes kBlankTestBytes = Joined(
    {Request(test::ReadRequest(PARAM_SERIAL_NUMBER)), Request(test::ReadRequest(PARAM_ESN)), kEnd});
const Bytes kWriteBytes = Joined({test::WriteRequest(kWritePayload), kEnd});
const Bytes kReadBackBytes = Joined({Request(test::ReadRequest(PARAM_ESN)), kEnd});

struct StationCase {
    const char* name;
    std::string typed;  // empty: the next ESN of the pool
    std::function<void(IEsnRegistry&)> arrange;
    Answers answers;
    StationVerdict verdict;
    std::string esn;  // the ESN the radio is recorded with
    Bytes written;
    std::optional<EsnState> kept;  // what the registry holds of kEsn afterwards
    std::vector<std::string> reasonHolds;
};

const StationCase kCases[] = {
    {"Pass",
     "",
     nullptr,
     All({BlankTest(), Write(), ReadBack()}),
     StationVerdict::Pass,
     kEsn,
     Joined({kBlankTestBytes, kWriteBytes, kReadBackBytes}),
     EsnState::Confirmed,
     {}},
    {"TypedEsnPasses",
     "130/05/123456",
     nullptr,
     All({BlankTest(), Write(), ReadBack()}),
     StationVerdict::Pass,
     kEsn,
     Joined({kBlankTestBytes, kWriteBytes, kReadBackBytes}),
     EsnState::Confirmed,
     {}},
    {"NotBlankUsesUpNoEsn",
     "",
     nullptr,
     BlankTest(kOther),
     StationVerdict::Fail,
     "",
     kBlankTestBytes,
     std::nullopt,
     {"An ESN has already been programmed to the connected radio."}},
    {"LostReplyKeepsTheEsnUnconfirmed",
     "",
     nullptr,
     All({BlankTest(), LostWrite()}),
     StationVerdict::Unconfirmed,
     kEsn,
     Joined({kBlankTestBytes, kWriteBytes}),
     EsnState::Unconfirmed,
     {"No response from radio.", "Read the radio with Radio Info"}},
    {"DifferingReadBackKeepsTheEsnUnconfirmed",
     "",
     nullptr,
     All({BlankTest(), Write(), ReadBack(kOther)}),
     StationVerdict::Unconfirmed,
     kEsn,
     Joined({kBlankTestBytes, kWriteBytes, kReadBackBytes}),
     EsnState::Unconfirmed,
     {"The ESN read back, 130/05/123457, differs from the ESN written, 130/05/123456.",
      "Read the radio with Radio Info"}},
    {"CleanRefusalFreesTheEsn",
     "",
     nullptr,
     All({BlankTest(), Write(Concat({kAck, Frame(135, {1})}))}),
     StationVerdict::Fail,
     "",
     Joined({kBlankTestBytes, kWriteBytes}),
     std::nullopt,
     {}},
    {"ExhaustedPoolSendsNoWrite",
     "",
     [](IEsnRegistry& registry) {
         for (int field3 : {123456, 123457}) {
             ASSERT_EQ(registry.Reserve({130, 5, field3}, {"elsewhere", "", "", ""}).status,
                       ReserveStatus::Reserved);
         }
     },
     BlankTest(),
     StationVerdict::Fail,
     "",
     kBlankTestBytes,
     EsnState::Sending,
     {"The ESN pool line-a has no free ESN left."}},
    {"TypedEsnThatIsHeldSendsNoWrite",
     "130/05/123456",
     [](IEsnRegistry& registry) {
         ASSERT_EQ(registry.Reserve({130, 5, 123456}, {"bench-3", "", "", ""}).status,
                   ReserveStatus::Reserved);
     },
     BlankTest(),
     StationVerdict::Fail,
     "",
     kBlankTestBytes,
     EsnState::Sending,
     {"bench-3"}},
    {"TypedTextThatIsNoEsnSendsNothing",
     "130/05",
     nullptr,
     {},
     StationVerdict::Fail,
     "",
     {},
     std::nullopt,
     {"Invalid ESN"}},
};

class Station : public ::testing::TestWithParam<RegistryBackend> {
protected:
    std::unique_ptr<IEsnRegistry> OpenFresh() {
        RegistryError error;
        auto registry = OpenEsnRegistry(GetParam().freshLocation(), error);
        EXPECT_TRUE(registry) << error.message;
        if (registry) {
            EXPECT_FALSE(registry->AddPool("line-a", {130, 5, 123456}, {130, 5, 123457}));
        }
        return registry;
    }
};

TEST_P(Station, EachRadioEndsAsItsLineSaysAndTheRegistryKeepsWhatTheRadioMayHold) {
    for (const StationCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const auto registry = OpenFresh();
        ASSERT_TRUE(registry);
        if (c.arrange) {
            c.arrange(*registry);
        }
        test::ScriptedRadio radio;
        for (const auto& answer : c.answers) {
            radio.line.Answer(answer);
        }
        Session session = radio.MakeSession();
        session.registry = registry.get();
        session.origin.station = "station-1";
        CProductionStation station([] { return std::string("2026-12-10T08:00:00.000Z"); });

        const StationSource source{c.typed.empty() ? "line-a" : ""};
        const StationRadio result = station.Program(session, source, c.typed);

        EXPECT_EQ(StationVerdictWord(result.verdict), StationVerdictWord(c.verdict))
            << result.reason;
        EXPECT_EQ(result.esn, c.esn);
        EXPECT_EQ(result.serialNumber, c.answers.empty() ? "" : "SN-0042");
        EXPECT_EQ(radio.Written(), c.written);
        for (const std::string& part : c.reasonHolds) {
            EXPECT_NE(result.reason.find(part), std::string::npos) << result.reason;
        }
        EXPECT_EQ(result.reason.empty(), c.verdict == StationVerdict::Pass) << result.reason;
        // Nothing reaches a message box: the station shows it all in one place.
        EXPECT_TRUE(radio.reporter.Messages().empty());
        EXPECT_EQ(radio.log.live, 0);

        RegistryError error;
        const auto entry = registry->Find(kEsn, error);
        ASSERT_EQ(error.message, "");
        ASSERT_EQ(entry.has_value(), c.kept.has_value());
        if (entry) {
            EXPECT_EQ(EsnStateWord(entry->state), EsnStateWord(*c.kept));
            if (!c.esn.empty()) {
                EXPECT_EQ(entry->origin.radioSerial, "SN-0042");
                EXPECT_EQ(entry->origin.station, "station-1");
            }
        }
        ASSERT_EQ(station.Shift().size(), 1u);
        EXPECT_EQ(station.Shift()[0].esn, c.esn);
    }
}

// A restarted station shows the radios that were given an ESN, counted as before, and the CSV
// of its shift reads back line by line.
TEST_P(Station, TheShiftIsReadBackFromTheRegistryAfterARestartAndExportsAsCsv) {
    const auto registry = OpenFresh();
    ASSERT_TRUE(registry);
    test::ScriptedRadio radio;
    for (const auto& answer : All({BlankTest(), Write(), ReadBack(),  // passes: 123456
                                   BlankTest(), LostWrite(),          // unconfirmed: 123457
                                   BlankTest(kOther)})) {             // fails: not blank
        radio.line.Answer(answer);
    }
    Session session = radio.MakeSession();
    session.registry = registry.get();
    session.origin.station = "station-1";
    {
        CProductionStation station;
        for (int i = 0; i < 3; ++i) {
            station.Program(session, {"line-a"});
        }
        const StationCounts counts = station.Counts();
        EXPECT_EQ(counts.passed, 1);
        EXPECT_EQ(counts.unconfirmed, 1);
        EXPECT_EQ(counts.failed, 1);
    }
    // Another station's radio is not this station's shift.
    ASSERT_EQ(registry->Reserve({131, 0, 1}, {"station-2", "", "", "SN-9"}).status,
              ReserveStatus::Reserved);

    CProductionStation restarted;
    RegistryError error;
    ASSERT_TRUE(restarted.LoadShift(*registry, "station-1", error)) << error.message;
    ASSERT_EQ(restarted.Shift().size(), 2u);
    EXPECT_EQ(restarted.Shift()[0].esn, "130/05/123457");  // newest first
    EXPECT_EQ(restarted.Shift()[0].verdict, StationVerdict::Unconfirmed);
    EXPECT_EQ(restarted.Shift()[1].esn, kEsn);
    EXPECT_EQ(restarted.Shift()[1].verdict, StationVerdict::Pass);
    EXPECT_EQ(restarted.Shift()[1].serialNumber, "SN-0042");
    EXPECT_EQ(restarted.Counts().passed, 1);
    EXPECT_EQ(restarted.Counts().unconfirmed, 1);

    const std::string csv = restarted.ShiftCsv();
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < csv.size();) {
        const std::size_t end = csv.find('\n', start);
        ASSERT_NE(end, std::string::npos) << "the last line is not ended";
        lines.push_back(csv.substr(start, end - start));
        start = end + 1;
    }
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "time,serial_number,esn,result,reason");
    EXPECT_EQ(lines[1], restarted.Shift()[1].time + ",SN-0042,130/05/123456,PASS,");
    // The reason holds a comma: quoted.
    EXPECT_EQ(
        lines[2].rfind(restarted.Shift()[0].time + ",SN-0042,130/05/123457,UNCONFIRMED,\"", 0), 0u)
        << lines[2];
}

// Both windows ask the station which key runs a radio: Enter and Space, once per press, never
// Space typed into a field nor a key meant for another button.
TEST(StationKeys, EnterAndSpaceRunOncePerPressWhereTheyAreNotAnotherControlsOwn) {
    using enum StationKeyFocus;
    const struct {
        StationKey key;
        bool repeat, modified;
        StationKeyFocus focus;
        StationKeyAction expected;
    } cases[] = {
        {StationKey::Enter, false, false, RunButton, StationKeyAction::Run},
        {StationKey::Enter, false, false, TextField, StationKeyAction::Run},
        {StationKey::Enter, false, false, Elsewhere, StationKeyAction::Run},
        {StationKey::Space, false, false, RunButton, StationKeyAction::Run},
        {StationKey::Space, false, false, Elsewhere, StationKeyAction::Run},
        {StationKey::Space, false, false, TextField, StationKeyAction::Pass},
        {StationKey::Enter, false, false, OtherButton, StationKeyAction::Pass},
        {StationKey::Space, false, false, OtherButton, StationKeyAction::Pass},
        {StationKey::Enter, false, true, Elsewhere, StationKeyAction::Pass},
        {StationKey::Enter, true, false, RunButton, StationKeyAction::Swallow},
        {StationKey::Space, true, false, TextField, StationKeyAction::Swallow},
        {StationKey::Enter, true, false, OtherButton, StationKeyAction::Swallow},
        {StationKey::Other, false, false, Elsewhere, StationKeyAction::Pass},
        {StationKey::Other, true, false, RunButton, StationKeyAction::Pass},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StationKeyActionOf(c.key, c.repeat, c.modified, c.focus), c.expected)
            << static_cast<int>(c.key) << " repeat=" << c.repeat << " modified=" << c.modified
            << " focus=" << static_cast<int>(c.focus);
    }
    // A station's name as typed: the blanks around it go, and none at all is the host's name.
    EXPECT_EQ(StationSetupOf({"line-a"}, "  bench 7\t").station, "bench 7");
    EXPECT_EQ(StationSetupOf({}, " \t ").station, StationSetupOf({}, "").station);
    EXPECT_FALSE(StationSetupOf({}, "").station.empty());
}

std::string BackendName(const ::testing::TestParamInfo<RegistryBackend>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Backends, Station, ::testing::ValuesIn(test::RegistryBackends()),
                         BackendName);

}  // namespace
}  // namespace varnel
