#include "registry/PostgresRegistry.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "registry/RegistryRules.h"

namespace varnel {

namespace {

// Every station creating the tables at once on an empty database takes this lock first, so that
// exactly one of them creates them and the others then find them.
constexpr const char* kSchemaLock = "7420013011";

// The lock class of an ESN a station is taking from a pool (the ESN's 30 bits are the key).
constexpr const char* kCandidateLockClass = "742001";

std::int64_t EsnKey(const EsnFields& esn) {
    return (static_cast<std::int64_t>(esn.field1) << 22) | (esn.field2 << 18) | esn.field3;
}

constexpr const char* kCreateSchema[] = {
    "CREATE TABLE varnel_schema (version integer NOT NULL)",
    "CREATE TABLE varnel_pool ("
    " name text PRIMARY KEY,"
    " field1 integer NOT NULL, field2 integer NOT NULL,"
    " first3 integer NOT NULL, last3 integer NOT NULL,"
    // Every ESN of the pool below next3 was held when it was last moved: the search for the
    // lowest free one starts there instead of at the pool's first ESN.
    " next3 integer NOT NULL,"
    " CHECK (first3 <= last3))",
    "CREATE TABLE varnel_esn ("
    " esn text PRIMARY KEY,"
    " field1 integer NOT NULL, field2 integer NOT NULL, field3 integer NOT NULL,"
    " state text NOT NULL CHECK (state IN ('sending', 'unconfirmed', 'confirmed', 'released')),"
    " pool text NOT NULL DEFAULT '',"
    " station text NOT NULL DEFAULT '', user_name text NOT NULL DEFAULT '',"
    " port text NOT NULL DEFAULT '', radio_serial text NOT NULL DEFAULT '',"
    " reserved_at timestamptz NOT NULL, settled_at timestamptz,"
    " reason text NOT NULL DEFAULT '',"
    " UNIQUE (field1, field2, field3))",
    "CREATE INDEX varnel_esn_reserved_at ON varnel_esn (reserved_at)",
    // Every hand release, kept although the ESN may be reserved again later.
    "CREATE TABLE varnel_release ("
    " esn text NOT NULL, previous_state text NOT NULL, reason text NOT NULL,"
    " released_at timestamptz NOT NULL, station text NOT NULL)",
};

// The columns of an entry, in the order ReadEntry takes them.
constexpr const char* kEntryColumns =
    "esn, state, pool, station, user_name, port, radio_serial,"
    " to_char(reserved_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'),"
    " coalesce(to_char(settled_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'), ''),"
    " reason";

constexpr const char* kNow = "date_trunc('milliseconds', clock_timestamp())";

struct ResultDeleter {
    void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

// A statement that did not succeed, carried out of a transaction's body.
struct SqlFailure {
    bool connectionLost = false;
    std::string sqlState;
    std::string message;
};

// libpq's messages span lines with tabs; a user reads them as one sentence.
std::string Trimmed(const std::string& text) {
    std::string result;
    for (const char c : text) {
        const bool space = c == '\n' || c == '\t' || c == '\r' || c == ' ';
        if (space) {
            if (!result.empty() && result.back() != ' ') {
                result += ' ';
            }
        } else {
            result += c;
        }
    }
    while (!result.empty() && (result.back() == ' ' || result.back() == '.')) {
        result.pop_back();
    }
    return result;
}

EsnEntry ReadEntry(PGresult* result, int row) {
    auto text = [&](int column) { return std::string(PQgetvalue(result, row, column)); };
    EsnEntry entry;
    entry.esn = text(0);
    entry.state = EsnStateFromWord(text(1)).value_or(EsnState::Confirmed);
    entry.pool = text(2);
    entry.origin.station = text(3);
    entry.origin.user = text(4);
    entry.origin.port = text(5);
    entry.origin.radioSerial = text(6);
    entry.reservedAt = text(7);
    entry.settledAt = text(8);
    entry.reason = text(9);
    return entry;
}

// The statements of one transaction. Exec throws SqlFailure, so that a body reads as the
// statements it runs.
class Transaction {
public:
    explicit Transaction(PGconn* connection) : connection_(connection) {}

