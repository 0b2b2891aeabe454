#include "procedures/Programming.h"

#include "procedures/Exchange.h"

namespace varnel {

ReadResult ReadAndJudge(Session& session, std::uint8_t id, const std::string& stepDescription,
                        const ValueJudge& judge) {
    ReadResult result;
    Exchange exchange(session);
    if (!exchange.Open()) {
        return result;
    }
    FinishWithJudgedRead(exchange, id, {stepDescription, 1, 1}, judge, result);
    return result;
}

void FinishWithJudgedRead(Exchange& exchange, std::uint8_t id, const ExchangeStep& step,
                          const ValueJudge& judge, ReadResult& result) {
    exchange.Step(step);
    char value[CRadioLink::kValueSize] = {};
    std::uint32_t length = 0;
    if (exchange.Link().ReadParameter(value, id, length, false)) {
        result.read = true;
        result.value.assign(value, length);
        if (exchange.CancelRequested()) {
            exchange.Abort();
            result.outcome = Outcome::Cancelled;
            return;
        }
        const int error = judge ? judge(result.value) : 0;
        if (error != 0) {
            ShowMessage(exchange.GetSession().reporter, MSG_ERROR, error);
        }
        result.outcome = error == 0 ? Outcome::Done : Outcome::Refused;
    } else {
        // The read has reported its own failure.
        const RadioStatus status = exchange.TakeStatus();
        result.outcome = exchange.FailureOutcome(status);
        if (status != RadioStatus::Ok) {
            exchange.Abort();
            return;
        }
    }
    exchange.End();
    if (exchange.CancelRequested()) {
        result.outcome = Outcome::Cancelled;
    }
}

WriteResult WriteAndReport(Session& session, const std::uint8_t* payload, std::uint32_t length,
                           const std::string& stepDescription, const WriteMessages& messages) {
    WriteResult result;
    Exchange exchange(session);
    if (!exchange.Open()) {
        return result;
    }
    exchange.Step({stepDescription, 1, 1});
    if (exchange.CancelRequested()) {
        exchange.Abort();
        result.outcome = Outcome::Cancelled;
        return result;
    }
    result.requestSent = true;
    const bool written = exchange.Link().WriteParameter(payload, length);
    const RadioStatus status = written ? RadioStatus::Ok : exchange.TakeStatus();
    result.status = status;
    if (status == RadioStatus::Cancelled) {
        // Nobody saw the radio confirm or refuse: closed first, then said as it is.
        exchange.Abort();
        ShowMessage(session.reporter, MSG_ERROR, messages.cancelled);
        result.outcome = Outcome::Cancelled;
        return result;
    }
    if (written) {
        exchange.WriteConfirmed();
    }
    ShowMessage(session.reporter, written ? MSG_INFO : MSG_ERROR,
                written ? messages.success : messages.failure);
    result.outcome = written ? Outcome::Done : exchange.FailureOutcome(status);
    // A NAK, an unexpected answer, "not supported" or a rejection: whatever it meant, the
    // radio said something back.
    result.answered = written || status == RadioStatus::Ok || status == RadioStatus::NotSupported ||
                      status == RadioStatus::WriteRejected;
    exchange.End();
    return result;
}

}  // namespace varnel
