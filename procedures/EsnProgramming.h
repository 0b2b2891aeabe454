#pragma once

#include <optional>
#include <string>

#include "procedures/Programming.h"
#include "procedures/Session.h"
#include "radio/Esn.h"
#include "registry/EsnRegistry.h"

namespace varnel {

// The test before an ESN is written: reads the radio's ESN and gives Done only for a radio whose
// ESN is still blank. A reply of another length than five bytes ("The ESN format of the
// connected radio is not supported.") and an ESN already there ("An ESN has already been
// programmed to the connected radio.") are shown and give Refused. The value read is returned.
ReadResult CheckEsnBlank(Session& session);

// The blank test of a station that programs radio after radio: in the same exchange, first the
// radio's Serial Number ("Reading Serial Number"), so that the record says which radio got which
// ESN, then its ESN judged as CheckEsnBlank judges it. A radio that refuses its Serial Number is
// still tested (serialNumber stays empty); any other failure of that read ends the exchange.
struct BlankTestResult : ReadResult {
    std::string serialNumber;  // as Radio Info shows it
};
BlankTestResult CheckEsnBlankWithSerial(Session& session);

// When an acknowledged ESN write is confirmed in the registry: at once, or only once the caller
// has read it back from the radio (until then it stays Sending, which blocks it all the same).
enum class EsnConfirmation { OnAcknowledgement, AfterReadBack };

// What an ESN write gave: the exchange as for every write, and what the registry said.
struct EsnWriteResult : WriteResult {
    // The registry's answer to the reservation. Held and Exhausted give Refused, Failed gives
    // RegistryFailed; in all three nothing was sent and the port was never opened.
    ReserveStatus reserve = ReserveStatus::Failed;
    // Reserved: the entry made for this write (its esn is the one written). Held: the entry that
    // blocks the ESN, with its state, time and station.
    EsnEntry entry;
    // The ESN written, once reserved.
    std::optional<EsnFields> esn;
    // How the reservation was settled after the exchange, when it was reserved; none for an
    // acknowledged write whose confirmation waits for its read-back.
    std::optional<Settlement> settlement;
    // The settlement was committed; when not, the entry stays Sending, which blocks the ESN.
    bool settled = false;
    // Why the registry could not be used or could not settle, in words for the user.
    std::string registryError;
};

// Reserves esn in the session's registry (committed before the port is opened), writes it with
// its check byte in one exchange, reports the outcome to the user while the port is still open,
// then settles the reservation: Confirmed on the radio's acknowledgement; freed when nothing was
// sent or the radio cleanly refused; Unconfirmed when the frame went out and nobody saw it
// taken. An ESN the registry holds, or a registry that cannot be used, is told and nothing is
// sent. The blank test is not repeated: it is the caller's to make first.
EsnWriteResult ProgramEsn(Session& session, const EsnFields& esn,
                          EsnConfirmation confirmation = EsnConfirmation::OnAcknowledgement);

// As ProgramEsn, with the lowest free ESN of pool, taken in the same step as its reservation.
// A pool without a free ESN (or no such pool) is told and gives Refused.
EsnWriteResult ProgramNextEsn(Session& session, const std::string& pool,
                              EsnConfirmation confirmation = EsnConfirmation::OnAcknowledgement);

// How a write that was reserved is settled, from what its exchange gave.
Settlement SettlementOf(const WriteResult& write);

// The registry's canonical text of an ESN ("130/05/123456") read back into its fields.
std::optional<EsnFields> ParseCanonicalEsn(const std::string& text);

}  // namespace varnel
