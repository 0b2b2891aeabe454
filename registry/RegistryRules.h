#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "radio/Esn.h"
#include "registry/EsnRegistry.h"

namespace varnel {

// The rules every backend keeps in the same words, so that a station says the same thing whether
// its registry is a file or a server. Backends only add the storage.

// The schema this program writes. A registry with a larger number was made by a newer Varnel and
// is refused: its rows may mean things this one does not know.
inline constexpr int kRegistrySchemaVersion = 1;

// "130/05/123456", or a looser "130/5/123456": three decimal fields within their ranges (field 3
// from 1, as the tool writes it). Nothing else is an ESN.
std::optional<EsnFields> ParseRegistryEsn(std::string_view text);

// The canonical key of esn text, or nullopt when it is not an ESN.
std::optional<std::string> CanonicalEsnText(std::string_view text);

// Now in UTC, ISO 8601 with milliseconds: "2026-12-10T10:12:51.123Z".
std::string RegistryTimestampNow();

// Whether an entry in this state keeps its ESN from being sent again.
inline bool EsnStateBlocks(EsnState state) {
    return state != EsnState::Released;
}

// Why a pool cannot be added (without the registry's own checks, such as a name in use).
std::optional<std::string> PoolProblem(const std::string& name, const EsnFields& first,
                                       const EsnFields& last);

// The messages of a refusal: the registry works and said no.
RegistryError Refusal(std::string message);
RegistryError NotAnEsn(std::string_view text);
RegistryError NotHeld(const std::string& esn);
RegistryError PoolNameTaken(const std::string& name);
RegistryError NoSuchPool(const std::string& name);
RegistryError PoolExhausted(const std::string& name);
// Settle of an entry that is not Sending.
RegistryError NotBeingSent(const std::string& esn, EsnState state);
RegistryError ConfirmedNeverReleased(const std::string& esn);
RegistryError AlreadyReleased(const std::string& esn);
RegistryError ReleaseNeedsReason();
RegistryError ImportOnlyBlocking(const std::string& esn);

// The message of a registry made by a newer program.
RegistryError SchemaTooNew(const std::string& location, long long found);
// The message of a registry whose schema version is missing (found < 0) or one no Varnel wrote.
RegistryError SchemaDamaged(const std::string& location, long long found);

}  // namespace varnel
