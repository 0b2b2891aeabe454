#include "fuzz/RadioStream.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "fuzz/LineRules.h"
#include "fuzz/ProcedureChecks.h"
#include "link/RadioLink.h"
#include "procedures/RadioInfo.h"
#include "radio/Catalogue.h"
#include "radio/Esn.h"
#include "radio/Regions.h"
#include "strings/StringTable.h"

namespace varnel::fuzz {
namespace {

constexpr std::uint8_t kOptionEcho = 0x01;
constexpr std::uint8_t kOptionShortReads = 0x02;
constexpr std::uint8_t kOptionCancel = 0x04;
constexpr std::uint8_t kChunkCountMask = 0x3F;
constexpr std::uint8_t kChunkSilenceFirst = 0x40;
constexpr std::uint8_t kChunkNewAnswer = 0x80;
constexpr std::uint32_t kTimeoutStepMs = 250;

// Where one command began: what the line, the clock and the reporter held then.
class CommandMark {
public:
    CommandMark(FuzzLine& line, const char* context)
        : m_line(line),
          m_t0(line.Now()),
          m_bytes0(line.timed.Bytes()),
          m_written0(line.WrittenCount()),
          m_messages0(line.MessageCount()) {
        SetRuleContext(context);
    }
    std::uint64_t Bytes() const { return m_line.timed.Bytes() - m_bytes0; }
    std::int64_t Elapsed() { return m_line.Now() - m_t0; }
    std::int64_t Start() const { return m_t0; }
    std::vector<int> Messages() const { return m_line.MessagesSince(m_messages0); }
    std::vector<std::uint8_t> Written() const { return m_line.WrittenSince(m_written0); }

private:
    FuzzLine& m_line;
    std::int64_t m_t0;
    std::uint64_t m_bytes0;
    std::size_t m_written0;
    std::size_t m_messages0;
};

// The frame the link received last, which the checks below compare with what it concluded.
DecodedFrame LastFrame(const CRadioLink& link) {
    DecodedFrame frame;
    STREAM_RULE(DecodeWholeFrame(link.m_rxBuffer, link.m_rxCount, frame));
    return frame;
}

// The stream as a bare sequence of bytes to ReceiveFrame, alternating between a destination and
// none, until nothing is left on the line.
unsigned CheckBareReceives(const RadioStream& stream) {
    FuzzLine s(stream);
    CRadioLink& link = s.Link();
    link.m_pPort = &s.timed;
    link.m_pReporter = &s.radio.reporter;
    link.m_pClock = &s.radio.clock;
    link.m_pCancel = nullptr;  // a bare receive knows nothing of a user
    test::ScriptedPort& line = s.radio.line;
    unsigned frames = 0;
    std::vector<int> all;
    for (const auto& answer : stream.answers) {
        all.insert(all.end(), answer.begin(), answer.end());
    }
    line.Feed(all);

    std::vector<std::uint8_t> destination(CRadioLink::kMaxPayload);
    for (unsigned call = 0; line.Pending() > 0; ++call) {
        const bool withDestination = call % 2 == 0;
        std::fill(destination.begin(), destination.end(), 0xA5);
        std::uint8_t opcode = 0xEE;
        std::uint32_t length = 0xDEADBEEF;
        const std::size_t pendingBefore = line.Pending();
        const int purgesBefore = line.Purges();

        CommandMark mark(s, "a bare ReceiveFrame");
        const RadioStatus status =
            link.ReceiveFrame(opcode, withDestination ? destination.data() : nullptr, length,
                              stream.receiveTimeoutMs);
        const std::vector<int> messages = mark.Messages();

        STREAM_RULE(status == link.m_status);
        STREAM_RULE(line.Pending() < pendingBefore);  // every call takes something off the line
        STREAM_RULE(link.m_rxCount <= CRadioLink::kRxBufferSize);
        // Never past its deadlines, never before them: the timeout while nothing has come, then
        // 251 ms after each byte. A receive that ends without a whole frame ends on a silent read.
        const std::int64_t end = s.Now();
        const std::int64_t deadline = mark.Bytes() == 0 ? mark.Start() + stream.receiveTimeoutMs + 1
                                                        : s.timed.LastByteAt() + 251;
        if (status == RadioStatus::NoResponse || status == RadioStatus::Incomplete) {
            STREAM_RULE(end > deadline);
        }
        STREAM_RULE(end <= deadline + s.ReadMs());
        if (status == RadioStatus::ChecksumError) {
            DecodedFrame frame;
            STREAM_RULE(link.m_rxCount > 1);
            STREAM_RULE(!DecodeWholeFrame(link.m_rxBuffer, link.m_rxCount, frame));
        }
        if (status == RadioStatus::Ok) {
            const DecodedFrame frame = LastFrame(link);
            STREAM_RULE(messages.empty());
            STREAM_RULE(opcode == frame.opcode);
            if (withDestination) {
                STREAM_RULE(length == frame.payloadSize);
                STREAM_RULE(length <= CRadioLink::kMaxPayload);
                STREAM_RULE(std::memcmp(destination.data(), link.m_rxBuffer + frame.headerSize,
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
                STREAM_RULE(link.m_rxCount == 0);
                break;
            case RadioStatus::Incomplete:
                STREAM_RULE(link.m_rxCount > 0);
                STREAM_RULE(line.Purges() == purgesBefore + 1);
                break;
            case RadioStatus::TooLong:
                STREAM_RULE(link.m_rxCount == CRadioLink::kRxBufferSize);
                STREAM_RULE(line.Purges() == purgesBefore);
                break;
            case RadioStatus::ChecksumError:
                break;
            default:
                BrokenRule("a receive ends with a status of its own", __FILE__, __LINE__);
        }
    }
    link.m_pPort = nullptr;
    return frames;
}

// One ReadParameter, checked as it returns; the status is then set back to Ok as every caller
// does.
bool CheckRead(FuzzLine& s, std::uint8_t id, bool quiet) {
    CRadioLink& link = s.Link();
    char value[CRadioLink::kValueSize] = {};
    std::uint32_t length = 0xDEADBEEF;
    CommandMark mark(s, "a ReadParameter");
    const bool ok = link.ReadParameter(value, id, length, quiet);
    const RadioStatus status = link.m_status;
    const std::vector<int> messages = mark.Messages();
    STREAM_RULE(mark.Written() == RequestBytes(radio_protocol::kReadRequest, {id}));
    STREAM_RULE(IsKnownStatus(status) && status != RadioStatus::Cancelled);
    STREAM_RULE(mark.Elapsed() <= LongestRead(mark.Bytes(), s.ReadMs()));
    STREAM_RULE(std::all_of(messages.begin(), messages.end(), IsLinkMessage));
    if (ok) {
        // A success only from a read reply that carried at least its leading byte, and the
        // value is exactly what that reply held.
        const DecodedFrame frame = LastFrame(link);
        STREAM_RULE(status == RadioStatus::Ok);
        STREAM_RULE(frame.opcode == radio_protocol::kReadReply);
        STREAM_RULE(frame.payloadSize >= 1);
        const std::uint32_t expected =
            std::min<std::uint32_t>(frame.payloadSize, CRadioLink::kValueSize) - 1;
        STREAM_RULE(length == expected);
        STREAM_RULE(value[length] == '\0');
        STREAM_RULE(std::memcmp(value, link.m_rxBuffer + frame.headerSize + 1, length) == 0);
        // Every read that succeeds passes the settle wait after its reply.
        STREAM_RULE(s.Now() > s.timed.LastByteAt() + radio_protocol::kSettleMs + 1);
    } else {
        STREAM_RULE(length == 0);
        STREAM_RULE(
            std::all_of(value, value + CRadioLink::kValueSize, [](char c) { return c == 0; }));
        if (status == RadioStatus::NotSupported) {
            const bool told = std::count(messages.begin(), messages.end(), IDS_NOT_SUPPORTED);
            STREAM_RULE(told == !quiet);
            STREAM_RULE(LastFrame(link).opcode == radio_protocol::kNotSupported);
        } else if (status == RadioStatus::Ok) {
            STREAM_RULE(!messages.empty());
            STREAM_RULE(messages.back() == IDS_NAK_RECEIVED ||
                        messages.back() == IDS_UNEXPECTED_RESPONSE);
            // Only the unexpected answer is marked as one.
            STREAM_RULE(link.m_unexpectedAnswer == (messages.back() == IDS_UNEXPECTED_RESPONSE));
        } else {
            STREAM_RULE(!messages.empty() && messages.back() == MessageFor(status));
        }
    }
    link.m_status = RadioStatus::Ok;
    link.m_unexpectedAnswer = false;
    return ok;
}

bool CheckWrite(FuzzLine& s, const std::vector<std::uint8_t>& payload) {
    CRadioLink& link = s.Link();
    CommandMark mark(s, "a WriteParameter");
    const bool ok = link.WriteParameter(payload.data(), static_cast<std::uint32_t>(payload.size()));
    const std::vector<int> messages = mark.Messages();
    STREAM_RULE(mark.Written() == RequestBytes(radio_protocol::kWriteRequest, payload));
    STREAM_RULE(IsKnownStatus(link.m_status) && link.m_status != RadioStatus::Cancelled);
    STREAM_RULE(mark.Elapsed() <=
                LongestWrite(static_cast<std::uint32_t>(payload.size()), mark.Bytes(), s.ReadMs()));
    STREAM_RULE(std::all_of(messages.begin(), messages.end(), IsLinkMessage));
    if (ok) {
        // Written only when the radio said so: a write reply of the one byte 0.
        STREAM_RULE(link.m_status == RadioStatus::Ok);
        const DecodedFrame frame = LastFrame(link);
        STREAM_RULE(frame.opcode == radio_protocol::kWriteReply);
        STREAM_RULE(frame.payloadSize == 1);
        STREAM_RULE(link.m_rxBuffer[frame.headerSize] == 0);
    } else if (link.m_status == RadioStatus::WriteRejected) {
        STREAM_RULE(LastFrame(link).opcode == radio_protocol::kWriteReply);
    } else {
        STREAM_RULE(!messages.empty());  // the user hears of every other failure
    }
    link.m_status = RadioStatus::Ok;
    link.m_unexpectedAnswer = false;
    return ok;
}

bool CheckEndExchange(FuzzLine& s) {
    CRadioLink& link = s.Link();
    CommandMark mark(s, "an EndExchange");
    const bool ok = link.EndExchange();
    const std::vector<int> messages = mark.Messages();
    STREAM_RULE(mark.Written() == RequestBytes(radio_protocol::kEndExchangeRequest, {}));
    STREAM_RULE(IsKnownStatus(link.m_status) && link.m_status != RadioStatus::Cancelled);
    STREAM_RULE(mark.Elapsed() <= LongestEnd(mark.Bytes(), s.ReadMs()));
    STREAM_RULE(std::all_of(messages.begin(), messages.end(), IsLinkMessage));
    if (ok) {
        STREAM_RULE(link.m_status == RadioStatus::Ok);
        STREAM_RULE(LastFrame(link).opcode == radio_protocol::kAcknowledge);
        // The port stays attached for a second after the acknowledge.
        STREAM_RULE(s.Now() > s.timed.LastByteAt() + radio_protocol::kEndExchangeWaitMs + 1);
    } else {
        STREAM_RULE(!messages.empty());
    }
    link.m_status = RadioStatus::Ok;
    link.m_unexpectedAnswer = false;
    return ok;
}

// Each command by itself, in the order the procedures send them to a radio that answers
// everything: whatever came before, the next command on the same line behaves just as well.
unsigned CheckCommands(const RadioStream& stream) {
    RadioStream uncancelled = stream;
    uncancelled.cancelAfterWritten.reset();  // the user's cancel is the procedures' matter
    FuzzLine s(uncancelled);
    CRadioLink& link = s.Link();
    link.m_pPort = &s.timed;
    link.m_pReporter = &s.radio.reporter;
    link.m_pClock = &s.radio.clock;
    unsigned ok = 0;
    for (const RadioInfoQuery& query : kRadioInfoQueries) {
        ok += CheckRead(s, query.id, query.quiet) ? 1 : 0;
    }
    ok += CheckEndExchange(s) ? 1 : 0;
    const auto esn = EsnWriteForm(EsnFields{130, 5, 123456});
    const auto region = RegionalIdWriteForm(1);
    const std::pair<std::uint8_t, std::vector<std::uint8_t>> programmings[] = {
        {PARAM_ESN, std::vector<std::uint8_t>(esn.begin(), esn.end())},
        {PARAM_REGIONAL_ID, std::vector<std::uint8_t>(region.begin(), region.end())},
    };
    for (const auto& [id, payload] : programmings) {
        ok += CheckRead(s, id, false) ? 1 : 0;
        ok += CheckEndExchange(s) ? 1 : 0;
        ok += CheckWrite(s, payload) ? 1 : 0;
        ok += CheckEndExchange(s) ? 1 : 0;
    }
    link.m_pPort = nullptr;
    return ok;
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
    if ((data[0] & kOptionCancel) != 0) {
        stream.cancelAfterWritten = pos < size ? data[pos++] : 0;
    }
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
    options |= stream.cancelAfterWritten ? kOptionCancel : 0;
    data.push_back(options);
    if (stream.cancelAfterWritten) {
        data.push_back(
            static_cast<std::uint8_t>(std::min<std::uint32_t>(*stream.cancelAfterWritten, 255)));
    }
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
    summary.commandsOk = CheckCommands(stream);
    CheckProcedures(stream, summary);
    SetRuleContext("");
    return summary;
}

}  // namespace varnel::fuzz
