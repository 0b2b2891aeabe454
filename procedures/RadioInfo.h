#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "procedures/Session.h"
#include "radio/Catalogue.h"

namespace varnel {

// Which failure of a read the Radio Info sequence lives with. The Model and Serial Numbers are
// shown by every radio, so only a refusal of them is tolerated; the others are missing on some
// radios, so only "not supported" is.
enum class Tolerates { Refusal, NotSupported };

struct RadioInfoQuery {
    std::uint8_t id;
    std::string_view label;  // as the Radio Info dialog labels the field, without the colon
    bool quiet;              // a missing parameter is not told aloud
    Tolerates tolerates;
};

inline constexpr std::size_t kRadioInfoFieldCount = 11;

// The reads of Radio Info, in the order the radio is asked.
inline constexpr std::array<RadioInfoQuery, kRadioInfoFieldCount> kRadioInfoQueries = {{
    {PARAM_MODEL_NUMBER, "Model Number", false, Tolerates::Refusal},
    {PARAM_SERIAL_NUMBER, "Serial Number", false, Tolerates::Refusal},
    {PARAM_SOFTWARE_VERSION, "Software Version", false, Tolerates::NotSupported},
    {PARAM_CODEPLUG_VERSION, "Codeplug Version", false, Tolerates::NotSupported},
    {PARAM_LAST_PROGRAMMED, "Last Programmed", true, Tolerates::NotSupported},
    {PARAM_CODEPLUG_PART_NO, "Codeplug Part No", true, Tolerates::NotSupported},
    {PARAM_FIRMWARE_PART_NO, "Firmware Part No", true, Tolerates::NotSupported},
    {PARAM_ESN, "ESN", true, Tolerates::NotSupported},
    {PARAM_REGIONAL_ID, "Regional Identifier", true, Tolerates::NotSupported},
    {PARAM_UUID, "UUID", true, Tolerates::NotSupported},
    {PARAM_RADIO_IC_VERSIONS, "Radio IC Versions", true, Tolerates::NotSupported},
}};

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
