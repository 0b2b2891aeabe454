#include "procedures/RadioInfo.h"

#include "procedures/Exchange.h"
#include "radio/Catalogue.h"

namespace varnel {

RadioInfoResult ReadRadioInfo(Session& session) {
    RadioInfoResult result;
    Exchange exchange(session);
    if (!exchange.Open()) {
        return result;
    }
    char value[CRadioLink::kValueSize];
    constexpr int count = static_cast<int>(kRadioInfoFieldCount);
    for (int i = 0; i < count; ++i) {
        const RadioInfoQuery& query = kRadioInfoQueries[i];
        exchange.Step({"Reading " + std::string(query.label), i + 1, count});
        std::uint32_t length = 0;
        if (exchange.Link().ReadParameter(value, query.id, length, query.quiet)) {
            result.fields[i] = FormatParameter(query.id, value, length);
            if (exchange.CancelRequested()) {
                exchange.Abort();
                result.outcome = Outcome::Cancelled;
                return result;
            }
            continue;
        }
        const RadioStatus status = exchange.TakeStatus();
        if (status == RadioStatus::Ok && query.tolerates == Tolerates::Refusal) {
            // The field stays empty and the dialog still shows the others.
            result.answeredUnexpectedly =
                result.answeredUnexpectedly || exchange.AnsweredUnexpectedly();
            continue;
        }
        if (status == RadioStatus::NotSupported && query.tolerates == Tolerates::NotSupported) {
            result.fields[i] = "n/a";
            continue;
        }
        // The link's message has been shown; the radio is not asked again.
        exchange.Abort();
        result.outcome = exchange.FailureOutcome(status);
        return result;
    }
    exchange.End();
    result.outcome = exchange.CancelRequested() ? Outcome::Cancelled : Outcome::Done;
    return result;
}

}  // namespace varnel
