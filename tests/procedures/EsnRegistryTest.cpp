// Every ESN write goes through the registry: reserved before the frame leaves, settled after.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "procedures/EsnProgramming.h"
#include "strings/StringTable.h"
#include "tests/procedures/ProcedureFixture.h"

namespace varnel {
namespace {

using test::Concat;
using test::Frame;
using test::Join;
using test::kAck;
using test::kEndExchange;
using test::ProcedureFixture;

const std::vector<int> kPayload = {0x01, 0x82, 0x51, 0xE2, 0x40, 0x4C};  // 130/05/123456
const std::string kEsn = "130/05/123456";

// What the registry holds of the ESN after the write: nothing, or an entry in a state.
using Kept = std::optional<EsnState>;

struct RegistryCase {
    const char* name;
    std::function<void(ProcedureFixture&)> arrange;
    std::vector<int> answer;  // to the write request
    Outcome outcome;
    bool sent;                             // the write frame went out
    std::optional<Settlement> settlement;  // nullopt: never reserved
    Kept kept;
    std::vector<int> messages;
};
void PrintTo(const RegistryCase& c, std::ostream* os) {
    *os << c.name;
}

void HeldBy(ProcedureFixture& f, EsnState state) {
    EsnEntry entry;
    entry.esn = kEsn;
    entry.state = state;
    entry.origin.station = "bench-3";
    entry.reservedAt = "2026-12-09T08:15:00.000Z";
    f.registry.entries[kEsn] = entry;
}

class EsnWriteRegistry : public ::testing::TestWithParam<RegistryCase> {};

TEST_P(EsnWriteRegistry, ReservesBeforeSendingAndSettlesAsTheReplySays) {
    const RegistryCase& c = GetParam();
    ProcedureFixture f;
    f.session.origin.station = "bench-1";
    // Whatever the case, nothing is on the line when the registry is asked.
    f.registry.onReserve = [&] {
        EXPECT_TRUE(f.radio.Written().empty());
        EXPECT_TRUE(f.radio.log.opened.empty());
    };
    if (c.arrange) {
        c.arrange(f);
    }
    f.radio.line.Answer(c.answer);
    f.radio.line.Answer(kAck);
    const EsnWriteResult result = ProgramEsn(f.session, EsnFields{130, 5, 123456});

    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.requestSent, c.sent);
    if (c.sent) {
        EXPECT_EQ(f.radio.Written(), Join({test::WriteRequest(kPayload), kEndExchange}));
    } else if (!result.esn) {
        // Refused by the registry: the port was never opened.
        EXPECT_TRUE(f.radio.log.opened.empty());
    }
    if (!c.sent) {
        EXPECT_TRUE(f.radio.Written().empty());
    }
    EXPECT_EQ(result.settlement, c.settlement);
    const auto entry = f.registry.entries.find(kEsn);
    EXPECT_EQ(entry == f.registry.entries.end() ? Kept() : Kept(entry->second.state), c.kept);
    if (c.settlement) {
        EXPECT_EQ(f.registry.calls.back(),
                  "settle " + kEsn + " " + test::MemoryRegistry::SettlementWord(*c.settlement));
    }
    EXPECT_EQ(f.radio.reporter.Ids(), c.messages);
    f.ExpectPortReleased();
}

INSTANTIATE_TEST_SUITE_P(
    Replies, EsnWriteRegistry,
    ::testing::Values(
        RegistryCase{"Acknowledged",
                     nullptr,
                     Concat({kAck, test::kWriteOk}),
                     Outcome::Done,
                     true,
                     Settlement::Confirmed,
                     EsnState::Confirmed,
                     {IDS_ESN_PROGRAMMED}},
        RegistryCase{"RefusedByTheRadio",
                     nullptr,
                     Concat({kAck, Frame(135, {1})}),
                     Outcome::Refused,
                     true,
                     Settlement::Freed,
                     Kept(),
                     {IDS_ESN_PROGRAM_FAILED}},
        RegistryCase{"NotSupported",
                     nullptr,
                     Concat({kAck, test::kNotSupported}),
                     Outcome::Refused,
                     true,
                     Settlement::Freed,
                     Kept(),
                     {IDS_NOT_SUPPORTED, IDS_ESN_PROGRAM_FAILED}},
        RegistryCase{"Nak",
                     nullptr,
                     test::kNak,
                     Outcome::Refused,
                     true,
                     Settlement::Unconfirmed,
                     EsnState::Unconfirmed,
                     {IDS_NAK_RECEIVED, IDS_ESN_PROGRAM_FAILED, IDS_ESN_UNCONFIRMED}},
        RegistryCase{"LostReply",
                     nullptr,
                     kAck,
                     Outcome::LinkFailed,
                     true,
                     Settlement::Unconfirmed,
                     EsnState::Unconfirmed,
                     {IDS_NO_RESPONSE, IDS_ESN_PROGRAM_FAILED, IDS_ESN_UNCONFIRMED}},
        RegistryCase{"GarbledReply",
                     nullptr,
                     Concat({kAck, {0xF2, 0x87, 0x00, 0x00}}),
                     Outcome::LinkFailed,
                     true,
                     Settlement::Unconfirmed,
                     EsnState::Unconfirmed,
                     {IDS_CHECKSUM_ERROR, IDS_ESN_PROGRAM_FAILED, IDS_ESN_UNCONFIRMED}},
        RegistryCase{"UnexpectedReplyAfterTheAcknowledge",
                     nullptr,
                     Concat({kAck, Frame(139, {0})}),
                     Outcome::LinkFailed,
                     true,
                     Settlement::Unconfirmed,
                     EsnState::Unconfirmed,
                     {IDS_UNEXPECTED_RESPONSE, IDS_ESN_PROGRAM_FAILED, IDS_ESN_UNCONFIRMED}},
        RegistryCase{"PortNotOpened",
                     [](ProcedureFixture& f) { f.radio.portAvailable = false; },
                     {},
                     Outcome::PortNotOpened,
                     false,
                     Settlement::Freed,
                     Kept(),
                     {IDS_PORT_OPEN_FAILED}},
        RegistryCase{"HeldConfirmed",
                     [](ProcedureFixture& f) { HeldBy(f, EsnState::Confirmed); },
                     {},
                     Outcome::Refused,
                     false,
                     std::nullopt,
                     EsnState::Confirmed,
                     {IDS_ESN_HELD}},
        RegistryCase{"HeldSending",
                     [](ProcedureFixture& f) { HeldBy(f, EsnState::Sending); },
                     {},
                     Outcome::Refused,
                     false,
                     std::nullopt,
                     EsnState::Sending,
                     {IDS_ESN_HELD}},
        RegistryCase{"ReleasedIsFree",
                     [](ProcedureFixture& f) { HeldBy(f, EsnState::Released); },
                     Concat({kAck, test::kWriteOk}),
                     Outcome::Done,
                     true,
                     Settlement::Confirmed,
                     EsnState::Confirmed,
                     {IDS_ESN_PROGRAMMED}},
        RegistryCase{"RegistryUnusable",
                     [](ProcedureFixture& f) {
                         f.registry.failReserve = RegistryError{"database is locked"};
                     },
                     {},
                     Outcome::RegistryFailed,
                     false,
                     std::nullopt,
                     Kept(),
                     {IDS_REGISTRY_FAILED}},
        RegistryCase{"NoRegistry",
                     [](ProcedureFixture& f) { f.session.registry = nullptr; },
                     {},
                     Outcome::RegistryFailed,
                     false,
                     std::nullopt,
                     Kept(),
                     {IDS_REGISTRY_FAILED}},
        RegistryCase{
            "SettleFails",
            [](ProcedureFixture& f) { f.registry.failSettle = RegistryError{"disk full"}; },
            Concat({kAck, test::kWriteOk}),
            Outcome::Done,
            true,
            Settlement::Confirmed,
            EsnState::Sending,
            {IDS_ESN_PROGRAMMED, IDS_REGISTRY_SETTLE_FAILED}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EsnWriteRegistryMessages, NameTheHolderAndWhyTheRegistryFailed) {
    {
        ProcedureFixture f;
        HeldBy(f, EsnState::Unconfirmed);
        ProgramEsn(f.session, EsnFields{130, 5, 123456});
        ASSERT_EQ(f.radio.reporter.Messages().size(), 1u);
        EXPECT_EQ(f.radio.reporter.Messages()[0].text,
                  "The ESN 130/05/123456 is already in the ESN registry: unconfirmed since "
                  "2026-12-09T08:15:00.000Z on bench-3.\nTwo radios must never share an ESN. "
                  "Nothing has been sent to the radio.");
    }
    {
        ProcedureFixture f;
        f.registry.failReserve = RegistryError{"database is locked"};
        ProgramEsn(f.session, EsnFields{130, 5, 123456});
        ASSERT_EQ(f.radio.reporter.Messages().size(), 1u);
        EXPECT_EQ(f.radio.reporter.Messages()[0].detail, "database is locked");
    }
}

TEST(EsnWriteRegistryOrigin, TheEntryNamesStationAndTheSessionsPort) {
    ProcedureFixture f;
    f.session.origin.station = "bench-1";
    f.session.origin.user = "op";
    f.radio.line.Answer(Concat({kAck, test::kWriteOk}));
    f.radio.line.Answer(kAck);
    ProgramEsn(f.session, EsnFields{130, 5, 123456});
    const EsnEntry& entry = f.registry.entries.at(kEsn);
    EXPECT_EQ(entry.origin.station, "bench-1");
    EXPECT_EQ(entry.origin.user, "op");
    EXPECT_EQ(entry.origin.port, "COM1");
}

TEST(EsnWriteRegistryCancel, BeforeTheFrameFreesAfterItKeepsUnconfirmed) {
    {
        ProcedureFixture f;
        CancelToken cancel;
        f.session.cancel = &cancel;
        cancel.Cancel();
        const EsnWriteResult result = ProgramEsn(f.session, EsnFields{130, 5, 123456});
        EXPECT_EQ(result.outcome, Outcome::Cancelled);
        EXPECT_EQ(result.settlement, Settlement::Freed);
        EXPECT_TRUE(f.radio.Written().empty());
        EXPECT_TRUE(f.registry.entries.empty());
    }
    {
        ProcedureFixture f;
        CancelToken cancel;
        f.session.cancel = &cancel;
        test::CancelOnSilencePort cancelling(f.radio.line, cancel);
        f.radio.linePort = &cancelling;
        f.radio.line.Answer(kAck);
        const EsnWriteResult result = ProgramEsn(f.session, EsnFields{130, 5, 123456});
        EXPECT_EQ(result.outcome, Outcome::Cancelled);
        EXPECT_EQ(result.settlement, Settlement::Unconfirmed);
        EXPECT_EQ(f.registry.entries.at(kEsn).state, EsnState::Unconfirmed);
    }
}

TEST(EsnWriteFromPool, TakesTheLowestFreeEsnAndWritesThatOne) {
    ProcedureFixture f;
    f.registry.AddPool("line-a", EsnFields{130, 5, 123455}, EsnFields{130, 5, 123456});
    EsnEntry taken;
    taken.esn = "130/05/123455";
    taken.state = EsnState::Confirmed;
    f.registry.entries[taken.esn] = taken;
    f.radio.line.Answer(Concat({kAck, test::kWriteOk}));
    f.radio.line.Answer(kAck);
    const EsnWriteResult result = ProgramNextEsn(f.session, "line-a");
    EXPECT_EQ(result.outcome, Outcome::Done);
    ASSERT_TRUE(result.esn);
    EXPECT_EQ(FormatEsn(*result.esn), kEsn);
    EXPECT_EQ(f.radio.Written(), Join({test::WriteRequest(kPayload), kEndExchange}));
    EXPECT_EQ(f.registry.entries.at(kEsn).state, EsnState::Confirmed);
    EXPECT_EQ(f.registry.entries.at(kEsn).pool, "line-a");

    // Now used up: told, and nothing goes out.
    f.radio.reporter.Clear();
    const std::size_t written = f.radio.Written().size();
    const EsnWriteResult exhausted = ProgramNextEsn(f.session, "line-a");
    EXPECT_EQ(exhausted.outcome, Outcome::Refused);
    EXPECT_EQ(exhausted.reserve, ReserveStatus::Exhausted);
    EXPECT_EQ(f.radio.Written().size(), written);
    EXPECT_EQ(f.radio.reporter.Ids(), std::vector<int>{IDS_ESN_POOL_EXHAUSTED});
    EXPECT_EQ(f.radio.reporter.Messages()[0].text,
              "The ESN pool line-a has no free ESN left.\nNothing has been sent to the radio.");
}

TEST(CanonicalEsn, ReadsWhatTheRegistryWritesAndNothingElse) {
    ASSERT_TRUE(ParseCanonicalEsn("130/05/123456"));
    EXPECT_EQ(FormatEsn(*ParseCanonicalEsn("130/05/123456")), "130/05/123456");
    for (const char* bad : {"", "130/05", "130/05/123456/1", "256/0/1", "1/16/1", "1/1/0", "1//1",
                            "a/1/1", "1/1/262144"}) {
        EXPECT_FALSE(ParseCanonicalEsn(bad)) << bad;
    }
}

}  // namespace
}  // namespace varnel