    Result Exec(const std::string& sql,
                const std::vector<std::optional<std::string>>& params = {}) {
        std::vector<const char*> values;
        values.reserve(params.size());
        for (const auto& param : params) {
            values.push_back(param ? param->c_str() : nullptr);
        }
        Result result(PQexecParams(connection_, sql.c_str(), static_cast<int>(values.size()),
                                   nullptr, values.data(), nullptr, nullptr, 0));
        const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
            return result;
        }
        SqlFailure failure;
        failure.connectionLost = PQstatus(connection_) != CONNECTION_OK;
        if (result) {
            const char* state = PQresultErrorField(result.get(), PG_DIAG_SQLSTATE);
            const char* primary = PQresultErrorField(result.get(), PG_DIAG_MESSAGE_PRIMARY);
            failure.sqlState = state ? state : "";
            failure.message = primary ? primary : PQresultErrorMessage(result.get());
        }
        if (failure.message.empty()) {
            failure.message = PQerrorMessage(connection_);
        }
        failure.message = Trimmed(failure.message);
        throw failure;
    }

private:
    PGconn* connection_;
};

std::string Number(std::int64_t value) {
    return std::to_string(value);
}

class PostgresRegistry final : public IEsnRegistry {
public:
    PostgresRegistry(std::string uri, PGconn* connection)
        : uri_(std::move(uri)),
          location_(PostgresLocationWithoutPassword(uri_)),
          connection_(connection) {}
    ~PostgresRegistry() override { PQfinish(connection_); }
    PostgresRegistry(const PostgresRegistry&) = delete;
    PostgresRegistry& operator=(const PostgresRegistry&) = delete;

    std::string Location() const override { return location_; }

    // Creates the tables on first use, and refuses a schema newer than this program knows.
    std::optional<RegistryError> PrepareSchema() {
        long long version = 0;
        auto failure = Transact([&](Transaction& tx) {
            tx.Exec(std::string("SELECT pg_advisory_xact_lock(") + kSchemaLock + ")");
            Result found = tx.Exec("SELECT to_regclass('varnel_schema') IS NOT NULL");
            if (std::string(PQgetvalue(found.get(), 0, 0)) != "t") {
                for (const char* statement : kCreateSchema) {
                    tx.Exec(statement);
                }
                tx.Exec("INSERT INTO varnel_schema (version) VALUES ($1)",
                        {Number(kRegistrySchemaVersion)});
            }
            Result current = tx.Exec("SELECT coalesce(max(version), -1) FROM varnel_schema");
            version = std::atoll(PQgetvalue(current.get(), 0, 0));
        });
        if (failure) {
            if (failure->message.find("permission denied") != std::string::npos) {
                failure->message +=
                    ". The role may lack the right to create the registry's tables: let the "
                    "database's owner open it once, or grant the role CREATE on its schema";
            }
            return failure;
        }
        if (version > kRegistrySchemaVersion) {
            return SchemaTooNew(location_, version);
        }
        if (version < 1) {
            return SchemaDamaged(location_, version);
        }
        return std::nullopt;
    }

    ReserveResult Reserve(const EsnFields& esn, const WriteOrigin& origin) override {
        ReserveResult outcome;
        if (!ParseRegistryEsn(FormatEsn(esn))) {
            outcome.error = NotAnEsn(FormatEsn(esn));
            return outcome;
        }
        auto failure = Transact([&](Transaction& tx) {
            outcome = ReserveResult{};
            // Most checks find the ESN held: a plain read answers them without a write, which
            // would cost a flush of the server's log at commit.
            if (auto entry = FindIn(tx, FormatEsn(esn)); entry && EsnStateBlocks(entry->state)) {
                outcome.status = ReserveStatus::Held;
                outcome.entry = *entry;
                return;
            }
            outcome = TryReserve(tx, esn, "", origin);
            if (outcome.status == ReserveStatus::Held) {
                outcome.entry = FindIn(tx, FormatEsn(esn)).value_or(EsnEntry{});
            }
        });
        return Finish(std::move(outcome), failure);
    }

