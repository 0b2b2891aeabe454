#include "link/RadioLink.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "strings/Messages.h"
#include "strings/StringTable.h"

namespace varnel {

namespace {

// Positions of the receive state machine.
enum class RxState { Header, Opcode, LengthHigh, LengthLow, Body };

// The most data a frame carries: a receiver takes at most kRxBufferSize bytes, and an escaped
// opcode costs one of them.
constexpr std::uint32_t LongestData(std::uint8_t opcode) {
    return opcode < 15 ? CRadioLink::kRxBufferSize - 4 : CRadioLink::kRxBufferSize - 5;
}

}  // namespace

std::uint8_t CRadioLink::Checksum(const std::uint8_t* bytes, std::uint32_t count) {
    std::uint8_t sum = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        sum = static_cast<std::uint8_t>(sum + bytes[i]);
    }
    return static_cast<std::uint8_t>(0xFF - sum);
}

void CRadioLink::Report(int stringId) {
    if (m_pReporter != nullptr) {
        // The link's own words first; what the port knows of why (a device that went away)
        // under them, as under a port error.
        const std::string fault = m_pPort != nullptr ? m_pPort->LineFault() : std::string();
        m_pReporter->Show(
            {MSG_ERROR, stringId, CaptionForKind(MSG_ERROR), LoadString(stringId), fault});
    }
}

bool CRadioLink::Attached() const {
    return m_pPort != nullptr && m_pClock != nullptr && m_pReporter != nullptr;
}

bool CRadioLink::Wait(std::int64_t ms) {
    return m_pClock != nullptr && WaitMs(*m_pClock, ms, m_pCancel);
}

bool CRadioLink::Cancelled() {
    if (m_pCancel != nullptr && m_pCancel->IsCancelled()) {
        m_status = RadioStatus::Cancelled;
        return true;
    }
    return false;
}

void CRadioLink::Purge() {
    if (m_pPort != nullptr) {
        m_pPort->PurgeInput();
    }
}

void CRadioLink::SendFrame(std::uint8_t opcode, const std::uint8_t* data, std::uint32_t length) {
    if (!Attached()) {
        Report(IDS_NO_PORT);
        m_status = RadioStatus::NoPort;
        return;
    }
    if (length > LongestData(opcode) || (data == nullptr && length != 0)) {
        // No caller of the tool asks for this; refuse rather than put on the line a frame that
        // no receiver takes (or a garbled one).
        m_status = RadioStatus::TooLong;
        return;
    }
    if (Cancelled()) {
        return;
    }
    // The first bytes received after this are then the line's echo of the frame.
    m_pPort->PurgeInput();

    const std::uint32_t n = length + 1;
    const bool longOpcode = opcode >= 15;
    const bool longLength = length >= 14;
    const bool oneByte = !longOpcode && length == 0;
    std::uint8_t header[4];
    std::uint32_t headerSize = 0;
    const std::uint8_t hi = longOpcode ? 0xF0 : static_cast<std::uint8_t>(opcode << 4);
    const std::uint8_t lo = oneByte ? 0 : longLength ? 0x0F : static_cast<std::uint8_t>(n);
    header[headerSize++] = static_cast<std::uint8_t>(hi | lo);
    if (longOpcode) {
        header[headerSize++] = opcode;
    }
    if (longLength) {
        header[headerSize++] = static_cast<std::uint8_t>(n >> 8);
        header[headerSize++] = static_cast<std::uint8_t>(n & 0xFF);
    }

    // Written one byte per call, first byte first; a byte that fails to go out shows up as a
    // broken echo below. The frame is kept whole only for a trace.
    std::vector<std::uint8_t> traced;
    auto put = [&](std::uint8_t byte) {
        m_pPort->WriteByte(byte);
        if (m_pTrace != nullptr) {
            traced.push_back(byte);
        }
    };
    std::uint8_t sum = 0;
    for (std::uint32_t i = 0; i < headerSize; ++i) {
        put(header[i]);
        sum = static_cast<std::uint8_t>(sum + header[i]);
    }
    if (!oneByte) {
        for (std::uint32_t i = 0; i < length; ++i) {
            put(data[i]);
            sum = static_cast<std::uint8_t>(sum + data[i]);
        }
        put(static_cast<std::uint8_t>(0xFF - sum));
    }
    if (m_pTrace != nullptr) {
        m_pTrace->FrameSent(traced.data(), static_cast<std::uint32_t>(traced.size()));
    }

    // Take back the echo and drop it; a missing or broken echo leaves its status.
    std::uint8_t echoOpcode = 0;
    std::uint32_t echoLength = 0;
    m_receivingEcho = true;
    ReceiveFrame(echoOpcode, nullptr, echoLength, (length + 4) * 250);
    m_receivingEcho = false;
}

