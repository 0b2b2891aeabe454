#include "fuzz/LineRules.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "strings/StringTable.h"

namespace varnel::fuzz {
namespace {

const char* g_context = "";

}  // namespace

void SetRuleContext(const char* context) {
    g_context = context;
}

void BrokenRule(const char* rule, const char* file, int line) {
    const char* name = file;
    for (const char* p = file; *p != '\0'; ++p) {
        if (*p == '/') {
            name = p + 1;
        }
    }
    std::fprintf(stderr, "radio stream: broken rule during %s: %s (%s:%d)\n", g_context, rule, name,
                 line);
    std::fflush(stderr);
    std::abort();
}

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

FrameSeen FrameSeen::Of(const CRadioLink& link) {
    FrameSeen seen;
    const std::uint32_t count = std::min<std::uint32_t>(link.m_rxCount, CRadioLink::kRxBufferSize);
    seen.bytes.assign(link.m_rxBuffer, link.m_rxBuffer + count);
    return seen;
}

bool FrameSeen::Whole(DecodedFrame& frame) const {
    return DecodeWholeFrame(bytes.data(), static_cast<std::uint32_t>(bytes.size()), frame);
}

bool FrameSeen::Is(std::uint8_t opcode, DecodedFrame* frame) const {
    DecodedFrame decoded;
    if (!Whole(decoded) || decoded.opcode != opcode) {
        return false;
    }
    if (frame != nullptr) {
        *frame = decoded;
    }
    return true;
}

std::vector<std::uint8_t> FrameSeen::Payload() const {
    DecodedFrame frame;
    if (!Whole(frame)) {
        return {};
    }
    const auto begin = bytes.begin() + frame.headerSize;
    return std::vector<std::uint8_t>(begin, begin + frame.payloadSize);
}

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
        case RadioStatus::Cancelled:
            return true;
    }
    return false;
}

bool IsLinkMessage(int id) {
    return id >= IDS_NO_PORT && id <= IDS_NOT_SUPPORTED;
}

bool IsLinkFailureMessage(int id) {
    return id == IDS_NO_RESPONSE || id == IDS_MESSAGE_INCOMPLETE || id == IDS_MESSAGE_TOO_LONG ||
           id == IDS_CHECKSUM_ERROR || id == IDS_UNEXPECTED_RESPONSE;
}

bool IsRefusalMessage(int id) {
    return id == IDS_NAK_RECEIVED || id == IDS_NOT_SUPPORTED;
}

std::int64_t LongestCommand(std::initializer_list<std::uint32_t> receiveTimeouts,
                            std::uint64_t bytes, std::int64_t readMs, std::int64_t waitMs) {
    std::int64_t limit = waitMs + 2;
    for (std::uint32_t t : receiveTimeouts) {
        limit += t + 1 + readMs;
    }
    return limit + static_cast<std::int64_t>(bytes) * 251;
}

std::int64_t LongestRead(std::uint64_t bytes, std::int64_t readMs) {
    return LongestCommand(
        {(1 + 4) * 250, radio_protocol::kReplyTimeoutMs, radio_protocol::kReplyTimeoutMs}, bytes,
        readMs, radio_protocol::kSettleMs);
}

std::int64_t LongestWrite(std::uint32_t dataLength, std::uint64_t bytes, std::int64_t readMs) {
    return LongestCommand(
        {(dataLength + 4) * 250, radio_protocol::kReplyTimeoutMs, radio_protocol::kReplyTimeoutMs},
        bytes, readMs, radio_protocol::kSettleMs);
}

std::int64_t LongestEnd(std::uint64_t bytes, std::int64_t readMs) {
    return LongestCommand({4 * 250, radio_protocol::kReplyTimeoutMs}, bytes, readMs,
                          radio_protocol::kEndExchangeWaitMs);
}

int TimedLine::ReadByte() {
    const int b = m_line.ReadByte();
    if (b >= 0) {
        ++m_bytes;
        m_lastByteAt = m_clock.NowMs();
    }
    return b;
}

int TimedLine::WriteByte(int value) {
    const int written = m_line.WriteByte(value);
    if (m_cancel != nullptr && ++m_written == m_cancelAt) {
        m_cancel->Cancel();
    }
    return written;
}

void TimedLine::CancelAfter(CancelToken* token, std::uint32_t written) {
    m_cancel = token;
    m_cancelAt = written;
    m_written = 0;
    if (m_cancel != nullptr && written == 0) {
        m_cancel->Cancel();
    }
}

FuzzLine::FuzzLine(const RadioStream& stream) {
    m_readMs = stream.shortReads ? 1 : test::ScriptedPort::kReadTimeoutMs;
    radio.line.SetEcho(stream.echo);
    radio.line.SetReadTimeout(m_readMs);
    radio.linePort = &timed;
    for (const auto& answer : stream.answers) {
        radio.line.Answer(answer);
    }
    if (stream.cancelAfterWritten) {
        m_cancel = std::make_unique<CancelToken>();
        timed.CancelAfter(m_cancel.get(), *stream.cancelAfterWritten);
    }
}

std::vector<std::uint8_t> FuzzLine::WrittenSince(std::size_t from) const {
    const auto& all = radio.Written();
    return std::vector<std::uint8_t>(all.begin() + static_cast<std::ptrdiff_t>(from), all.end());
}

std::vector<int> FuzzLine::MessagesSince(std::size_t from) const {
    const std::vector<int> all = radio.reporter.Ids();
    return std::vector<int>(all.begin() + static_cast<std::ptrdiff_t>(from), all.end());
}

}  // namespace varnel::fuzz
