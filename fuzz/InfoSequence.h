#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "link/RadioLink.h"

namespace varnel::fuzz {

// One step of the Radio Info query sequence: which parameter, whether its "not supported" answer
// is shown, and what a failure with the status left at Ok means for the rest of the sequence.
struct InfoStep {
    std::uint8_t id;
    bool quiet;
    bool refusalTolerated;    // a NAK or unexpected answer leaves the field empty and goes on
    bool notSupportedAborts;  // the radio lacking this parameter ends the exchange
};

inline constexpr std::size_t kInfoSteps = 11;
extern const std::array<InfoStep, kInfoSteps> kInfoSequence;

// What one run of the sequence produced.
struct InfoOutcome {
    std::array<std::string, kInfoSteps> fields;  // the text each field shows
    std::size_t stepsRun = 0;                    // reads made, the one that aborted included
    bool aborted = false;                        // a read failure ended the exchange
    bool endExchangeSent = false;
    bool endExchangeOk = false;
};

// Called after every read with what it returned, for callers that check each command.
class IInfoObserver {
public:
    virtual ~IInfoObserver() = default;
    virtual void AfterRead(const InfoStep& step, bool ok, RadioStatus status,
                           const char (&value)[CRadioLink::kValueSize], std::uint32_t length) = 0;
};

// Runs the Radio Info reads over a link whose port and clock are attached, taking and resetting
// m_status after each failed read and deciding by it as the dialog does, formatting each value,
// and ending with EndExchange unless a link failure aborted the sequence (or the caller, passing
// sendEndExchange false, wants to send it itself).
InfoOutcome RunInfoSequence(CRadioLink& link, IInfoObserver* observer = nullptr,
                            bool sendEndExchange = true);

}  // namespace varnel::fuzz