    ReserveResult ReserveNext(const std::string& pool, const WriteOrigin& origin) override {
        ReserveResult outcome;
        auto failure = Transact([&](Transaction& tx) {
            outcome = ReserveResult{};
            Result row = tx.Exec(
                "SELECT field1, field2, last3, next3 FROM varnel_pool WHERE name = $1", {pool});
            if (PQntuples(row.get()) == 0) {
                outcome.status = ReserveStatus::Exhausted;
                outcome.error = NoSuchPool(pool);
                return;
            }
            EsnFields esn;
            esn.field1 = std::atoi(PQgetvalue(row.get(), 0, 0));
            esn.field2 = std::atoi(PQgetvalue(row.get(), 0, 1));
            const std::string last = PQgetvalue(row.get(), 0, 2);
            const std::string start = PQgetvalue(row.get(), 0, 3);
            std::string from = start;
            // The lowest ESN another station is taking right now: below it all is held once
            // those stations commit, so the pool's start may move up to it but not past it.
            std::optional<std::string> firstInFlight;
            for (;;) {
                // The lowest free ESN at or above from is from itself, or one past the first
                // held one whose successor is not held: one walk along the index, which stops
                // at the first gap.
                Result candidate = tx.Exec(
                    "SELECT CASE WHEN NOT EXISTS (SELECT 1 FROM varnel_esn WHERE field1 = $1"
                    " AND field2 = $2 AND field3 = $3 AND state <> 'released') THEN $3::integer"
                    " ELSE (SELECT field3 + 1 FROM (SELECT field3, lead(field3) OVER"
                    " (ORDER BY field3) AS following FROM varnel_esn WHERE field1 = $1"
                    " AND field2 = $2 AND field3 >= $3 AND field3 <= $4"
                    " AND state <> 'released') AS held WHERE field3 < $4"
                    " AND following IS DISTINCT FROM field3 + 1 ORDER BY field3 LIMIT 1) END"
                    " WHERE $3::integer <= $4::integer",
                    {Number(esn.field1), Number(esn.field2), from, last});
                if (PQntuples(candidate.get()) == 0 || PQgetisnull(candidate.get(), 0, 0)) {
                    MovePoolStart(tx, pool, start,
                                  firstInFlight.value_or(Number(std::atoll(last.c_str()) + 1)));
                    outcome.status = ReserveStatus::Exhausted;
                    outcome.error = PoolExhausted(pool);
                    return;
                }
                esn.field3 = std::atoi(PQgetvalue(candidate.get(), 0, 0));
                from = Number(esn.field3 + 1);
                // Stations racing for one pool never wait on each other: each candidate is
                // claimed by a lock that lasts until its transaction ends, and one another
                // station holds is passed over. The unique key still has the last word.
                Result claimed = tx.Exec("SELECT pg_try_advisory_xact_lock($1, $2)",
                                         {kCandidateLockClass, Number(EsnKey(esn))});
                if (std::string(PQgetvalue(claimed.get(), 0, 0)) != "t") {
                    if (!firstInFlight) {
                        firstInFlight = Number(esn.field3);
                    }
                    continue;
                }
                outcome = TryReserve(tx, esn, pool, origin);
                if (outcome.status == ReserveStatus::Reserved) {
                    MovePoolStart(tx, pool, start, firstInFlight.value_or(from));
                    return;
                }
            }
        });
        return Finish(std::move(outcome), failure);
    }

    std::optional<RegistryError> Settle(const std::string& text, Settlement settlement) override {
        const auto key = CanonicalEsnText(text);
        if (!key) {
            return NotAnEsn(text);
        }
        const std::string& esn = *key;
        std::optional<RegistryError> refusal;
        auto failure = Transact([&](Transaction& tx) {
            refusal.reset();
            Result changed;
            if (settlement == Settlement::Freed) {
                changed = tx.Exec(
                    "DELETE FROM varnel_esn WHERE esn = $1 AND state = 'sending'"
                    " RETURNING field1, field2, field3",
                    {esn});
            } else {
                const char* state =
                    settlement == Settlement::Confirmed ? "confirmed" : "unconfirmed";
                changed =
                    tx.Exec(std::string("UPDATE varnel_esn SET state = $2, settled_at = ") + kNow +
                                " WHERE esn = $1 AND state = 'sending'"
                                " RETURNING field1, field2, field3",
                            {esn, std::string(state)});
            }
            if (PQntuples(changed.get()) == 0) {
                refusal = NotSending(tx, esn);
                return;
            }
            if (settlement == Settlement::Freed) {
                LowerPoolStart(tx, changed.get());
            }
        });
        return failure ? failure : refusal;
    }

