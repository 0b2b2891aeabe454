#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/radio-sim/Fault.h"
#include "tools/radio-sim/RadioProfile.h"

namespace varnel::sim {

// The radio's command set, as the radio sees it.
namespace opcode {
inline constexpr std::uint8_t kAcknowledge = 5;
inline constexpr std::uint8_t kNak = 6;
inline constexpr std::uint8_t kUnexpected = 7;  // answers nothing
inline constexpr std::uint8_t kEndExchange = 16;
inline constexpr std::uint8_t kWrite = 24;
inline constexpr std::uint8_t kRead = 35;
inline constexpr std::uint8_t kNotSupported = 134;
inline constexpr std::uint8_t kWriteReply = 135;
inline constexpr std::uint8_t kReadReply = 139;
}  // namespace opcode

// Write ids and the parameter each one lands in, with the value length it takes.
struct WriteTarget {
    std::uint8_t writeId;
    std::uint8_t parameterId;
    std::size_t valueLength;
};
inline constexpr WriteTarget kWriteTargets[] = {
    {1, 2, 5},   // ESN: four value bytes and the check byte
    {4, 16, 1},  // Regional ID: the code
};

// The check byte a radio expects with an ESN: CRC-8 (x^8 + x^7 + x^6 + 1) over field 1 (8 bits),
// field 2 (4 bits) and field 3 (18 bits), most significant bit first, then + 0xC4 and XOR 0x5D.
std::uint8_t EsnCheckByte(std::uint32_t field1, std::uint32_t field2, std::uint32_t field3);

// One request frame as it came off the line.
struct Request {
    Bytes frame;
    std::uint8_t opcode = 0;
    Bytes data;
    bool checksumOk = true;
};

// One frame the radio sends, with a short description for the trace.
struct Answer {
    Bytes frame;
    std::string note;
};

// What the radio does about one request.
struct Reaction {
    int number = 0;    // the request's number, from 1
    bool echo = true;  // the line returns the request
    int delayMs = 0;   // before the first answer
    std::vector<Answer> answers;
    std::string note;  // the request as the radio understood it
    bool valueChanged = false;
};

// The radio behind the line: values, unsupported ids, faults. Not thread-safe; the simulator
// holds it behind its lock.
class RadioModel {
public:
    explicit RadioModel(const RadioProfile& profile);

    // Answers one complete request frame. Requests are numbered in the order they come.
    Reaction Handle(const Request& request);

    // Whether a "no echo" fault could hit the request that starts now, before its id is known:
    // then the echo is held until the frame is complete.
    bool EchoMayBeDropped() const;

    int RequestCount() const { return m_requestCount; }
    const std::map<std::uint8_t, Bytes>& Values() const { return m_values; }
    void SetValue(std::uint8_t id, Bytes value);
    void RemoveValue(std::uint8_t id);

    void AddFault(const Fault& fault) { m_faults.push_back(fault); }
    // Removes every fault and ends a silence.
    void ClearFaults();
    const std::vector<Fault>& Faults() const { return m_faults; }
    void SetLatencyMs(int ms) { m_latencyMs = ms; }
    int LatencyMs() const { return m_latencyMs; }

private:
    void AnswerRead(const Request& request, Reaction& reaction, bool notSupported);
    // refused: the radio will not answer [0] or will not get to answer, so nothing lands.
    void AnswerWrite(const Request& request, Reaction& reaction, bool notSupported, bool refused,
                     bool reject);
    bool Supports(std::uint8_t id) const;

    std::map<std::uint8_t, Bytes> m_values;
    std::vector<Fault> m_faults;
    int m_latencyMs = 0;
    int m_requestCount = 0;
    bool m_silent = false;
};

}  // namespace varnel::sim
