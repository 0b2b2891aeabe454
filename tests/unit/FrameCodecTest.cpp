#include <gtest/gtest.h>

#include <ostream>

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "link/RadioLink.h"
#include "strings/StringTable.h"
#include "tests/support/FakeClock.h"
#include "tests/support/ScriptedSession.h"

namespace varnel {
namespace {

using test::FakeClock;
using test::RecordingReporter;
using test::ScriptedPort;

std::vector<std::uint8_t> Range(int count) {
    std::vector<std::uint8_t> v;
    for (int i = 0; i < count; ++i) {
        v.push_back(static_cast<std::uint8_t>(i));
    }
    return v;
}

std::vector<std::uint8_t> Bytes(std::initializer_list<int> list) {
    std::vector<std::uint8_t> v;
    for (int b : list) {
        v.push_back(static_cast<std::uint8_t>(b));
    }
    return v;
}

std::vector<std::uint8_t> Cat(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class FrameCodec : public ::testing::Test, protected test::ScriptedLink {
protected:
    RadioStatus Receive(std::uint32_t timeout = 1000) {
        return link.ReceiveFrame(opcode, payload, length, timeout);
    }

    std::uint8_t opcode = 0xEE;
    std::uint8_t payload[CRadioLink::kMaxPayload] = {};
    std::uint32_t length = 0xDEAD;
};

TEST(Checksum, ComplementsTheByteSum) {
    const std::uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(CRadioLink::Checksum(abc, 3), 0xD9);
    EXPECT_EQ(CRadioLink::Checksum(nullptr, 0), 0xFF);
}

struct SendCase {
    int opcode;
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t> wire;
    std::int64_t echoTimeout;
};

void PrintTo(const SendCase& c, std::ostream* os) {
    *os << "opcode " << c.opcode << " with " << c.data.size() << " data bytes";
}

class SendFrameTable : public FrameCodec, public ::testing::WithParamInterface<SendCase> {};

// Each frame goes out in its shortest form, and the echo receive waits (L + 4) x 250 ms: with
// no echo and 1 ms reads, the first empty read past t0 + timeout + 1 ends it.
TEST_P(SendFrameTable, WritesTheFrameAndWaitsForItsEcho) {
    const SendCase& c = GetParam();
    port.SetEcho(false);
    port.SetReadTimeout(1);
    const std::int64_t start = clock.NowMs();
    link.SendFrame(static_cast<std::uint8_t>(c.opcode), c.data.data(),
                   static_cast<std::uint32_t>(c.data.size()));
    EXPECT_EQ(port.Written(), c.wire);
    EXPECT_EQ(link.m_status, RadioStatus::NoResponse);
    EXPECT_EQ(clock.NowMs() - start, c.echoTimeout + 2);
    EXPECT_EQ(reporter.Ids(), std::vector<int>{IDS_NO_RESPONSE});
}

INSTANTIATE_TEST_SUITE_P(
    Forms, SendFrameTable,
    ::testing::Values(
        SendCase{16, {}, Bytes({0xF1, 0x10, 0xFE}), 1000},
        SendCase{35, Bytes({0x02}), Bytes({0xF2, 0x23, 0x02, 0xE8}), 1250},
        SendCase{24, Bytes({1, 2, 3, 4, 5, 6}), Bytes({0xF7, 0x18, 1, 2, 3, 4, 5, 6, 0xDB}), 2500},
        SendCase{5, {}, Bytes({0x50}), 1000},
        SendCase{3, Bytes({0xAA, 0xBB}), Bytes({0x33, 0xAA, 0xBB, 0x67}), 1500},
        // Thirteen data bytes still fit the header's nibble (N = 14)...
        SendCase{3, Range(13), Cat(Cat(Bytes({0x3E}), Range(13)), Bytes({0x73})), 4250},
        // ...fourteen need the two length bytes.
        SendCase{3, Range(14), Cat(Cat(Bytes({0x3F, 0x00, 0x0F}), Range(14)), Bytes({0x56})), 4500},
        SendCase{3, Range(20), Cat(Cat(Bytes({0x3F, 0x00, 0x15}), Range(20)), Bytes({0xED})), 6000},
        SendCase{139, Range(20),
                 Cat(Cat(Bytes({0xFF, 0x8B, 0x00, 0x15}), Range(20)), Bytes({0xA2})), 6000}));

struct LimitCase {
    const char* name;
    int opcode;
    std::uint32_t length;
    bool nullData;
    bool sent;
};

void PrintTo(const LimitCase& c, std::ostream* os) {
    *os << c.name;
}

class SendFrameLimit : public FrameCodec, public ::testing::WithParamInterface<LimitCase> {};

// The longest frame a receiver takes is 261 bytes; anything longer is refused before a byte
// goes out, however long the caller's buffer is.
TEST_P(SendFrameLimit, SendsUpToTheLongestFrameAndRefusesMore) {
    const LimitCase& c = GetParam();
    static const std::vector<std::uint8_t> data(300, 0x41);  // never read past what is sent
    link.SendFrame(static_cast<std::uint8_t>(c.opcode), c.nullData ? nullptr : data.data(),
                   c.length);
    if (c.sent) {
        EXPECT_EQ(link.m_status, RadioStatus::Ok);  // its echo came back whole
        EXPECT_EQ(port.Written().size(), CRadioLink::kRxBufferSize);
    } else {
        EXPECT_EQ(link.m_status, RadioStatus::TooLong);
        EXPECT_TRUE(port.Written().empty());
        EXPECT_EQ(port.Purges(), 0);
    }
    EXPECT_TRUE(reporter.Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(Lengths, SendFrameLimit,
                         ::testing::Values(LimitCase{"Data257Opcode14", 14, 257, false, true},
                                           LimitCase{"Data258Opcode14", 14, 258, false, false},
                                           LimitCase{"Data256Opcode15", 15, 256, false, true},
                                           LimitCase{"Data257Opcode15", 15, 257, false, false},
                                           LimitCase{"Data257Opcode139", 139, 257, false, false},
                                           LimitCase{"LengthFieldLimit", 3, 65534, false, false},
                                           LimitCase{"LargestLength", 3, 0xFFFFFFFF, false, false},
                                           LimitCase{"NoDataButALength", 3, 1, true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FrameCodec, SendFrameDropsAGoodEchoAndPurgesInputFirst) {
    port.Feed({0x99, 0x98});  // stale bytes from before the request
    const std::uint8_t id = 2;
    link.SendFrame(35, &id, 1);
    EXPECT_EQ(link.m_status, RadioStatus::Ok);
    EXPECT_EQ(port.Purges(), 1);
    EXPECT_EQ(port.Pending(), 0u);
    EXPECT_TRUE(reporter.Messages().empty());
}

TEST_F(FrameCodec, NoPortReportsAndTouchesNothing) {
    link.m_pPort = nullptr;
    const std::uint8_t id = 2;
    link.SendFrame(35, &id, 1);
    EXPECT_EQ(link.m_status, RadioStatus::NoPort);
    EXPECT_EQ(Receive(), RadioStatus::NoPort);
    EXPECT_EQ(reporter.Ids(), (std::vector<int>{IDS_NO_PORT, IDS_NO_PORT}));
    EXPECT_TRUE(port.Written().empty());
    EXPECT_EQ(opcode, 0xEE);
    EXPECT_EQ(length, 0xDEADu);
}

struct ReceiveCase {
    const char* name;
    std::vector<int> input;
    int opcode;
    std::vector<std::uint8_t> payload;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const ReceiveCase& c, std::ostream* os) {
    *os << c.name;
}

class ReceiveGood : public FrameCodec, public ::testing::WithParamInterface<ReceiveCase> {};

TEST_P(ReceiveGood, DeliversOpcodeAndPayload) {
    const ReceiveCase& c = GetParam();
    port.Feed(c.input);
    ASSERT_EQ(Receive(), RadioStatus::Ok);
    EXPECT_EQ(opcode, c.opcode);
    ASSERT_EQ(length, c.payload.size());
    EXPECT_EQ(std::vector<std::uint8_t>(payload, payload + length), c.payload);
    EXPECT_TRUE(reporter.Messages().empty());
    EXPECT_EQ(port.EmptyReads(), 0);  // complete at once, no waiting on the line
}

INSTANTIATE_TEST_SUITE_P(
    Frames, ReceiveGood,
    ::testing::Values(
        ReceiveCase{"OneByte", {0x50}, 5, {}},
        ReceiveCase{
            "EscapedLengthForSmallN", {0x3F, 0x00, 0x03, 0xAA, 0xBB, 0x58}, 3, Bytes({0xAA, 0xBB})},
        ReceiveCase{"NotSupportedNoPayload", {0xF1, 0x86, 0x88}, 134, {}},
        // Escaped headers can say N = 0: a frame with an empty payload, never N - 1 bytes.
        ReceiveCase{"EscapedOpcodeZeroLength", {0xF0, 0x0F}, 15, {}},
        ReceiveCase{"BothEscapedZeroLength", {0xFF, 0x00, 0x00, 0x00}, 0, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FrameCodec, LongestFrameIsAcceptedAndOneMoreByteIsTooLong) {
    // 3 header bytes + 257 data + checksum = 261 bytes.
    std::vector<int> longest = test::Frame(3, std::vector<int>(257, 0x41));
    ASSERT_EQ(longest.size(), 261u);
    port.Feed(longest);
    ASSERT_EQ(Receive(), RadioStatus::Ok);
    EXPECT_EQ(length, 257u);

    // A frame two bytes longer: the 262nd byte arrives before completion and is dropped, the
    // 263rd stays in the input.
    std::vector<int> tooLong = test::Frame(3, std::vector<int>(259, 0x41));
    port.Feed(tooLong);
    opcode = 0xEE;
    length = 0xDEAD;
    EXPECT_EQ(Receive(), RadioStatus::TooLong);
    EXPECT_EQ(reporter.Ids(), std::vector<int>{IDS_MESSAGE_TOO_LONG});
    EXPECT_EQ(port.Purges(), 0);
    EXPECT_EQ(port.Pending(), 1u);  // the byte after the dropped one stays queued
    EXPECT_EQ(opcode, 0xEE);
    EXPECT_EQ(length, 0xDEADu);
}

struct FailureCase {
    const char* name;
    std::vector<int> input;
    RadioStatus status;
    int message;
    int purges;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class ReceiveBad : public FrameCodec, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ReceiveBad, ReportsOnceAndLeavesOutputsAlone) {
    const FailureCase& c = GetParam();
    port.Feed(c.input);
    payload[0] = 0x77;
    EXPECT_EQ(Receive(), c.status);
    EXPECT_EQ(link.m_status, c.status);
    EXPECT_EQ(reporter.Ids(), std::vector<int>{c.message});
    EXPECT_EQ(reporter.Messages()[0].caption, "Error");
    EXPECT_EQ(port.Purges(), c.purges);
    EXPECT_EQ(opcode, 0xEE);
    EXPECT_EQ(length, 0xDEADu);
    EXPECT_EQ(payload[0], 0x77);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, ReceiveBad,
    ::testing::Values(
        FailureCase{"ChecksumOfEmptyFrame",
                    {0xF0, 0x10},
                    RadioStatus::ChecksumError,
                    IDS_CHECKSUM_ERROR,
                    0},
        FailureCase{"BadChecksum",
                    {0x33, 0xAA, 0xBB, 0x68},
                    RadioStatus::ChecksumError,
                    IDS_CHECKSUM_ERROR,
                    0},
        FailureCase{
            "HeaderThenSilence", {0x8B}, RadioStatus::Incomplete, IDS_MESSAGE_INCOMPLETE, 1},
        FailureCase{"SilenceInsideBody",
                    {0x33, 0xAA, ScriptedPort::kGap, 0xBB, 0x67},
                    RadioStatus::Incomplete,
                    IDS_MESSAGE_INCOMPLETE,
                    1},
        FailureCase{"Nothing", {}, RadioStatus::NoResponse, IDS_NO_RESPONSE, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FrameCodec, IncompleteEndsAtTheFirstEmptyReadAfterABytes) {
    port.Feed({0x8B});
    EXPECT_EQ(Receive(5000), RadioStatus::Incomplete);
    EXPECT_EQ(port.EmptyReads(), 1);
}

TEST_F(FrameCodec, WaitForFirstByteLastsUntilTheTimeoutHasPassed) {
    // Reads of 1000 ms: 1000 is not past 1251, 2000 is.
    port.Feed({ScriptedPort::kGap, 0x50});
    EXPECT_EQ(Receive(1250), RadioStatus::Ok);
    EXPECT_EQ(clock.NowMs(), 1000);
    port.Feed({ScriptedPort::kGap, ScriptedPort::kGap, 0x50});
    EXPECT_EQ(Receive(1250), RadioStatus::NoResponse);
    EXPECT_EQ(clock.NowMs(), 3000);
}

TEST_F(FrameCodec, NoDestinationWritesOnlyTheOpcode) {
    port.Feed({0x33, 0xAA, 0xBB, 0x67});
    EXPECT_EQ(link.ReceiveFrame(opcode, nullptr, length, 1000), RadioStatus::Ok);
    EXPECT_EQ(opcode, 3);
    EXPECT_EQ(length, 0xDEADu);
}

TEST_F(FrameCodec, DeadlinesHoldPastTheSignedThirtyTwoBitWrap) {
    // 24.8 days into a run: a 32-bit tick count would wrap inside this receive and its deadline
    // would never pass.
    FakeClock late(std::numeric_limits<std::int32_t>::max() - 500);
    ScriptedPort latePort(late);
    link.m_pClock = &late;
    link.m_pPort = &latePort;
    EXPECT_EQ(Receive(1000), RadioStatus::NoResponse);
    EXPECT_EQ(latePort.EmptyReads(), 2);
}

}  // namespace
}  // namespace varnel
