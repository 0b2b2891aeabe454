#include "fuzz/RadioStream.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/InfoSequence.h"
#include "link/RadioLink.h"
#include "radio/Esn.h"
#include "strings/StringTable.h"
#include "tests/support/FakeClock.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/ScriptedPort.h"

namespace varnel::fuzz {
namespace {

constexpr std::uint8_t kOptionEcho = 0x01;
constexpr std::uint8_t kOptionShortReads = 0x02;
constexpr std::uint8_t kChunkCountMask = 0x3F;
constexpr std::uint8_t kChunkSilenceFirst = 0x40;
constexpr std::uint8_t kChunkNewAnswer = 0x80;
constexpr std::uint32_t kTimeoutStepMs = 250;

// What the check was doing when a rule broke, for the report.
const char* g_context = "";

[[noreturn]] void Broken(const char* rule, int line) {
    std::fprintf(stderr, "radio stream: broken rule during %s: %s (RadioStream.cpp:%d)\n",
                 g_context, rule, line);
    std::fflush(stderr);
    std::abort();
}

#define STREAM_RULE(condition)            \
    do {                                  \
        if (!(condition)) {               \
            Broken(#condition, __LINE__); \
        }                                 \
    } while (0)

// A frame as the header rules make it out, decoded here independently of the link's receiver so
// that the two can be held against each other.
struct DecodedFrame {
    std::uint8_t opcode = 0;
    std::uint32_t headerSize = 0;
    std::uint32_t payloadSize = 0;
};

bool DecodeWholeFrame(const std::uint8_t* bytes, std::uint32_t count, DecodedFrame& frame) {
    if (count == 0) {
        return false;
    }
    std::uint32_t pos = 1;
    std::uint32_t n = bytes[0] & 0x0F;
    frame.opcode = bytes[0] >> 4;
    const bool opcodeEscaped = frame.opcode == 15;
    const bool lengthEscaped = n == 15;
    if (opcodeEscaped) {
        if (pos >= count) {
            return false;
        }
        frame.opcode = bytes[pos++];
    }
    if (lengthEscaped) {
        if (pos + 2 > count) {
            return false;
        }
        n = (static_cast<std::uint32_t>(bytes[pos]) << 8) | bytes[pos + 1];
        pos += 2;
    }
    frame.headerSize = pos;
    if (pos + n != count) {
        return false;
    }
    frame.payloadSize = n == 0 ? 0 : n - 1;
    if (count == 1) {
        return true;  // the one-byte frame carries no checksum
    }
    unsigned sum = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        sum += bytes[i];
    }
    return (sum & 0xFF) == 0xFF;
}

// The frame the link received last, which the checks below compare with what it concluded.
DecodedFrame LastFrame(const CRadioLink& link) {
    DecodedFrame frame;
    STREAM_RULE(DecodeWholeFrame(link.m_rxBuffer, link.m_rxCount, frame));
    return frame;
}

int MessageFor(RadioStatus status) {
    switch (status) {
        case RadioStatus::NoResponse:
            return IDS_NO_RESPONSE;
        case RadioStatus::Incomplete:
            return IDS_MESSAGE_INCOMPLETE;
        case RadioStatus::TooLong:
            return IDS_MESSAGE_TOO_LONG;
        case RadioStatus::ChecksumError:
            return IDS_CHECKSUM_ERROR;
        case RadioStatus::NotSupported:
            return IDS_NOT_SUPPORTED;
        case RadioStatus::NoPort:
            return IDS_NO_PORT;
        default:
            return 0;
    }
}

bool IsKnownStatus(RadioStatus status) {
    switch (status) {
        case RadioStatus::Ok:
        case RadioStatus::NoResponse:
        case RadioStatus::Incomplete:
        case RadioStatus::TooLong:
        case RadioStatus::ChecksumError:
        case RadioStatus::NotSupported:
        case RadioStatus::NoPort:
        case RadioStatus::WriteRejected:
            return true;
    }
    return false;
}

// The frame the tool must put on the line for a request, built here from the frame rules.
std::vector<std::uint8_t> RequestBytes(std::uint8_t opcode, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> bytes;
    if (opcode < 15 && data.empty()) {
        return {static_cast<std::uint8_t>(opcode << 4)};
    }
    const auto n = static_cast<std::uint8_t>(data.size() + 1);
    bytes.push_back(static_cast<std::uint8_t>((opcode < 15 ? opcode << 4 : 0xF0) | n));
    if (opcode >= 15) {
        bytes.push_back(opcode);
    }
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (std::uint8_t b : bytes) {
        sum += b;
    }
    bytes.push_back(static_cast<std::uint8_t>(0xFF - (sum & 0xFF)));
    return bytes;
}

// Forwards to the scripted line and notes when bytes arrive: a receive may last until 251 ms
// after the last byte, so its deadline is only known from there.
class TimedPort final : public IBytePort {
public:
    TimedPort(test::ScriptedPort& line, test::FakeClock& clock) : m_line(line), m_clock(clock) {}