void CRadioLink::TraceReceived() {
    if (m_pTrace != nullptr && m_rxCount > 0) {
        m_pTrace->FrameReceived(m_rxBuffer, m_rxCount, m_receivingEcho);
    }
}

RadioStatus CRadioLink::ReceiveFrame(std::uint8_t& opcodeOut, std::uint8_t* destination,
                                     std::uint32_t& lengthOut, std::uint32_t timeoutMs) {
    m_rxCount = 0;
    if (!Attached()) {
        Report(IDS_NO_PORT);
        m_status = RadioStatus::NoPort;
        return m_status;
    }
    const std::int64_t t0 = m_pClock->NowMs();
    std::int64_t deadline = t0 + timeoutMs + 1;

    RxState state = RxState::Header;
    std::uint32_t n = 0;
    std::uint32_t body = 0;
    bool opcodeEscaped = false;
    bool lengthEscaped = false;
    bool complete = false;

    // After the header or length, either the frame is complete (no body) or the body follows.
    auto afterLength = [&] {
        if (n == 0) {
            complete = true;
        } else {
            state = RxState::Body;
        }
    };

    while (!complete) {
        const int b = m_pPort->ReadByte();
        if (b < 0) {
            if (Cancelled()) {
                TraceReceived();
                return m_status;  // the user asked for it: nothing to tell
            }
            if (m_pClock->NowMs() > deadline) {
                break;
            }
            continue;
        }
        if (m_rxCount == kRxBufferSize) {
            break;  // this byte is dropped; later ones stay queued
        }
        const auto byte = static_cast<std::uint8_t>(b);
        m_rxBuffer[m_rxCount++] = byte;
        deadline = m_pClock->NowMs() + 251;

        switch (state) {
            case RxState::Header:
                m_rxOpcode = byte >> 4;
                n = byte & 0x0F;
                opcodeEscaped = (byte >> 4) == 15;
                lengthEscaped = n == 15;
                if (opcodeEscaped) {
                    state = RxState::Opcode;
                } else if (lengthEscaped) {
                    state = RxState::LengthHigh;
                } else {
                    afterLength();
                }
                break;
            case RxState::Opcode:
                m_rxOpcode = byte;
                if (lengthEscaped) {
                    state = RxState::LengthHigh;
                } else {
                    afterLength();
                }
                break;
            case RxState::LengthHigh:
                n = static_cast<std::uint32_t>(byte) << 8;
                state = RxState::LengthLow;
                break;
            case RxState::LengthLow:
                n += byte;
                afterLength();
                break;
            case RxState::Body:
                if (++body == n) {
                    complete = true;
                }
                break;
        }
    }

    TraceReceived();
    if (complete) {
        if (m_rxCount != 1 && Checksum(m_rxBuffer, m_rxCount - 1) != m_rxBuffer[m_rxCount - 1]) {
            Report(IDS_CHECKSUM_ERROR);
            m_status = RadioStatus::ChecksumError;
            return m_status;
        }
        opcodeOut = m_rxOpcode;
        if (destination != nullptr) {
            // An escaped header can carry N = 0 in a frame of more than one byte: no payload then,
            // never N - 1 bytes of it.
            const std::uint32_t payload = (m_rxCount == 1 || n == 0) ? 0 : n - 1;
            const std::uint32_t offset = 1 + (opcodeEscaped ? 1 : 0) + (lengthEscaped ? 2 : 0);
            lengthOut = payload;
            std::memcpy(destination, m_rxBuffer + offset, payload);
        }
        m_status = RadioStatus::Ok;
        return m_status;
    }

    if (m_rxCount == kRxBufferSize) {
        Report(IDS_MESSAGE_TOO_LONG);
        m_status = RadioStatus::TooLong;
    } else if (m_rxCount > 0) {
        Purge();
        Report(IDS_MESSAGE_INCOMPLETE);
        m_status = RadioStatus::Incomplete;
    } else {
        Report(IDS_NO_RESPONSE);
        m_status = RadioStatus::NoResponse;
    }
    return m_status;
}

