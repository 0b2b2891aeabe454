#include "tools/radio-sim/Fault.h"

#include <charconv>

namespace varnel::sim {

namespace {

struct KindName {
    std::string_view name;
    FaultKind kind;
    FaultStage stage;
};

// The default stage is the one a technician means by the plain name: a NAK or an odd opcode
// comes instead of the acknowledge, a damaged frame is the reply that carries the data.
constexpr KindName kKinds[] = {
    {"nak", FaultKind::Nak, FaultStage::Acknowledge},
    {"nak-ack", FaultKind::Nak, FaultStage::Acknowledge},
    {"nak-reply", FaultKind::Nak, FaultStage::Last},
    {"unexpected", FaultKind::Unexpected, FaultStage::Acknowledge},
    {"unexpected-ack", FaultKind::Unexpected, FaultStage::Acknowledge},
    {"unexpected-reply", FaultKind::Unexpected, FaultStage::Last},
    {"bad-checksum", FaultKind::BadChecksum, FaultStage::Last},
    {"bad-checksum-ack", FaultKind::BadChecksum, FaultStage::Acknowledge},
    {"bad-checksum-reply", FaultKind::BadChecksum, FaultStage::Last},
    {"incomplete", FaultKind::Incomplete, FaultStage::Last},
    {"incomplete-ack", FaultKind::Incomplete, FaultStage::Acknowledge},
    {"incomplete-reply", FaultKind::Incomplete, FaultStage::Last},
    {"too-long", FaultKind::TooLong, FaultStage::Last},
    {"too-long-ack", FaultKind::TooLong, FaultStage::Acknowledge},
    {"too-long-reply", FaultKind::TooLong, FaultStage::Last},
    {"not-supported", FaultKind::NotSupported, FaultStage::Last},
    {"reject", FaultKind::RejectWrite, FaultStage::Last},
    {"no-echo", FaultKind::NoEcho, FaultStage::Acknowledge},
    {"silence", FaultKind::Silence, FaultStage::Acknowledge},
};

constexpr int kMaxDelayMs = 60000;

// Built without "literal" + std::string, on which GCC 12 gives false -Wrestrict warnings at -O2.
std::string Quoted(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted.push_back('"');
    quoted.append(text);
    quoted.push_back('"');
    return quoted;
}

bool ParseNumber(std::string_view text, int min, int max, int& value) {
    if (text.empty() || text.size() > 6) {
        return false;
    }
    int parsed = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (ec != std::errc() || end != text.data() + text.size() || parsed < min || parsed > max) {
        return false;
    }
    value = parsed;
    return true;
}

bool ParseTrigger(std::string_view text, Fault& fault, std::string& error) {
    if (text == "any") {
        fault.trigger = TriggerType::Any;
        return true;
    }
    if (text == "end") {
        fault.trigger = TriggerType::End;
        return true;
    }
    auto parseId = [&](std::string_view prefix, TriggerType type) {
        if (!ParseNumber(text.substr(prefix.size()), 0, 255, fault.number)) {
            error = Quoted(text) + ": the id after " + std::string(prefix) +
                    " must be a number from 0 to 255";
            return false;
        }
        fault.trigger = type;
        return true;
    };
    if (text.starts_with("read=")) {
        return parseId("read=", TriggerType::Read);
    }
    if (text.starts_with("write=")) {
        return parseId("write=", TriggerType::Write);
    }
    if (!ParseNumber(text, 1, 999999, fault.number)) {
        error = "unknown trigger \"" + std::string(text) +
                "\" (expected a request number from 1, read=ID, write=ID, end or any)";
        return false;
    }
    fault.trigger = TriggerType::RequestNumber;
    return true;
}

}  // namespace

bool FaultMatches(const Fault& fault, const RequestKey& request) {
    switch (fault.trigger) {
        case TriggerType::Any:
            return true;
        case TriggerType::RequestNumber:
            return request.number == fault.number;
        case TriggerType::Read:
            return request.opcode == 35 && request.id == fault.number;
        case TriggerType::Write:
            return request.opcode == 24 && request.id == fault.number;
        case TriggerType::End:
            return request.opcode == 16;
    }
    return false;
}

bool ParseFault(std::string_view text, Fault& fault, std::string& error) {
    Fault parsed;
    const std::size_t at = text.find('@');
    const std::string_view kindText = text.substr(0, at);
    bool known = false;
    if (kindText.starts_with("delay=")) {
        if (!ParseNumber(kindText.substr(6), 0, kMaxDelayMs, parsed.delayMs)) {
            error = Quoted(kindText) + ": the delay must be 0 to " + std::to_string(kMaxDelayMs) +
                    " ms";
            return false;
        }
        parsed.kind = FaultKind::Delay;
        known = true;
    }
    for (const KindName& k : kKinds) {
        if (!known && kindText == k.name) {
            parsed.kind = k.kind;
            parsed.stage = k.stage;
            known = true;
        }
    }
    if (!known) {
        error = "unknown fault \"" + std::string(kindText) + "\"";
        return false;
    }
    if (at != std::string_view::npos && !ParseTrigger(text.substr(at + 1), parsed, error)) {
        return false;
    }
    fault = parsed;
    return true;
}

std::string FormatFault(const Fault& fault) {
    std::string text;
    if (fault.kind == FaultKind::Delay) {
        text = "delay=" + std::to_string(fault.delayMs);
    } else {
        // The first name listed for a kind and stage is its canonical one.
        for (const KindName& k : kKinds) {
            const bool stageMatters =
                fault.kind == FaultKind::Nak || fault.kind == FaultKind::Unexpected ||
                fault.kind == FaultKind::BadChecksum || fault.kind == FaultKind::Incomplete ||
                fault.kind == FaultKind::TooLong;
            if (k.kind == fault.kind && (!stageMatters || k.stage == fault.stage)) {
                text = std::string(k.name);
                break;
            }
        }
    }
    switch (fault.trigger) {
        case TriggerType::Any:
            return text + "@any";
        case TriggerType::RequestNumber:
            return text + "@" + std::to_string(fault.number);
        case TriggerType::Read:
            return text + "@read=" + std::to_string(fault.number);
        case TriggerType::Write:
            return text + "@write=" + std::to_string(fault.number);
        case TriggerType::End:
            return text + "@end";
    }
    return text;
}

std::string_view FaultSyntaxHelp() {
    return "A fault is KIND[@TRIGGER]; without a trigger it hits every request.\n"
           "  KIND:\n"
           "    nak                 NAK (opcode 6) instead of the acknowledge\n"
           "    nak-reply           acknowledge, then NAK instead of the reply\n"
           "    unexpected          opcode 7 instead of the acknowledge\n"
           "    unexpected-reply    acknowledge, then opcode 7 instead of the reply\n"
           "    not-supported       acknowledge, then not supported (134)\n"
           "    reject              a write is answered with [1] and does not land\n"
           "    bad-checksum        the reply with a wrong checksum (-ack: the acknowledge)\n"
           "    incomplete          the reply without its last byte (-ack: the acknowledge)\n"
           "    too-long            a reply of 300 data bytes (-ack: instead of the acknowledge)\n"
           "    no-echo             the line does not return the request; the radio answers\n"
           "    silence             no answer to this request nor any later one\n"
           "    delay=MS            the answers come MS milliseconds late (0 to 60000)\n"
           "  TRIGGER:\n"
           "    N                   the N-th request since the start (from 1), once\n"
           "    read=ID             every read of parameter ID\n"
           "    write=ID            every write with write id ID (1 ESN, 4 Regional ID)\n"
           "    end                 every end-of-exchange request\n"
           "    any                 every request\n";
}

}  // namespace varnel::sim
