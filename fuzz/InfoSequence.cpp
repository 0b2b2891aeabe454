#include "fuzz/InfoSequence.h"

#include <cstring>

#include "radio/Catalogue.h"

namespace varnel::fuzz {

// Model and serial number tolerate a refusal but not a missing parameter; every other field
// tolerates a missing parameter ("n/a") but not a refusal. Only the software and codeplug
// versions say so aloud when they are missing.
const std::array<InfoStep, kInfoSteps> kInfoSequence = {{
    {PARAM_MODEL_NUMBER, false, true, true},
    {PARAM_SERIAL_NUMBER, false, true, true},
    {PARAM_SOFTWARE_VERSION, false, false, false},
    {PARAM_CODEPLUG_VERSION, false, false, false},
    {PARAM_LAST_PROGRAMMED, true, false, false},
    {PARAM_CODEPLUG_PART_NO, true, false, false},
    {PARAM_FIRMWARE_PART_NO, true, false, false},
    {PARAM_ESN, true, false, false},
    {PARAM_REGIONAL_ID, true, false, false},
    {PARAM_UUID, true, false, false},
    {PARAM_RADIO_IC_VERSIONS, true, false, false},
}};

InfoOutcome RunInfoSequence(CRadioLink& link, IInfoObserver* observer, bool sendEndExchange) {
    InfoOutcome outcome;
    char value[CRadioLink::kValueSize];
    std::uint32_t length = 0;
    for (std::size_t i = 0; i < kInfoSequence.size(); ++i) {
        const InfoStep& step = kInfoSequence[i];
        std::memset(value, 0, sizeof value);
        const bool ok = link.ReadParameter(value, step.id, length, step.quiet);
        ++outcome.stepsRun;
        RadioStatus status = RadioStatus::Ok;
        if (!ok) {
            status = link.m_status;
            link.m_status = RadioStatus::Ok;
        }
        if (observer != nullptr) {
            observer->AfterRead(step, ok, status, value, length);
        }
        if (ok) {
            outcome.fields[i] = FormatParameter(step.id, value, length);
            continue;
        }
        if (status == RadioStatus::NotSupported && !step.notSupportedAborts) {
            outcome.fields[i] = "n/a";
            continue;
        }
        if (status == RadioStatus::Ok && step.refusalTolerated) {
            continue;
        }
        outcome.aborted = true;
        return outcome;
    }
    if (sendEndExchange) {
        outcome.endExchangeSent = true;
        outcome.endExchangeOk = link.EndExchange();
    }
    return outcome;
}

}  // namespace varnel::fuzz