    std::optional<RegistryError> SetRadioSerial(const std::string& text,
                                                const std::string& radioSerial) override {
        const auto key = CanonicalEsnText(text);
        if (!key) {
            return NotAnEsn(text);
        }
        const std::string& esn = *key;
        std::optional<RegistryError> refusal;
        auto failure = Transact([&](Transaction& tx) {
            refusal.reset();
            Result changed = tx.Exec(
                "UPDATE varnel_esn SET radio_serial = $2 WHERE esn = $1 AND state <> 'released'",
                {esn, radioSerial});
            if (std::string(PQcmdTuples(changed.get())) == "0") {
                refusal = NotHeld(esn);
            }
        });
        return failure ? failure : refusal;
    }

    std::optional<EsnEntry> Find(const std::string& text, RegistryError& error) override {
        const auto key = CanonicalEsnText(text);
        if (!key) {
            error = NotAnEsn(text);
            return std::nullopt;
        }
        const std::string& esn = *key;
        std::optional<EsnEntry> entry;
        auto failure = Transact([&](Transaction& tx) { entry = FindIn(tx, esn); });
        if (failure) {
            error = *failure;
            return std::nullopt;
        }
        return entry;
    }

    std::vector<EsnEntry> List(const ListFilter& filter, RegistryError& error) override {
        std::vector<EsnEntry> entries;
        std::optional<std::string> state;
        if (filter.state) {
            state = EsnStateWord(*filter.state);
        }
        std::optional<std::string> limit;
        if (filter.limit > 0) {
            limit = Number(filter.limit);
        }
        auto failure = Transact([&](Transaction& tx) {
            entries.clear();
            Result rows = tx.Exec(std::string("SELECT ") + kEntryColumns +
                                      " FROM varnel_esn"
                                      " WHERE ($1::text IS NULL OR pool = $1)"
                                      " AND ($2::text IS NULL OR state = $2)"
                                      " AND ($3::text IS NULL OR station = $3)"
                                      " ORDER BY reserved_at DESC, esn DESC LIMIT $4::bigint",
                                  {filter.pool, state, filter.station, limit});
            for (int row = 0; row < PQntuples(rows.get()); ++row) {
                entries.push_back(ReadEntry(rows.get(), row));
            }
        });
        if (failure) {
            error = *failure;
            return {};
        }
        return entries;
    }

    std::optional<RegistryError> AddPool(const std::string& name, const EsnFields& first,
                                         const EsnFields& last) override {
        if (auto problem = PoolProblem(name, first, last)) {
            return Refusal(*problem);
        }
        std::optional<RegistryError> refusal;
        auto failure = Transact([&](Transaction& tx) {
            refusal.reset();
            Result added = tx.Exec(
                "INSERT INTO varnel_pool (name, field1, field2, first3, last3, next3)"
                " VALUES ($1, $2, $3, $4, $5, $4) ON CONFLICT (name) DO NOTHING",
                {name, Number(first.field1), Number(first.field2), Number(first.field3),
                 Number(last.field3)});
            if (std::string(PQcmdTuples(added.get())) == "0") {
                refusal = PoolNameTaken(name);
            }
        });
        return failure ? failure : refusal;
    }