bool CRadioLink::AwaitAcknowledge() {
    std::uint8_t opcode = 0;
    std::uint32_t length = 0;
    if (ReceiveFrame(opcode, m_reply, length, radio_protocol::kReplyTimeoutMs) != RadioStatus::Ok) {
        return false;
    }
    if (opcode != radio_protocol::kAcknowledge) {
        ReportWrongAnswer(opcode);
        return false;
    }
    return true;
}

bool CRadioLink::AwaitReply(std::uint8_t replyOpcode, bool quiet, std::uint32_t& received) {
    std::uint8_t opcode = 0;
    if (ReceiveFrame(opcode, m_reply, received, radio_protocol::kReplyTimeoutMs) !=
        RadioStatus::Ok) {
        return false;
    }
    // A read reply without even its leading byte carries no value: as unexpected as any other
    // opcode.
    if (opcode == replyOpcode && (opcode != radio_protocol::kReadReply || received >= 1)) {
        return true;
    }
    if (opcode == radio_protocol::kNotSupported) {
        if (!quiet) {
            Report(IDS_NOT_SUPPORTED);
        }
        m_status = RadioStatus::NotSupported;
        return false;
    }
    ReportWrongAnswer(opcode);
    return false;
}

void CRadioLink::ReportWrongAnswer(std::uint8_t opcode) {
    const bool nak = opcode == radio_protocol::kNak;
    m_unexpectedAnswer = !nak;
    Report(nak ? IDS_NAK_RECEIVED : IDS_UNEXPECTED_RESPONSE);
}

bool CRadioLink::ReadParameter(char (&destination)[kValueSize], std::uint8_t id,
                               std::uint32_t& length, bool quiet) {
    length = 0;
    SendFrame(radio_protocol::kReadRequest, &id, 1);
    if (m_status == RadioStatus::NoResponse || m_status == RadioStatus::Cancelled) {
        return false;  // not even the line's echo: nothing is listening
    }
    std::uint32_t received = 0;
    const bool ok = AwaitAcknowledge() && AwaitReply(radio_protocol::kReadReply, quiet, received);
    if (ok) {
        // The first payload byte leads the value and is not part of it.
        const std::uint32_t n = std::min<std::uint32_t>(received, kValueSize) - 1;
        std::memcpy(destination, m_reply + 1, n);
        destination[n] = '\0';
        length = n;
    }
    Wait(radio_protocol::kSettleMs);
    return ok;
}

bool CRadioLink::WriteParameter(const std::uint8_t* payload, std::uint32_t length) {
    if (payload == nullptr || length == 0 || length > kMaxPayload - 1) {
        // Not a write the radio can take (the write id alone is one byte, a frame carries at most
        // 256 with this opcode); refuse it before anything goes out.
        m_status = RadioStatus::TooLong;
        return false;
    }
    SendFrame(radio_protocol::kWriteRequest, payload, length);
    if (m_status == RadioStatus::NoResponse || m_status == RadioStatus::Cancelled) {
        return false;
    }
    std::uint32_t received = 0;
    bool ok = AwaitAcknowledge() && AwaitReply(radio_protocol::kWriteReply, false, received);
    if (ok && !(received == 1 && m_reply[0] == 0)) {
        m_status = RadioStatus::WriteRejected;  // the caller reports its own failure
        ok = false;
    }
    // A write the radio has confirmed stays a success even when a cancel comes during the
    // settle wait: the value is in the radio.
    Wait(radio_protocol::kSettleMs);
    return ok;
}

bool CRadioLink::EndExchange() {
    SendFrame(radio_protocol::kEndExchangeRequest, nullptr, 0);
    if (m_status == RadioStatus::NoResponse || m_status == RadioStatus::Cancelled) {
        return false;
    }
    if (!AwaitAcknowledge()) {
        return false;
    }
    return Wait(radio_protocol::kEndExchangeWaitMs);
}

}  // namespace varnel
