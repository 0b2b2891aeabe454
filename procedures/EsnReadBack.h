#pragma once

#include <optional>

#include "procedures/Session.h"
#include "radio/Esn.h"

namespace varnel {

// What reading a written ESN back gave.
struct EsnReadBackResult {
    Outcome outcome = Outcome::PortNotOpened;
    // Set once the radio answered with a value: whether it is the ESN that was written.
    std::optional<bool> verified;
};

// Reads the radio's ESN in one exchange ("Reading ESN back") and compares it with written. A
// reply of another length than five bytes ("The ESN format of the connected radio is not
// supported.") and another ESN than the one written (told with both) are Refused; the same ESN
// is Done.
EsnReadBackResult ReadEsnBack(Session& session, const EsnFields& written);

}  // namespace varnel