    std::vector<EsnPool> Pools(RegistryError& error) override {
        std::vector<EsnPool> pools;
        auto failure = Transact([&](Transaction& tx) {
            pools.clear();
            Result rows = tx.Exec(
                "SELECT p.name, p.field1, p.field2, p.first3, p.last3,"
                " p.last3 - p.first3 + 1 - (SELECT count(*) FROM varnel_esn e"
                " WHERE e.field1 = p.field1 AND e.field2 = p.field2"
                " AND e.field3 BETWEEN p.first3 AND p.last3 AND e.state <> 'released')"
                " FROM varnel_pool p ORDER BY p.name");
            for (int row = 0; row < PQntuples(rows.get()); ++row) {
                auto number = [&](int column) {
                    return std::atoi(PQgetvalue(rows.get(), row, column));
                };
                EsnPool pool;
                pool.name = PQgetvalue(rows.get(), row, 0);
                pool.first = {number(1), number(2), number(3)};
                pool.last = {number(1), number(2), number(4)};
                pool.freeCount = std::atoll(PQgetvalue(rows.get(), row, 5));
                pools.push_back(pool);
            }
        });
        if (failure) {
            error = *failure;
            return {};
        }
        return pools;
    }

    std::optional<RegistryError> Release(const std::string& text,
                                         const std::string& reason) override {
        const auto key = CanonicalEsnText(text);
        if (!key) {
            return NotAnEsn(text);
        }
        const std::string& esn = *key;
        if (reason.find_first_not_of(" \t") == std::string::npos) {
            return ReleaseNeedsReason();
        }
        std::optional<RegistryError> refusal;
        auto failure = Transact([&](Transaction& tx) {
            refusal.reset();
            Result previous =
                tx.Exec("SELECT state, station FROM varnel_esn WHERE esn = $1 FOR UPDATE", {esn});
            const std::string state =
                PQntuples(previous.get()) ? PQgetvalue(previous.get(), 0, 0) : "";
            if (state != "sending" && state != "unconfirmed") {
                refusal = state == "confirmed"  ? ConfirmedNeverReleased(esn)
                          : state == "released" ? AlreadyReleased(esn)
                                                : NotHeld(esn);
                return;
            }
            Result changed = tx.Exec(std::string("UPDATE varnel_esn SET state = 'released',"
                                                 " reason = $2, settled_at = ") +
                                         kNow + " WHERE esn = $1 RETURNING field1, field2, field3",
                                     {esn, reason});
            tx.Exec(std::string("INSERT INTO varnel_release"
                                " (esn, previous_state, reason, released_at, station)"
                                " VALUES ($1, $2, $3, ") +
                        kNow + ", $4)",
                    {esn, state, reason, std::string(PQgetvalue(previous.get(), 0, 1))});
            LowerPoolStart(tx, changed.get());
        });
        return failure ? failure : refusal;
    }

    std::optional<RegistryError> Confirm(const std::string& text) override {
        const auto key = CanonicalEsnText(text);
        if (!key) {
            return NotAnEsn(text);
        }
        const std::string& esn = *key;
        std::optional<RegistryError> refusal;
        auto failure = Transact([&](Transaction& tx) {
            refusal.reset();
            Result changed =
                tx.Exec(std::string("UPDATE varnel_esn SET state = 'confirmed',"
                                    " settled_at = ") +
                            kNow + " WHERE esn = $1 AND state IN ('sending', 'unconfirmed')",
                        {esn});
            if (std::string(PQcmdTuples(changed.get())) == "0") {
                Result found = tx.Exec("SELECT state FROM varnel_esn WHERE esn = $1", {esn});
                const std::string state =
                    PQntuples(found.get()) ? PQgetvalue(found.get(), 0, 0) : "";
                if (state.empty()) {
                    refusal = NotHeld(esn);
                } else if (state != "confirmed") {
                    refusal = Refusal(esn + " is " + state + ": only a sending or unconfirmed " +
                                      "ESN can be confirmed.");
                }
            }
        });
        return failure ? failure : refusal;
    }

