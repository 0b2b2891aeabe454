#pragma once

#include "procedures/Programming.h"
#include "procedures/Session.h"
#include "radio/Esn.h"

namespace varnel {

// The test before an ESN is written: reads the radio's ESN and gives Done only for a radio whose
// ESN is still blank. A reply of another length than five bytes ("The ESN format of the
// connected radio is not supported.") and an ESN already there ("An ESN has already been
// programmed to the connected radio.") are shown and give Refused. The value read is returned.
ReadResult CheckEsnBlank(Session& session);

// Writes esn with its check byte in one exchange and reports the outcome to the user while the
// port is still open. The blank test is not repeated: it is the caller's to make first.
WriteResult ProgramEsn(Session& session, const EsnFields& esn);

}  // namespace varnel
