#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace varnel::sim {

// What goes wrong. The kinds that replace an answer frame (NAK, an unexpected opcode, a bad
// checksum, a frame cut short, a frame too long) act on one stage of the answer: the acknowledge
// or the last answer (the reply; for an end-of-exchange request, whose only answer is the
// acknowledge, that is the acknowledge too). Nothing is sent after a replaced frame: a radio
// that has refused or garbled an answer does not go on with the exchange.
enum class FaultKind {
    Nak,           // NAK (opcode 6) in place of the frame
    Unexpected,    // opcode 7, which no request is answered with, in place of the frame
    BadChecksum,   // the frame with its checksum byte wrong
    Incomplete,    // the frame without its last byte
    TooLong,       // a frame announcing 300 data bytes and sending them all
    NotSupported,  // acknowledge, then "not supported" (134), whatever the radio has
    RejectWrite,   // a write is answered with [1] and does not land
    NoEcho,        // the line does not return this request; the radio still answers
    Silence,       // from this request on the radio answers nothing; the line still echoes
    Delay,         // the answers come delayMs later
};

enum class FaultStage { Acknowledge, Last };

// Which requests a fault hits.
enum class TriggerType {
    Any,            // every request
    RequestNumber,  // the n-th complete request frame since the simulator started (from 1)
    Read,           // every read of parameter id n
    Write,          // every write with write id n
    End,            // every end-of-exchange request
};

struct Fault {
    FaultKind kind = FaultKind::Nak;
    FaultStage stage = FaultStage::Acknowledge;
    TriggerType trigger = TriggerType::Any;
    int number = 0;   // request number or id, by trigger
    int delayMs = 0;  // for Delay
};

// What a request is, as far as triggers care.
struct RequestKey {
    int number = 0;  // from 1
    int opcode = -1;
    int id = -1;  // parameter id of a read, write id of a write, -1 otherwise
};

bool FaultMatches(const Fault& fault, const RequestKey& request);

// Parses "KIND[@TRIGGER]", for example "nak@3", "bad-checksum@read=2", "delay=1500@end",
// "silence@5". Returns false with a message naming what is wrong.
bool ParseFault(std::string_view text, Fault& fault, std::string& error);

// The text form that ParseFault reads back.
std::string FormatFault(const Fault& fault);

// One line per kind and trigger, for --help and error messages.
std::string_view FaultSyntaxHelp();

}  // namespace varnel::sim