    ReserveResult Import(const EsnEntry& entry) override {
        ReserveResult outcome;
        const auto esn = ParseRegistryEsn(entry.esn);
        if (!esn) {
            outcome.error = NotAnEsn(entry.esn);
            return outcome;
        }
        if (!EsnStateBlocks(entry.state)) {
            outcome.error = ImportOnlyBlocking(entry.esn);
            return outcome;
        }
        const std::string key = FormatEsn(*esn);
        if (entry.reservedAt.empty()) {
            outcome.error = Refusal("The entry of " + key + " has no time.");
            return outcome;
        }
        std::optional<std::string> settledAt;
        if (!entry.settledAt.empty()) {
            settledAt = entry.settledAt;
        }
        auto failure = Transact([&](Transaction& tx) {
            outcome = ReserveResult{};
            Result added = tx.Exec(
                "INSERT INTO varnel_esn AS e (esn, field1, field2, field3, state, pool, station,"
                " user_name, port, radio_serial, reserved_at, settled_at, reason)"
                " VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11::timestamptz,"
                " $12::timestamptz, $13)"
                " ON CONFLICT (esn) DO UPDATE SET state = EXCLUDED.state, pool = EXCLUDED.pool,"
                " station = EXCLUDED.station, user_name = EXCLUDED.user_name,"
                " port = EXCLUDED.port, radio_serial = EXCLUDED.radio_serial,"
                " reserved_at = EXCLUDED.reserved_at, settled_at = EXCLUDED.settled_at,"
                " reason = EXCLUDED.reason WHERE e.state = 'released'"
                " RETURNING esn",
                {key, Number(esn->field1), Number(esn->field2), Number(esn->field3),
                 std::string(EsnStateWord(entry.state)), entry.pool, entry.origin.station,
                 entry.origin.user, entry.origin.port, entry.origin.radioSerial, entry.reservedAt,
                 settledAt, entry.reason});
            if (PQntuples(added.get()) == 0) {
                outcome.status = ReserveStatus::Held;
                outcome.entry = FindIn(tx, key).value_or(EsnEntry{});
                return;
            }
            outcome.status = ReserveStatus::Reserved;
            outcome.entry = FindIn(tx, key).value_or(entry);
        });
        if (failure && failure->message.find("time") == std::string::npos &&
            failure->message.find("date") != std::string::npos) {
            failure->message = "The entry of " + entry.esn + " has a time that cannot be read (" +
                               entry.reservedAt + ", " + entry.settledAt + ").";
        }
        return Finish(std::move(outcome), failure);
    }

private:
    // Runs body as one transaction. A connection that dropped since the last call (or drops
    // before the commit is sent) is opened again once and the whole body run again: the server
    // rolled back whatever it had done. A drop during the commit is not retried, since the
    // transaction may have been committed; it is reported instead.
    std::optional<RegistryError> Transact(const std::function<void(Transaction&)>& body) {
        bool reconnected = false;
        int conflicts = 0;
        for (;;) {
            if (PQstatus(connection_) != CONNECTION_OK) {
                if (reconnected) {
                    return Unreachable();
                }
                reconnected = true;
                PQreset(connection_);
                if (PQstatus(connection_) != CONNECTION_OK) {
                    return Unreachable();
                }
            }
            Transaction tx(connection_);
            bool committing = false;
            try {
                tx.Exec("BEGIN");
                body(tx);
                committing = true;
                tx.Exec("COMMIT");
                return std::nullopt;
            } catch (const SqlFailure& failure) {
                if (!failure.connectionLost) {
                    Result(PQexec(connection_, "ROLLBACK"));
                    // The server broke a deadlock with another station by undoing this
                    // transaction: nothing of it stands, so it is run again, a few times.
                    const bool conflict =
                        failure.sqlState == "40P01" || failure.sqlState == "40001";
                    if (conflict && ++conflicts < 3) {
                        continue;
                    }
                    return Refused(failure);
                }
                if (committing) {
                    return RegistryError{
                        "The connection to the ESN registry at " + location_ +
                        " was lost while a change was being committed: " + failure.message +
                        ". Whether it was kept is unknown; check the entry before going on."};
                }
                if (reconnected) {
                    return Unreachable();
                }
            }
            // The connection dropped before anything was committed: one reconnect, at the top.
        }
    }

    RegistryError Unreachable() const {
        return RegistryError{"The ESN registry at " + location_ +
                             " cannot be reached: " + Trimmed(PQerrorMessage(connection_)) + "."};
    }

