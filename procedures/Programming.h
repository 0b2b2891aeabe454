#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "link/RadioStatus.h"
#include "procedures/Session.h"

namespace varnel {

// What a one-read exchange gave: its outcome and, when the read succeeded, the value bytes.
struct ReadResult {
    Outcome outcome = Outcome::PortNotOpened;
    bool read = false;  // the read succeeded and value holds what the radio sent
    std::string value;
};

// Judges a value read from the radio: 0 to go on, or the string id of the error to show.
using ValueJudge = std::function<int(const std::string& value)>;

// The test a programming command makes before it writes: one exchange that reads parameter id
// and lets judge decide from its value. A judged error is shown while the port is still open and
// gives Refused. After a failed read, a refusal (or an unexpected answer, which is a failed link
// all the same) still ends the exchange; a failed link, a radio
// without the parameter or a cancel take the abort way. Done only when the user may go on.
ReadResult ReadAndJudge(Session& session, std::uint8_t id, const std::string& stepDescription,
                        const ValueJudge& judge);

class Exchange;

// The read of ReadAndJudge, as step of an exchange already open, which it then ends (or aborts
// after a failed link or a cancel) as ReadAndJudge does; result gets what the read gave.
void FinishWithJudgedRead(Exchange& exchange, std::uint8_t id, const ExchangeStep& step,
                          const ValueJudge& judge, ReadResult& result);

// What a programming exchange gave.
struct WriteResult {
    Outcome outcome = Outcome::PortNotOpened;
    // The write request went out. After a cancel this tells the user that the radio may have
    // taken the value although nobody saw it confirm.
    bool requestSent = false;
    // The radio answered the request, though perhaps not with a confirmation. A request sent and
    // not answered (cancelled, silence, a damaged frame) may have been taken all the same.
    bool answered = false;
    // Why a write that went out failed: WriteRejected or NotSupported are the radio's own clean
    // refusal; Ok after a failure is a NAK or an answer that makes no sense, which the link does
    // not tell apart.
    RadioStatus status = RadioStatus::Ok;
};

// The messages of one programming exchange.
struct WriteMessages {
    int success;
    int failure;
    int cancelled;  // cancelled after the request went out: the radio may have taken the value
};

// One programming exchange: write payload, report its success or failure while the port is still
// open (the user hears the outcome before the exchange is closed), then end the exchange, after
// a failed write as well. Done when the radio confirmed the write. A cancel closes the port at
// once; when the request had gone out the user is told that the radio may have the value.
WriteResult WriteAndReport(Session& session, const std::uint8_t* payload, std::uint32_t length,
                           const std::string& stepDescription, const WriteMessages& messages);

}  // namespace varnel
