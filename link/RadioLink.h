#pragma once

#include <cstddef>
#include <cstdint>

#include "link/BytePort.h"
#include "link/CancelToken.h"
#include "link/Clock.h"
#include "link/FrameTrace.h"
#include "link/RadioStatus.h"
#include "strings/Messages.h"

namespace varnel {

// Protocol constants of the radio's command set.
namespace radio_protocol {
inline constexpr std::uint8_t kAcknowledge = 5;
inline constexpr std::uint8_t kNak = 6;
inline constexpr std::uint8_t kEndExchangeRequest = 16;
inline constexpr std::uint8_t kWriteRequest = 24;
inline constexpr std::uint8_t kReadRequest = 35;
inline constexpr std::uint8_t kNotSupported = 134;
inline constexpr std::uint8_t kWriteReply = 135;
inline constexpr std::uint8_t kReadReply = 139;
inline constexpr std::uint32_t kReplyTimeoutMs = 1000;
inline constexpr std::int64_t kSettleMs = 100;
inline constexpr std::int64_t kEndExchangeWaitMs = 1000;
}  // namespace radio_protocol

// The link to the radio: frames on the wire and the commands built on them. Every failure is
// shown to the user through the reporter where it is found, and its kind is left in m_status.
// Whoever runs an exchange attaches the port, and hands in the reporter, the clock and the
// cancel token; the link finds nothing by itself.
class CRadioLink {
public:
    static constexpr std::size_t kRxBufferSize = 261;  // the longest frame accepted
    static constexpr std::size_t kMaxPayload = 257;    // its longest payload
    static constexpr std::size_t kValueSize = 40;      // value bytes of a read, with the zero

    RadioStatus m_status = RadioStatus::Ok;
    // Set when the radio answered a request with an opcode that answers nothing there (neither
    // the awaited one, nor a NAK, nor "not supported"). m_status stays Ok then, as for a NAK; this
    // tells the two apart, for a caller to whom only a refusal is the radio's own word. Whoever
    // takes m_status clears it.
    bool m_unexpectedAnswer = false;
    IBytePort* m_pPort = nullptr;
    std::uint8_t m_rxOpcode = 0;
    std::uint32_t m_rxCount = 0;
    std::uint8_t m_rxBuffer[kRxBufferSize] = {};
    std::uint8_t m_reply[kMaxPayload] = {};
    // Both handed in with the port by whoever runs the exchange. A link missing any of the three
    // is not attached: it sends nothing and fails with NoPort (told when a reporter is there).
    IClock* m_pClock = nullptr;
    IMessageReporter* m_pReporter = nullptr;
    // When set and cancelled, the link sends nothing more, stops waiting, shows nothing and
    // leaves Cancelled in m_status.
    const CancelToken* m_pCancel = nullptr;
    // When set, sees every frame sent and received; none by default.
    IFrameTrace* m_pTrace = nullptr;

    // Sends one frame in the shortest form for opcode and length, then takes back and drops the
    // line's echo of it. The outcome is m_status. length may be at most what a receiver takes:
    // 257 with an opcode below 15, 256 otherwise; a longer frame is refused with TooLong and
    // nothing is sent. data may be null only when length is 0.
    void SendFrame(std::uint8_t opcode, const std::uint8_t* data, std::uint32_t length);

    // Receives one frame. On success writes opcodeOut and, when a destination is given, the
    // payload (destination must hold kMaxPayload bytes) and lengthOut; on failure writes none of
    // them. Returns the status, also kept in m_status.
    RadioStatus ReceiveFrame(std::uint8_t& opcodeOut, std::uint8_t* destination,
                             std::uint32_t& lengthOut, std::uint32_t timeoutMs);

    // 0xFF minus the 8-bit sum of the bytes: a whole frame adds up to 0xFF.
    static std::uint8_t Checksum(const std::uint8_t* bytes, std::uint32_t count);

    // Reads parameter id. On success destination holds the value bytes and a terminating zero,
    // and length their count (0 to 39); length is 0 from the start of the call. quiet keeps the
    // "not supported" message back; the status is set either way.
    bool ReadParameter(char (&destination)[kValueSize], std::uint8_t id, std::uint32_t& length,
                       bool quiet);
    // Writes payload (the write id first, then the value). Succeeds when the radio replies with
    // the single byte 0.
    bool WriteParameter(const std::uint8_t* payload, std::uint32_t length);
    // Closes the exchange; after the radio's acknowledge it waits about one second.
    bool EndExchange();

private:
    // The first answer to every request: true for the acknowledge; a NAK or any other opcode is
    // reported and gives false.
    bool AwaitAcknowledge();
    // The answer after the acknowledge: true for replyOpcode; "not supported" and any other
    // opcode are reported and give false.
    bool AwaitReply(std::uint8_t replyOpcode, bool quiet, std::uint32_t& received);
    // Reports an answer that is not the one awaited: a NAK, or anything else (unexpected).
    void ReportWrongAnswer(std::uint8_t opcode);
    void Purge();
    void Report(int stringId);
    bool Attached() const;
    // Waits on the link's clock; false when cancelled or when no clock is attached.
    bool Wait(std::int64_t ms);
    bool Cancelled();
    void TraceReceived();

    bool m_receivingEcho = false;  // the receive under way takes back the frame just sent
};

}  // namespace varnel