    RegistryError Refused(const SqlFailure& failure) const {
        if (failure.sqlState == "57014") {
            return RegistryError{
                "The ESN registry at " + location_ +
                " did not answer within its time limit (another station may be holding a lock "
                "on it): " +
                failure.message + "."};
        }
        if (failure.sqlState == "55P03" || failure.sqlState == "40P01" ||
            failure.sqlState == "40001") {
            return RegistryError{"The ESN registry at " + location_ +
                                 " is busy with another station: " + failure.message + "."};
        }
        if (failure.sqlState.rfind("42", 0) == 0 && failure.sqlState != "42501") {
            return RegistryError{
                "The ESN registry at " + location_ +
                " does not have the tables this program expects: " + failure.message + "."};
        }
        return RegistryError{"The ESN registry at " + location_ +
                             " refused the change: " + failure.message + "."};
    }

    static ReserveResult Finish(ReserveResult outcome,
                                const std::optional<RegistryError>& failure) {
        if (failure) {
            ReserveResult failed;
            failed.status = ReserveStatus::Failed;
            failed.error = *failure;
            return failed;
        }
        return outcome;
    }

    // Reserves esn as Sending when the registry holds it in no blocking state.
    ReserveResult TryReserve(Transaction& tx, const EsnFields& esn, const std::string& pool,
                             const WriteOrigin& origin) {
        ReserveResult outcome;
        const std::string text = FormatEsn(esn);
        Result added = tx.Exec(
            std::string("INSERT INTO varnel_esn AS e (esn, field1, field2, field3, state, pool,"
                        " station, user_name, port, radio_serial, reserved_at)"
                        " VALUES ($1, $2, $3, $4, 'sending', $5, $6, $7, $8, $9, ") +
                kNow +
                ") ON CONFLICT (esn) DO UPDATE SET state = 'sending', pool = EXCLUDED.pool,"
                " station = EXCLUDED.station, user_name = EXCLUDED.user_name,"
                " port = EXCLUDED.port, radio_serial = EXCLUDED.radio_serial,"
                " reserved_at = EXCLUDED.reserved_at, settled_at = NULL, reason = ''"
                " WHERE e.state = 'released' RETURNING " +
                kEntryColumns,
            {text, Number(esn.field1), Number(esn.field2), Number(esn.field3), pool, origin.station,
             origin.user, origin.port, origin.radioSerial});
        if (PQntuples(added.get()) == 0) {
            outcome.status = ReserveStatus::Held;
            return outcome;
        }
        outcome.status = ReserveStatus::Reserved;
        outcome.entry = ReadEntry(added.get(), 0);
        return outcome;
    }

    static std::optional<EsnEntry> FindIn(Transaction& tx, const std::string& esn) {
        Result rows = tx.Exec(
            std::string("SELECT ") + kEntryColumns + " FROM varnel_esn WHERE esn = $1", {esn});
        if (PQntuples(rows.get()) == 0) {
            return std::nullopt;
        }
        return ReadEntry(rows.get(), 0);
    }

    static RegistryError NotSending(Transaction& tx, const std::string& esn) {
        const auto entry = FindIn(tx, esn);
        return entry ? NotBeingSent(esn, entry->state) : NotHeld(esn);
    }

    // Moves the pool's start from what this transaction read to to, unless another station is
    // moving it (it will) or a freed ESN has lowered it since (it must stay).
    static void MovePoolStart(Transaction& tx, const std::string& pool, const std::string& read,
                              const std::string& to) {
        if (std::atoll(to.c_str()) <= std::atoll(read.c_str())) {
            return;
        }
        tx.Exec(
            "UPDATE varnel_pool SET next3 = $3 WHERE name IN (SELECT name FROM varnel_pool"
            " WHERE name = $1 AND next3 = $2 FOR UPDATE SKIP LOCKED)",
            {pool, read, to});
    }

    // An ESN became free: the search of every pool holding it starts no higher than it.
    static void LowerPoolStart(Transaction& tx, PGresult* fields) {
        if (PQntuples(fields) == 0) {
            return;
        }
        tx.Exec(
            "UPDATE varnel_pool SET next3 = $3 WHERE field1 = $1 AND field2 = $2"
            " AND $3 BETWEEN first3 AND last3 AND next3 > $3",
            {PQgetvalue(fields, 0, 0), PQgetvalue(fields, 0, 1), PQgetvalue(fields, 0, 2)});
    }

