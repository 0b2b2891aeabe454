#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "radio/Esn.h"

namespace varnel {

// Every ESN that was ever sent to a radio, so that two radios never share one: on one station
// (SQLite, a file in the user's data folder) or on a whole line of stations (PostgreSQL).
//
// An ESN is reserved as Sending before its write frame leaves, and settled after the reply:
// Confirmed (the radio acknowledged it), freed (a clean refusal, or nothing was sent), or
// Unconfirmed (the reply was lost, garbled or unexpected, or the exchange was cancelled after the
// frame went out). Sending, Unconfirmed and Confirmed all block reuse: a station killed between
// the reservation and the reply leaves Sending behind, never a free ESN. Only Sending and
// Unconfirmed may be released by hand, with a reason that is kept; Confirmed never.
//
// ESNs are keyed by their canonical text, FormatEsn ("130/05/123456").
enum class EsnState { Sending, Unconfirmed, Confirmed, Released };

// "sending", "unconfirmed", "confirmed", "released": the words of the CLI, JSON and CSV. Kept
// here in full so that what only names a state (a procedure's message) needs no database code.
struct EsnStateWordEntry {
    EsnState state;
    const char* word;
};
inline constexpr EsnStateWordEntry kEsnStateWords[] = {
    {EsnState::Sending, "sending"},
    {EsnState::Unconfirmed, "unconfirmed"},
    {EsnState::Confirmed, "confirmed"},
    {EsnState::Released, "released"},
};
inline const char* EsnStateWord(EsnState state) {
    for (const auto& entry : kEsnStateWords) {
        if (entry.state == state) {
            return entry.word;
        }
    }
    return "unknown";
}
inline std::optional<EsnState> EsnStateFromWord(const std::string& word) {
    for (const auto& entry : kEsnStateWords) {
        if (word == entry.word) {
            return entry.state;
        }
    }
    return std::nullopt;
}

// Who sends an ESN, recorded with it.
struct WriteOrigin {
    std::string station;      // a station name, by default the host name
    std::string user;         // the operating-system user
    std::string port;         // "COM1" or a device path, as the user named it
    std::string radioSerial;  // the radio's serial number when it was read, else empty
};

// One ESN the registry holds.
struct EsnEntry {
    std::string esn;  // canonical text, FormatEsn
    EsnState state = EsnState::Sending;
    std::string pool;  // the pool it was taken from, empty for a typed ESN
    WriteOrigin origin;
    std::string reservedAt;  // UTC, ISO 8601 with milliseconds: "2026-12-10T10:12:51.123Z"
    std::string settledAt;   // when it left Sending, empty while it has not
    std::string reason;      // why it was released, empty otherwise
};

// A named range of ESNs that differ only in field 3: FIRST to LAST, both included.
struct EsnPool {
    std::string name;
    EsnFields first;
    EsnFields last;
    std::int64_t freeCount = 0;  // ESNs of the range the registry holds in no blocking state
};

// What a call that may fail gave. message says, in words for the user, why the registry could
// not be used (unreachable, locked past its timeout, a failed write, a schema too new).
struct RegistryError {
    std::string message;
    // The registry works and said no to this request by its own rules (no such entry, a
    // confirmed ESN to release, a pool name in use): the user's request was refused, the
    // registry was not unusable.
    bool refused = false;
};

enum class ReserveStatus {
    Reserved,   // the ESN is now Sending for this write; entry holds it
    Held,       // the registry already holds it: entry says in which state, since when, by whom
    Exhausted,  // ReserveNext: the pool has no free ESN left (or no such pool); error says which
    Failed,     // the registry could not be used (or refused the request: error.refused); error
                // says why; nothing may be sent
};

struct ReserveResult {
    ReserveStatus status = ReserveStatus::Failed;
    EsnEntry entry;
    RegistryError error;
};

// How a write that was reserved ended.
enum class Settlement {
    Confirmed,    // the radio acknowledged the write
    Unconfirmed,  // the frame went out and nobody saw it taken
    Freed,        // nothing was sent, or the radio cleanly refused it: the ESN is free again
};

struct ListFilter {
    std::optional<std::string> pool;
    std::optional<EsnState> state;
    std::optional<std::string> station;
    std::int64_t limit = 0;  // 0: all; otherwise the newest limit entries
};
// List gives entries newest first: by the time of their reservation, the later first.

// The contract both backends keep. Each call is its own transaction: a call that returns has
// committed (or changed nothing). Calls may be made from any one thread at a time.
class IEsnRegistry {
public:
    virtual ~IEsnRegistry() = default;

    // Where it lives, as the user would name it (a file path, or the URI without its password).
    virtual std::string Location() const = 0;

    // Reserves esn as Sending for origin, committed before this returns; Held when the registry
    // holds it in any state other than Released.
    virtual ReserveResult Reserve(const EsnFields& esn, const WriteOrigin& origin) = 0;
    // Reserves the lowest free ESN of pool; two stations calling at once never get the same one.
    virtual ReserveResult ReserveNext(const std::string& pool, const WriteOrigin& origin) = 0;
    // Settles a Sending entry. Freed removes it (it becomes free, as if never reserved).
    virtual std::optional<RegistryError> Settle(const std::string& esn, Settlement settlement) = 0;
    // Records the radio's serial number with an entry (read after the reservation).
    virtual std::optional<RegistryError> SetRadioSerial(const std::string& esn,
                                                        const std::string& radioSerial) = 0;

    // The entry of esn, if the registry holds one.
    virtual std::optional<EsnEntry> Find(const std::string& esn, RegistryError& error) = 0;
    virtual std::vector<EsnEntry> List(const ListFilter& filter, RegistryError& error) = 0;

    // Adds a pool; refused (with a message) when the name exists, or FIRST and LAST differ in
    // more than field 3, or LAST is below FIRST.
    virtual std::optional<RegistryError> AddPool(const std::string& name, const EsnFields& first,
                                                 const EsnFields& last) = 0;
    virtual std::vector<EsnPool> Pools(RegistryError& error) = 0;

    // Frees a Sending or Unconfirmed ESN by hand, keeping the reason (state Released, which
    // blocks nothing). A Confirmed ESN can never be released.
    virtual std::optional<RegistryError> Release(const std::string& esn,
                                                 const std::string& reason) = 0;
    // Marks an Unconfirmed or Sending ESN Confirmed after the user read it back from the radio.
    virtual std::optional<RegistryError> Confirm(const std::string& esn) = 0;

    // Adds an entry as it stands (the import of an old record file); Held when the registry
    // already holds that ESN.
    virtual ReserveResult Import(const EsnEntry& entry) = 0;
};

// Opens the registry at location: a "postgresql://" or "postgres://" URI, or an SQLite file path
// (created with its folder when missing). Tables are created on first use; a schema newer than
// this program knows is refused. Null with error set when it cannot be used.
std::unique_ptr<IEsnRegistry> OpenEsnRegistry(const std::string& location, RegistryError& error);

// Whether location names a PostgreSQL server rather than an SQLite file.
bool IsPostgresLocation(const std::string& location);

// The embedded default: $XDG_DATA_HOME/Tessaran/Varnel/esn-registry.sqlite (~/.local/share/...)
// on Linux, %LOCALAPPDATA%\Tessaran\Varnel\esn-registry.sqlite on Windows.
std::string DefaultRegistryLocation();

}  // namespace varnel
