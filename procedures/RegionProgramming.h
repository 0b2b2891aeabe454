#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "procedures/Programming.h"
#include "procedures/Session.h"

namespace varnel {

// A Regional ID as read from the radio, for a front end that shows it.
struct RegionalIdReadResult {
    ReadResult read;
    std::optional<std::uint8_t> code;  // a one-byte reply: its code
    std::string text;                  // as Radio Info shows the field; empty when nothing was read
};

// Reads the Regional ID in one exchange ("Reading Regional Identifier"). Any region the radio
// has, or none, is Done: nothing is judged.
RegionalIdReadResult ReadRegionalId(Session& session);

// The test before a Regional ID is written: reads the radio's Regional ID and gives Done only
// for a radio that has none yet. A reply that is not one byte, a region already there and an
// invalid code are each shown and give Refused. The value read is returned.
ReadResult CheckNoRegionalId(Session& session);

// Writes the Regional ID code (1 to 4) in one exchange and reports the outcome to the user while
// the port is still open. The test is not repeated: it is the caller's to make first.
WriteResult ProgramRegionalId(Session& session, std::uint8_t code);

}  // namespace varnel
