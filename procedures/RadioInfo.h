#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "procedures/Session.h"

namespace varnel {

// Which failure of a read the Radio Info sequence lives with. The Model and Serial Numbers are
// shown by every radio, so only a refusal of them is tolerated; the others are missing on some
// radios, so only "not supported" is.
enum class Tolerates { Refusal, NotSupported };

struct RadioInfoQuery {
    std::uint8_t id;
    std::string_view label;  // as the Radio Info dialog labels the field, without the colon
    std::string_view key;    // the field's name in machine-readable output
    bool quiet;              // a missing parameter is not told aloud
    Tolerates tolerates;
};

inline constexpr std::size_t kRadioInfoFieldCount = 11;

// The reads of Radio Info, in the order the radio is asked.
extern const std::array<RadioInfoQuery, kRadioInfoFieldCount> kRadioInfoQueries;

struct RadioInfoResult {
    Outcome outcome = Outcome::PortNotOpened;
    // The text of each field in query order: the value as shown, "n/a" for a parameter the radio
    // lacks, nothing where a refusal left the field empty or the sequence ended before it.
    std::array<std::optional<std::string>, kRadioInfoFieldCount> fields;
    // A read whose refusal the sequence lives with got an answer that makes no sense instead:
    // the sequence went on (Done), but the link did not work as it should.
    bool answeredUnexpectedly = false;
};

// Reads the radio's identity and status. Every failure has been told through the session's
// reporter by the time this returns; the fields read before an abort are kept.
RadioInfoResult ReadRadioInfo(Session& session);

}  // namespace varnel