    int ReadByte() override {
        const int b = m_line.ReadByte();
        if (b >= 0) {
            ++m_bytes;
            m_lastByteAt = m_clock.NowMs();
        }
        return b;
    }
    int WriteByte(int value) override { return m_line.WriteByte(value); }
    void PurgeInput() override { m_line.PurgeInput(); }

    std::uint64_t Bytes() const { return m_bytes; }
    std::int64_t LastByteAt() const { return m_lastByteAt; }

private:
    test::ScriptedPort& m_line;
    test::FakeClock& m_clock;
    std::uint64_t m_bytes = 0;
    std::int64_t m_lastByteAt = -1;
};

// The longest a command may take: each receive its timeout and one more silent read, plus 251 ms
// for every byte that arrived (each byte restarts the between-bytes deadline), plus the waits.
std::int64_t LongestCommand(std::initializer_list<std::uint32_t> receiveTimeouts,
                            std::uint64_t bytes, std::int64_t readMs, std::int64_t waitMs) {
    std::int64_t limit = waitMs + 2;
    for (std::uint32_t t : receiveTimeouts) {
        limit += t + 1 + readMs;
    }
    return limit + static_cast<std::int64_t>(bytes) * 251;
}

class Session {
public:
    explicit Session(const RadioStream& stream)
        : m_line(m_clock, stream.echo), m_port(m_line, m_clock) {
        m_readMs = stream.shortReads ? 1 : test::ScriptedPort::kReadTimeoutMs;
        m_line.SetReadTimeout(m_readMs);
        m_link.m_pPort = &m_port;
        m_link.m_pClock = &m_clock;
    }

    test::FakeClock m_clock;
    test::ScriptedPort m_line;
    TimedPort m_port;
    test::RecordingReporter m_reporter;
    CRadioLink m_link;
    std::int64_t m_readMs = 0;