    std::string uri_;
    std::string location_;
    PGconn* connection_;
};

}  // namespace

namespace {

// The password texts of uri as written (in the user part, or as a parameter).
std::vector<std::string> PasswordsIn(const std::string& uri) {
    std::vector<std::string> passwords;
    const std::size_t scheme = uri.find("://");
    if (scheme == std::string::npos) {
        return passwords;
    }
    const std::size_t start = scheme + 3;
    const std::size_t end = std::min(uri.find_first_of("/?", start), uri.size());
    const std::string authority = uri.substr(start, end - start);
    const std::size_t at = authority.rfind('@');
    const std::size_t colon = authority.find(':');
    if (at != std::string::npos && colon < at && at > colon + 1) {
        passwords.push_back(authority.substr(colon + 1, at - colon - 1));
    }
    for (std::size_t from = uri.find("password=", end); from != std::string::npos;
         from = uri.find("password=", from + 1)) {
        const std::size_t value = from + 9;
        const std::size_t stop = std::min(uri.find('&', value), uri.size());
        if (stop > value) {
            passwords.push_back(uri.substr(value, stop - value));
        }
    }
    return passwords;
}

// libpq quotes the pieces of a URI it cannot read, a password among them: those never reach a
// message.
std::string WithoutPasswords(std::string message, const std::string& uri) {
    for (const std::string& password : PasswordsIn(uri)) {
        for (std::size_t at; (at = message.find(password)) != std::string::npos;) {
            message.replace(at, password.size(), "(password)");
        }
    }
    return message;
}

}  // namespace

std::unique_ptr<IEsnRegistry> OpenPostgresRegistry(const std::string& uri, RegistryError& error) {
    const std::string location = PostgresLocationWithoutPassword(uri);
    char* parseError = nullptr;
    PQconninfoOption* parsed = PQconninfoParse(uri.c_str(), &parseError);
    if (!parsed) {
        error.message =
            "The registry location " + location + " is not a PostgreSQL URI the " +
            "client library accepts" +
            (parseError ? ": " + WithoutPasswords(Trimmed(parseError), uri) : std::string()) + ".";
        PQfreemem(parseError);
        return nullptr;
    }
    PQconninfoFree(parsed);

    // Defaults first, the URI after them: whatever the URI says wins (libpq's order), so a line
    // may set its own timeouts, sslmode and the rest. A station stopped inside a transaction
    // (Ctrl+Z, a debugger) loses it after 5 s, before the others' 10 s statement limit runs out.
    const char* keywords[] = {"connect_timeout",           "options",          "keepalives_idle",
                              "keepalives_interval",       "keepalives_count", "tcp_user_timeout",
                              "fallback_application_name", "dbname",           nullptr};
    const char* values[] = {
        "10",     "-c statement_timeout=10000 -c idle_in_transaction_session_timeout=5000",
        "10",     "5",
        "3",      "15000",
        "varnel", uri.c_str(),
        nullptr};
    PGconn* connection = PQconnectdbParams(keywords, values, 1);
    if (!connection) {
        error.message = "The ESN registry at " + location + " cannot be reached: out of memory.";
        return nullptr;
    }
    if (PQstatus(connection) != CONNECTION_OK) {
        error.message = "The ESN registry at " + location + " cannot be reached: " +
                        WithoutPasswords(Trimmed(PQerrorMessage(connection)), uri) + ".";
        PQfinish(connection);
        return nullptr;
    }
    // The server's notices (and a session ended while idle) would go to stderr, into a front
    // end's output; every failure that matters reaches the caller as a result instead.
    PQsetNoticeProcessor(
        connection, [](void*, const char*) {}, nullptr);
    auto registry = std::make_unique<PostgresRegistry>(uri, connection);
    if (auto failure = registry->PrepareSchema()) {
        error = *failure;
        return nullptr;
    }
    return registry;
}

}  // namespace varnel
