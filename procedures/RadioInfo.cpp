#include "procedures/RadioInfo.h"

#include "procedures/Exchange.h"
#include "radio/Catalogue.h"

namespace varnel {

const std::array<RadioInfoQuery, kRadioInfoFieldCount> kRadioInfoQueries = {{
    {PARAM_MODEL_NUMBER, "Model Number", "model_number", false, Tolerates::Refusal},
    {PARAM_SERIAL_NUMBER, "Serial Number", "serial_number", false, Tolerates::Refusal},
    {PARAM_SOFTWARE_VERSION, "Software Version", "software_version", false,
     Tolerates::NotSupported},
    {PARAM_CODEPLUG_VERSION, "Codeplug Version", "codeplug_version", false,
     Tolerates::NotSupported},
    {PARAM_LAST_PROGRAMMED, "Last Programmed", "last_programmed", true, Tolerates::NotSupported},
    {PARAM_CODEPLUG_PART_NO, "Codeplug Part No", "codeplug_part_no", true, Tolerates::NotSupported},
    {PARAM_FIRMWARE_PART_NO, "Firmware Part No", "firmware_part_no", true, Tolerates::NotSupported},
    {PARAM_ESN, "ESN", "esn", true, Tolerates::NotSupported},
    {PARAM_REGIONAL_ID, "Regional Identifier", "regional_id", true, Tolerates::NotSupported},
    {PARAM_UUID, "UUID", "uuid", true, Tolerates::NotSupported},
    {PARAM_RADIO_IC_VERSIONS, "Radio IC Versions", "radio_ic_versions", true,
     Tolerates::NotSupported},
}};

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