    // Marks the start of a command.
    void Begin(const char* context) {
        g_context = context;
        m_t0 = m_clock.NowMs();
        m_bytes0 = m_port.Bytes();
        m_written0 = m_line.Written().size();
        m_messages0 = m_reporter.Messages().size();
    }
    std::uint64_t BytesSinceBegin() const { return m_port.Bytes() - m_bytes0; }
    std::int64_t Elapsed() { return m_clock.NowMs() - m_t0; }
    std::vector<int> MessagesSinceBegin() const {
        const std::vector<int> all = m_reporter.Ids();
        return std::vector<int>(all.begin() + static_cast<std::ptrdiff_t>(m_messages0), all.end());
    }
    std::vector<std::uint8_t> WrittenSinceBegin() const {
        const auto& all = m_line.Written();
        return std::vector<std::uint8_t>(all.begin() + static_cast<std::ptrdiff_t>(m_written0),
                                         all.end());
    }

private:
    std::int64_t m_t0 = 0;
    std::uint64_t m_bytes0 = 0;
    std::size_t m_written0 = 0;
    std::size_t m_messages0 = 0;
};

// The stream as a bare sequence of bytes to ReceiveFrame, alternating between a destination and
// none, until nothing is left on the line.
unsigned CheckBareReceives(const RadioStream& stream) {
    Session s(stream);
    unsigned frames = 0;
    std::vector<int> all;
    for (const auto& answer : stream.answers) {
        all.insert(all.end(), answer.begin(), answer.end());
    }
    s.m_line.Feed(all);

    std::vector<std::uint8_t> destination(CRadioLink::kMaxPayload);
    for (unsigned call = 0; s.m_line.Pending() > 0; ++call) {
        const bool withDestination = call % 2 == 0;
        std::fill(destination.begin(), destination.end(), 0xA5);
        std::uint8_t opcode = 0xEE;
        std::uint32_t length = 0xDEADBEEF;
        const std::size_t pendingBefore = s.m_line.Pending();
        const int purgesBefore = s.m_line.Purges();

        s.Begin("a bare ReceiveFrame");
        const RadioStatus status =
            s.m_link.ReceiveFrame(opcode, withDestination ? destination.data() : nullptr, length,
                                  stream.receiveTimeoutMs);
        const std::vector<int> messages = s.MessagesSinceBegin();

        STREAM_RULE(status == s.m_link.m_status);
        STREAM_RULE(s.m_line.Pending() < pendingBefore);  // every call takes something off the line
        STREAM_RULE(s.m_link.m_rxCount <= CRadioLink::kRxBufferSize);
        // Never past its deadlines, never before them: the timeout while nothing has come, then
        // 251 ms after each byte. A receive that ends without a whole frame ends on a silent read.
        const std::int64_t end = s.m_clock.NowMs();
        const std::int64_t start = end - s.Elapsed();
        const std::int64_t deadline = s.BytesSinceBegin() == 0 ? start + stream.receiveTimeoutMs + 1
                                                               : s.m_port.LastByteAt() + 251;
        if (status == RadioStatus::NoResponse || status == RadioStatus::Incomplete) {
            STREAM_RULE(end > deadline);
        }
        STREAM_RULE(end <= deadline + s.m_readMs);
        if (status == RadioStatus::ChecksumError) {
            DecodedFrame frame;
            STREAM_RULE(s.m_link.m_rxCount > 1);
            STREAM_RULE(!DecodeWholeFrame(s.m_link.m_rxBuffer, s.m_link.m_rxCount, frame));
        }
        if (status == RadioStatus::Ok) {
            const DecodedFrame frame = LastFrame(s.m_link);
            STREAM_RULE(messages.empty());
            STREAM_RULE(opcode == frame.opcode);
            if (withDestination) {
                STREAM_RULE(length == frame.payloadSize);
                STREAM_RULE(length <= CRadioLink::kMaxPayload);
                STREAM_RULE(std::memcmp(destination.data(), s.m_link.m_rxBuffer + frame.headerSize,
                                        length) == 0);
                STREAM_RULE(std::all_of(destination.begin() + length, destination.end(),
                                        [](std::uint8_t b) { return b == 0xA5; }));
            } else {
                STREAM_RULE(length == 0xDEADBEEF);
            }
            ++frames;
            continue;
        }
        // A failure writes none of the outputs and is told to the user once, in its own words.
        STREAM_RULE(opcode == 0xEE);
        STREAM_RULE(length == 0xDEADBEEF);
        STREAM_RULE(std::all_of(destination.begin(), destination.end(),
                                [](std::uint8_t b) { return b == 0xA5; }));
        STREAM_RULE(messages.size() == 1 && messages[0] == MessageFor(status));
        switch (status) {
            case RadioStatus::NoResponse:
                STREAM_RULE(s.m_link.m_rxCount == 0);
                break;
            case RadioStatus::Incomplete:
                STREAM_RULE(s.m_link.m_rxCount > 0);
                STREAM_RULE(s.m_line.Purges() == purgesBefore + 1);
                break;
            case RadioStatus::TooLong:
                STREAM_RULE(s.m_link.m_rxCount == CRadioLink::kRxBufferSize);
                STREAM_RULE(s.m_line.Purges() == purgesBefore);
                break;
            case RadioStatus::ChecksumError:
                break;
            default:
                Broken("a receive ends with a status of its own", __LINE__);
        }
    }
    return frames;
}

// Checks every read of the Radio Info sequence as it returns.
class ReadRules final : public IInfoObserver {
public:
    explicit ReadRules(Session& session) : m_s(session) {}

