#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/RadioStream.h"
#include "link/BytePort.h"
#include "link/CancelToken.h"
#include "link/RadioLink.h"
#include "link/RadioStatus.h"
#include "tests/support/ScriptedSession.h"

// What the command checks and the procedure checks share: how a broken rule is told, the frame
// rules rebuilt independently of the link, the time a command may take, and the line the stream
// plays on.
namespace varnel::fuzz {

// Names what the checks are doing, for the report of a broken rule.
void SetRuleContext(const char* context);

// Prints the rule and where it broke, then aborts: that is how the fuzzer and the regression
// tests see it.
[[noreturn]] void BrokenRule(const char* rule, const char* file, int line);

#define STREAM_RULE(condition)                                          \
    do {                                                                \
        if (!(condition)) {                                             \
            ::varnel::fuzz::BrokenRule(#condition, __FILE__, __LINE__); \
        }                                                               \
    } while (0)

// A frame as the header rules make it out, decoded here independently of the link's receiver so
// that the two can be held against each other.
struct DecodedFrame {
    std::uint8_t opcode = 0;
    std::uint32_t headerSize = 0;
    std::uint32_t payloadSize = 0;
};

// True when bytes are exactly one whole frame with a correct checksum.
bool DecodeWholeFrame(const std::uint8_t* bytes, std::uint32_t count, DecodedFrame& frame);

// The frame the link received last (its receive buffer), kept after the link has moved on.
struct FrameSeen {
    std::vector<std::uint8_t> bytes;

    static FrameSeen Of(const CRadioLink& link);
    // Whether it is a whole frame; frame tells what it is.
    bool Whole(DecodedFrame& frame) const;
    // The whole frame with opcode, or false.
    bool Is(std::uint8_t opcode, DecodedFrame* frame = nullptr) const;
    // Its payload (empty when it is not a whole frame).
    std::vector<std::uint8_t> Payload() const;
};

// The frame the tool must put on the line for a request, built here from the frame rules.
std::vector<std::uint8_t> RequestBytes(std::uint8_t opcode, const std::vector<std::uint8_t>& data);

// The message a receive or command tells for status, 0 for none.
int MessageFor(RadioStatus status);
bool IsKnownStatus(RadioStatus status);
// Messages the link itself raises.
bool IsLinkMessage(int id);
// The link's messages for a line that failed: nothing, a broken frame, too much, an answer that
// makes no sense.
bool IsLinkFailureMessage(int id);
// The link's messages for a radio that answered but would not: NAK, "not supported".
bool IsRefusalMessage(int id);

// The longest a command may take: each receive its timeout and one more silent read, plus 251 ms
// for every byte that arrived (each byte restarts the between-bytes deadline), plus the waits.
std::int64_t LongestCommand(std::initializer_list<std::uint32_t> receiveTimeouts,
                            std::uint64_t bytes, std::int64_t readMs, std::int64_t waitMs);
// The same for the three commands, with the timeout of the echo of a request of dataLength bytes.
std::int64_t LongestRead(std::uint64_t bytes, std::int64_t readMs);
std::int64_t LongestWrite(std::uint32_t dataLength, std::uint64_t bytes, std::int64_t readMs);
std::int64_t LongestEnd(std::uint64_t bytes, std::int64_t readMs);

// Forwards to the scripted line and notes when bytes arrive (a receive may last until 251 ms
// after the last byte, so its deadline is only known from there); cancels the token, when there
// is one, once the tool has written the given number of bytes.
class TimedLine final : public IBytePort {
public:
    TimedLine(IBytePort& line, test::FakeClock& clock) : m_line(line), m_clock(clock) {}

    int ReadByte() override;
    int WriteByte(int value) override;
    void PurgeInput() override { m_line.PurgeInput(); }

    void CancelAfter(CancelToken* token, std::uint32_t written);

    std::uint64_t Bytes() const { return m_bytes; }
    std::int64_t LastByteAt() const { return m_lastByteAt; }

private:
    IBytePort& m_line;
    test::FakeClock& m_clock;
    std::uint64_t m_bytes = 0;
    std::int64_t m_lastByteAt = -1;
    CancelToken* m_cancel = nullptr;
    std::uint32_t m_cancelAt = 0;
    std::uint32_t m_written = 0;
};

// The stream on a scripted line in virtual time: its answers queued, its echo and read timeout
// set, and the cancel token it asks for. The radio's opener hands out the line to every
// procedure; the command checks attach it to the link themselves.
class FuzzLine {
public:
    explicit FuzzLine(const RadioStream& stream);
    FuzzLine(const FuzzLine&) = delete;
    FuzzLine& operator=(const FuzzLine&) = delete;

    CRadioLink& Link() { return radio.link; }
    std::int64_t Now() { return radio.clock.NowMs(); }
    std::int64_t ReadMs() const { return m_readMs; }
    const CancelToken* Cancel() const { return m_cancel.get(); }
    bool Cancelled() const { return m_cancel != nullptr && m_cancel->IsCancelled(); }
    std::size_t WrittenCount() const { return radio.Written().size(); }
    std::vector<std::uint8_t> WrittenSince(std::size_t from) const;
    std::size_t MessageCount() const { return radio.reporter.Messages().size(); }
    std::vector<int> MessagesSince(std::size_t from) const;

    test::ScriptedRadio radio;
    TimedLine timed{radio.line, radio.clock};

private:
    std::unique_ptr<CancelToken> m_cancel;
    std::int64_t m_readMs = 0;
};

}  // namespace varnel::fuzz
