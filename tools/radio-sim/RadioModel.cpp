#include "tools/radio-sim/RadioModel.h"

#include <algorithm>

#include "tools/radio-sim/FrameCodec.h"

namespace varnel::sim {

namespace {

std::string ParameterName(int id) {
    switch (id) {
        case 0:
            return "Model Number";
        case 1:
            return "Serial Number";
        case 2:
            return "ESN";
        case 3:
            return "Software Version";
        case 4:
            return "Codeplug Version";
        case 10:
            return "Last Programmed";
        case 11:
            return "Codeplug Part No";
        case 12:
            return "Firmware Part No";
        case 14:
            return "Radio IC Versions";
        case 15:
            return "UUID";
        case 16:
            return "Regional ID";
        default:
            return "parameter " + std::to_string(id);
    }
}

Answer Frame(std::uint8_t op, const Bytes& data, std::string note) {
    return Answer{EncodeFrame(op, data), std::move(note)};
}

bool ReplacesFrame(FaultKind kind) {
    return kind == FaultKind::Nak || kind == FaultKind::Unexpected ||
           kind == FaultKind::BadChecksum || kind == FaultKind::Incomplete ||
           kind == FaultKind::TooLong;
}

// The frame a fault puts in place of an answer.
Answer Damage(const Answer& original, const Fault& fault) {
    const std::string why = " (fault " + FormatFault(fault) + ")";
    const Bytes& f = original.frame;
    // A one-byte frame has no checksum to spoil and nothing to cut; its checksummed form does.
    Bytes frame =
        f.size() == 1 ? EncodeChecksummedEmptyFrame(static_cast<std::uint8_t>(f[0] >> 4)) : f;
    switch (fault.kind) {
        case FaultKind::Nak:
            return Frame(opcode::kNak, {}, "NAK" + why);
        case FaultKind::Unexpected:
            return Frame(opcode::kUnexpected, {}, "unexpected opcode 7" + why);
        case FaultKind::BadChecksum:
            frame.back() = static_cast<std::uint8_t>(frame.back() + 1);
            return Answer{frame, original.note + ", checksum wrong" + why};
        case FaultKind::Incomplete:
            frame.pop_back();
            return Answer{frame, original.note + ", last byte missing" + why};
        case FaultKind::TooLong: {
            // Opcode as in the original; 300 data bytes are more than any receiver takes.
            const std::uint8_t op = f.size() == 1       ? static_cast<std::uint8_t>(f[0] >> 4)
                                    : (f[0] >> 4) == 15 ? f[1]
                                                        : static_cast<std::uint8_t>(f[0] >> 4);
            Bytes data(300);
            for (std::size_t i = 0; i < data.size(); ++i) {
                data[i] = static_cast<std::uint8_t>(i);
            }
            return Answer{EncodeFrame(op, data), "300 data bytes" + why};
        }
        default:
            return original;
    }
}

}  // namespace

std::uint8_t EsnCheckByte(std::uint32_t field1, std::uint32_t field2, std::uint32_t field3) {
    const std::uint32_t message =
        ((field1 & 0xFF) << 22) | ((field2 & 0x0F) << 18) | (field3 & 0x3FFFF);
    std::uint32_t r = 0;
    for (int bit = 29; bit >= 0; --bit) {
        const std::uint32_t t = ((r >> 7) ^ (message >> bit)) & 1;
        r = (r << 1) & 0xFF;
        if (t != 0) {
            r ^= 0xC1;
        }
    }
    return static_cast<std::uint8_t>(((r + 0xC4) & 0xFF) ^ 0x5D);
}

RadioModel::RadioModel(const RadioProfile& profile)
    : m_values(profile.values), m_faults(profile.faults), m_latencyMs(profile.latencyMs) {
    for (std::uint8_t id : profile.unsupported) {
        m_values.erase(id);
    }
}

void RadioModel::SetValue(std::uint8_t id, Bytes value) {
    if (value.size() > kMaxValueBytes) {
        value.resize(kMaxValueBytes);
    }
    m_values[id] = std::move(value);
}

void RadioModel::RemoveValue(std::uint8_t id) {
    m_values.erase(id);
}

void RadioModel::ClearFaults() {
    m_faults.clear();
    m_silent = false;
}

bool RadioModel::Supports(std::uint8_t id) const {
    return m_values.count(id) != 0;
}

bool RadioModel::EchoMayBeDropped() const {
    for (const Fault& fault : m_faults) {
        if (fault.kind != FaultKind::NoEcho) {
            continue;
        }
        if (fault.trigger != TriggerType::RequestNumber || fault.number == m_requestCount + 1) {
            return true;
        }
    }
    return false;
}

Reaction RadioModel::Handle(const Request& request) {
    Reaction reaction;
    reaction.number = ++m_requestCount;
    reaction.delayMs = m_latencyMs;

    RequestKey key;
    key.number = reaction.number;
    key.opcode = request.opcode;
    if ((request.opcode == opcode::kRead && request.data.size() == 1) ||
        (request.opcode == opcode::kWrite && !request.data.empty())) {
        key.id = request.data[0];
    }

    std::vector<const Fault*> matched;
    for (const Fault& fault : m_faults) {
        if (FaultMatches(fault, key)) {
            matched.push_back(&fault);
        }
    }
    const Fault* ackFault = nullptr;
    const Fault* lastFault = nullptr;
    bool notSupported = false;
    bool reject = false;
    for (const Fault* fault : matched) {
        switch (fault->kind) {
            case FaultKind::NoEcho:
                reaction.echo = false;
                break;
            case FaultKind::Silence:
                m_silent = true;
                break;
            case FaultKind::Delay:
                reaction.delayMs += fault->delayMs;
                break;
            case FaultKind::NotSupported:
                notSupported = true;
                break;
            case FaultKind::RejectWrite:
                reject = true;
                break;
            default:
                if (ReplacesFrame(fault->kind)) {
                    const Fault*& slot =
                        fault->stage == FaultStage::Acknowledge ? ackFault : lastFault;
                    if (slot == nullptr) {
                        slot = fault;
                    }
                }
                break;
        }
    }

    if (!request.checksumOk) {
        reaction.note = "checksum wrong: ignored";
        return reaction;
    }
    if (m_silent) {
        reaction.note = "no answer (radio silent)";
        return reaction;
    }

    // A write lands unless the radio refuses it: a refusal of any kind at the acknowledge, a NAK
    // or odd opcode in place of the reply, "not supported" or a rejection. A reply damaged on
    // its way back (checksum, cut short, too long) comes after the write was done.
    const bool refused =
        ackFault != nullptr || (lastFault != nullptr && (lastFault->kind == FaultKind::Nak ||
                                                         lastFault->kind == FaultKind::Unexpected));
    switch (request.opcode) {
        case opcode::kRead:
            AnswerRead(request, reaction, notSupported);
            break;
        case opcode::kWrite:
            AnswerWrite(request, reaction, notSupported, refused, reject);
            break;
        case opcode::kEndExchange:
            reaction.note = "end of exchange";
            if (notSupported) {
                reaction.answers.push_back(
                    Frame(opcode::kNotSupported, {}, "not supported (fault)"));
            } else {
                reaction.answers.push_back(Frame(opcode::kAcknowledge, {}, "acknowledge"));
            }
            break;
        default:
            reaction.note = "opcode " + std::to_string(request.opcode) + ": unknown";
            reaction.answers.push_back(Frame(opcode::kNak, {}, "NAK"));
            break;
    }

    if (ackFault != nullptr && !reaction.answers.empty()) {
        reaction.answers.resize(1);
        reaction.answers[0] = Damage(reaction.answers[0], *ackFault);
    } else if (lastFault != nullptr && !reaction.answers.empty()) {
        reaction.answers.back() = Damage(reaction.answers.back(), *lastFault);
    }
    return reaction;
}

void RadioModel::AnswerRead(const Request& request, Reaction& reaction, bool notSupported) {
    if (request.data.size() != 1) {
        reaction.note = "read with " + std::to_string(request.data.size()) + " data bytes";
        reaction.answers.push_back(Frame(opcode::kNak, {}, "NAK"));
        return;
    }
    const std::uint8_t id = request.data[0];
    reaction.note = "read " + std::to_string(id) + " " + ParameterName(id);
    reaction.answers.push_back(Frame(opcode::kAcknowledge, {}, "acknowledge"));
    const auto value = m_values.find(id);
    if (notSupported || value == m_values.end()) {
        reaction.answers.push_back(Frame(opcode::kNotSupported, {}, "not supported"));
        return;
    }
    // The leading byte is not looked at by the tool; a radio puts the id there.
    Bytes payload(value->second.size() + 1);
    payload[0] = id;
    std::copy(value->second.begin(), value->second.end(), payload.begin() + 1);
    reaction.answers.push_back(
        Frame(opcode::kReadReply, payload,
              "read reply: " + HexBytes(value->second.data(), value->second.size())));
}

void RadioModel::AnswerWrite(const Request& request, Reaction& reaction, bool notSupported,
                             bool refused, bool reject) {
    if (request.data.empty()) {
        reaction.note = "write without a write id";
        reaction.answers.push_back(Frame(opcode::kNak, {}, "NAK"));
        return;
    }
    const std::uint8_t writeId = request.data[0];
    const Bytes value(request.data.begin() + 1, request.data.end());
    reaction.note =
        "write " + std::to_string(writeId) + ": " + HexBytes(value.data(), value.size());
    reaction.answers.push_back(Frame(opcode::kAcknowledge, {}, "acknowledge"));

    const WriteTarget* target = nullptr;
    for (const WriteTarget& t : kWriteTargets) {
        if (t.writeId == writeId) {
            target = &t;
        }
    }
    if (notSupported || target == nullptr || !Supports(target->parameterId)) {
        reaction.answers.push_back(Frame(opcode::kNotSupported, {}, "not supported"));
        return;
    }
    reaction.note += " -> " + ParameterName(target->parameterId);

    std::string why;
    if (value.size() != target->valueLength) {
        why = "wrong length";
    } else if (target->parameterId == 2) {
        const std::uint8_t expected =
            EsnCheckByte(value[0], value[1] >> 4,
                         (static_cast<std::uint32_t>(value[1] & 3) << 16) |
                             (static_cast<std::uint32_t>(value[2]) << 8) | value[3]);
        if (value[4] != expected) {
            why = "check byte should be " + HexBytes(&expected, 1);
        }
    } else if (target->parameterId == 16 && value[0] > 4) {
        why = "no such region code";
    }
    if (why.empty() && reject) {
        why = "fault reject";
    }
    if (!why.empty()) {
        reaction.answers.push_back(Frame(opcode::kWriteReply, {1}, "write reply [1]: " + why));
        return;
    }
    if (!refused) {
        m_values[target->parameterId] = value;
        reaction.valueChanged = true;
    }
    reaction.answers.push_back(Frame(opcode::kWriteReply, {0}, "write reply [0]"));
}

}  // namespace varnel::sim