    // Called before each read by BeginRead; the observer only sees the end of it.
    void AfterRead(const InfoStep& step, bool ok, RadioStatus status,
                   const char (&value)[CRadioLink::kValueSize], std::uint32_t length) override {
        const std::vector<int> messages = m_s.MessagesSinceBegin();
        STREAM_RULE(m_s.WrittenSinceBegin() ==
                    RequestBytes(radio_protocol::kReadRequest, {step.id}));
        STREAM_RULE(IsKnownStatus(status));
        STREAM_RULE(m_s.m_link.m_status == RadioStatus::Ok);  // taken and reset by the sequence
        STREAM_RULE(
            m_s.Elapsed() <=
            LongestCommand({1250, radio_protocol::kReplyTimeoutMs, radio_protocol::kReplyTimeoutMs},
                           m_s.BytesSinceBegin(), m_s.m_readMs, radio_protocol::kSettleMs));
        if (ok) {
            // A success only from a read reply that carried at least its leading byte, and the
            // value is exactly what that reply held.
            const DecodedFrame frame = LastFrame(m_s.m_link);
            STREAM_RULE(frame.opcode == radio_protocol::kReadReply);
            STREAM_RULE(frame.payloadSize >= 1);
            const std::uint32_t expected =
                std::min<std::uint32_t>(frame.payloadSize, CRadioLink::kValueSize) - 1;
            STREAM_RULE(length == expected);
            STREAM_RULE(value[length] == '\0');
            STREAM_RULE(std::memcmp(value, m_s.m_link.m_rxBuffer + frame.headerSize + 1, length) ==
                        0);
        } else {
            STREAM_RULE(length == 0);
            STREAM_RULE(
                std::all_of(value, value + CRadioLink::kValueSize, [](char c) { return c == 0; }));
            if (status == RadioStatus::NotSupported) {
                const bool told = std::count(messages.begin(), messages.end(), IDS_NOT_SUPPORTED);
                STREAM_RULE(told == !step.quiet);
                STREAM_RULE(LastFrame(m_s.m_link).opcode == radio_protocol::kNotSupported);
            } else if (status == RadioStatus::Ok) {
                STREAM_RULE(!messages.empty());
                STREAM_RULE(messages.back() == IDS_NAK_RECEIVED ||
                            messages.back() == IDS_UNEXPECTED_RESPONSE);
            } else {
                STREAM_RULE(!messages.empty() && messages.back() == MessageFor(status));
            }
        }
        if (m_next < kInfoSteps) {
            BeginRead();
        }
    }

    void BeginRead() {
        ++m_next;
        m_s.Begin("a Radio Info read");
    }

private:
    Session& m_s;
    std::size_t m_next = 0;
};

bool CheckWrite(Session& s) {
    const auto payload = EsnWriteForm(EsnFields{130, 5, 123456});
    s.Begin("the ESN write");
    const bool ok = s.m_link.WriteParameter(payload.data(), payload.size());
    const std::vector<int> messages = s.MessagesSinceBegin();
    STREAM_RULE(s.WrittenSinceBegin() ==
                RequestBytes(radio_protocol::kWriteRequest,
                             std::vector<std::uint8_t>(payload.begin(), payload.end())));
    STREAM_RULE(IsKnownStatus(s.m_link.m_status));
    STREAM_RULE(s.Elapsed() <= LongestCommand({(6 + 4) * 250, radio_protocol::kReplyTimeoutMs,
                                               radio_protocol::kReplyTimeoutMs},
                                              s.BytesSinceBegin(), s.m_readMs,
                                              radio_protocol::kSettleMs));
    if (ok) {
        // Written only when the radio said so: a write reply of the one byte 0.
        STREAM_RULE(s.m_link.m_status == RadioStatus::Ok);
        const DecodedFrame frame = LastFrame(s.m_link);
        STREAM_RULE(frame.opcode == radio_protocol::kWriteReply);
        STREAM_RULE(frame.payloadSize == 1);
        STREAM_RULE(s.m_link.m_rxBuffer[frame.headerSize] == 0);
    } else if (s.m_link.m_status == RadioStatus::WriteRejected) {
        STREAM_RULE(LastFrame(s.m_link).opcode == radio_protocol::kWriteReply);
    } else {
        STREAM_RULE(!messages.empty());  // the user hears of every other failure
    }
    s.m_link.m_status = RadioStatus::Ok;
    return ok;
}

bool CheckEndExchange(Session& s) {
    s.Begin("EndExchange");
    const bool ok = s.m_link.EndExchange();
    STREAM_RULE(s.WrittenSinceBegin() == RequestBytes(radio_protocol::kEndExchangeRequest, {}));
    STREAM_RULE(IsKnownStatus(s.m_link.m_status));
    STREAM_RULE(s.Elapsed() <= LongestCommand({1000, radio_protocol::kReplyTimeoutMs},
                                              s.BytesSinceBegin(), s.m_readMs,
                                              radio_protocol::kEndExchangeWaitMs));
    if (ok) {
        STREAM_RULE(s.m_link.m_status == RadioStatus::Ok);
        STREAM_RULE(LastFrame(s.m_link).opcode == radio_protocol::kAcknowledge);
        // The port stays attached for a second after the acknowledge.
        STREAM_RULE(s.m_clock.NowMs() > s.m_port.LastByteAt() + 1001);
    } else {
        STREAM_RULE(!s.MessagesSinceBegin().empty());
    }
    return ok;
}

void CheckCommands(const RadioStream& stream, StreamSummary& summary) {
    Session s(stream);
    for (const auto& answer : stream.answers) {
        s.m_line.Answer(answer);
    }
    ReadRules rules(s);
    rules.BeginRead();
    InfoOutcome& outcome = summary.info;
    outcome = RunInfoSequence(s.m_link, &rules, false);
    g_context = "the end of the Radio Info sequence";
    STREAM_RULE(outcome.stepsRun >= 1 && outcome.stepsRun <= kInfoSteps);
    STREAM_RULE(outcome.aborted || outcome.stepsRun == kInfoSteps);
    if (!outcome.aborted) {
        outcome.endExchangeSent = true;
        outcome.endExchangeOk = CheckEndExchange(s);
    }
    // Whatever came before, a further exchange on the same line behaves just as well.
    summary.writeOk = CheckWrite(s);
    summary.endOk = CheckEndExchange(s);
}

}  // namespace

RadioStream DecodeRadioStream(const std::uint8_t* data, std::size_t size) {
    RadioStream stream;
    if (size == 0) {
        return stream;
    }
    stream.echo = (data[0] & kOptionEcho) != 0;
    stream.shortReads = (data[0] & kOptionShortReads) != 0;
    stream.receiveTimeoutMs = (data[0] >> 4) * kTimeoutStepMs;
    std::size_t pos = 1;
    while (pos < size) {
        const std::uint8_t header = data[pos++];
        const std::size_t count = std::min<std::size_t>(header & kChunkCountMask, size - pos);
        if ((header & kChunkNewAnswer) != 0 || stream.answers.empty()) {
            stream.answers.emplace_back();
        }
        auto& answer = stream.answers.back();
        if ((header & kChunkSilenceFirst) != 0) {
            answer.push_back(RadioStream::kSilence);
        }
        answer.insert(answer.end(), data + pos, data + pos + count);
        pos += count;
    }
    return stream;
}

std::vector<std::uint8_t> EncodeRadioStream(const RadioStream& stream) {
    std::vector<std::uint8_t> data;
    std::uint8_t options = static_cast<std::uint8_t>(
        std::min<std::uint32_t>(stream.receiveTimeoutMs / kTimeoutStepMs, 15) << 4);
    options |= stream.echo ? kOptionEcho : 0;
    options |= stream.shortReads ? kOptionShortReads : 0;
    data.push_back(options);
    for (const auto& answer : stream.answers) {
        bool first = true;
        std::size_t i = 0;
        // An empty answer is still an answer: one empty chunk marks it.
        do {
            std::uint8_t header = first ? kChunkNewAnswer : 0;
            if (i < answer.size() && answer[i] == RadioStream::kSilence) {
                header |= kChunkSilenceFirst;
                ++i;
            }
            std::vector<std::uint8_t> chunk;
            while (i < answer.size() && answer[i] != RadioStream::kSilence &&
                   chunk.size() < kChunkCountMask) {
                chunk.push_back(static_cast<std::uint8_t>(answer[i++]));
            }
            data.push_back(static_cast<std::uint8_t>(header | chunk.size()));
            data.insert(data.end(), chunk.begin(), chunk.end());
            first = false;
        } while (i < answer.size());
    }
    return data;
}

StreamSummary CheckRadioStream(const std::uint8_t* data, std::size_t size) {
    const RadioStream stream = DecodeRadioStream(data, size);
    StreamSummary summary;
    summary.bareFrames = CheckBareReceives(stream);
    CheckCommands(stream, summary);
    g_context = "";
    return summary;
}

}  // namespace varnel::fuzz
