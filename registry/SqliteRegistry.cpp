#include "registry/SqliteRegistry.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>
#include <utility>

#include "registry/RegistryRules.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#endif

namespace varnel {

namespace {

// The tables of schema 1. Each ESN is one row keyed by its canonical text; its fields are kept
// beside it so that a pool's range is an index range. A released ESN keeps its row (with the
// reason) until it is reserved again; every release is also kept in esn_releases for good.
constexpr const char* kCreateSchema = R"sql(
CREATE TABLE varnel_schema (version INTEGER NOT NULL);
CREATE TABLE esn_pools (
    name TEXT PRIMARY KEY NOT NULL,
    field1 INTEGER NOT NULL,
    field2 INTEGER NOT NULL,
    first3 INTEGER NOT NULL,
    last3 INTEGER NOT NULL,
    -- Every ESN of the pool below this one is held: the search for the lowest free one starts
    -- here, so that it does not slow down as the pool fills.
    next_free_from INTEGER NOT NULL,
    created_at TEXT NOT NULL
);
CREATE TABLE esn_entries (
    esn TEXT PRIMARY KEY NOT NULL,
    field1 INTEGER NOT NULL,
    field2 INTEGER NOT NULL,
    field3 INTEGER NOT NULL,
    state TEXT NOT NULL CHECK (state IN ('sending', 'unconfirmed', 'confirmed', 'released')),
    pool TEXT NOT NULL DEFAULT '',
    station TEXT NOT NULL DEFAULT '',
    user_name TEXT NOT NULL DEFAULT '',
    port TEXT NOT NULL DEFAULT '',
    radio_serial TEXT NOT NULL DEFAULT '',
    reserved_at TEXT NOT NULL,
    settled_at TEXT NOT NULL DEFAULT '',
    reason TEXT NOT NULL DEFAULT ''
);
CREATE INDEX esn_entries_by_fields ON esn_entries (field1, field2, field3, state);
CREATE INDEX esn_entries_by_time ON esn_entries (reserved_at);
CREATE INDEX esn_entries_by_state ON esn_entries (state, reserved_at);
CREATE TABLE esn_releases (
    esn TEXT NOT NULL,
    released_at TEXT NOT NULL,
    previous_state TEXT NOT NULL,
    reason TEXT NOT NULL
);
)sql";

constexpr const char* kEntryColumns =
    "esn, state, pool, station, user_name, port, radio_serial, reserved_at, settled_at, reason";

std::filesystem::path PathFromUtf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// The name of the network file system that holds folder, or empty for a local one. SQLite's
// locks and its WAL index (shared memory) hold only among the processes of one machine: two
// stations sharing a file over the network could both take the same ESN.
std::string NetworkFileSystem(const std::filesystem::path& folder) {
#ifdef _WIN32
    std::wstring text = std::filesystem::absolute(folder).wstring();
    if (text.rfind(L"\\\\", 0) == 0 && text.rfind(L"\\\\?\\", 0) != 0) {
        return "a network share";
    }
    if (text.size() >= 3 && text[1] == L':') {
        const std::wstring root = text.substr(0, 2) + L"\\";
        if (::GetDriveTypeW(root.c_str()) == DRIVE_REMOTE) {
            return "a network drive";
        }
    }
    return {};
#else
    struct statfs info {};
    if (::statfs(folder.c_str(), &info) != 0) {
        return {};
    }
    struct Kind {
        unsigned long magic;
        const char* name;
    };
    static constexpr Kind kNetwork[] = {
        {0x6969, "NFS"},      {0x517B, "SMB"},        {0xFF534D42, "CIFS"},
        {0xFE534D42, "SMB2"}, {0x5346414F, "AFS"},    {0x73757245, "Coda"},
        {0x00C36400, "Ceph"}, {0x0BD00BD0, "Lustre"}, {0x01021997, "9P"},
    };
    for (const Kind& kind : kNetwork) {
        if (static_cast<unsigned long>(info.f_type) == kind.magic) {
            return kind.name;
        }
    }
    return {};
#endif
}

// One prepared statement, finalised when it goes.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        m_rc = ::sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr);
    }
    ~Statement() { ::sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // SQLITE_OK when it was prepared.
    int PrepareStatus() const { return m_rc; }

    void Bind(int index, const std::string& text) {
        if (m_rc == SQLITE_OK) {
            m_rc = ::sqlite3_bind_text(m_statement, index, text.data(),
                                       static_cast<int>(text.size()), SQLITE_TRANSIENT);
        }
    }
    void Bind(int index, std::int64_t value) {
        if (m_rc == SQLITE_OK) {
            m_rc = ::sqlite3_bind_int64(m_statement, index, value);
        }
    }
    // SQLITE_ROW, SQLITE_DONE, or the error of a bind, the prepare or the step.
    int Step() {
        if (m_rc != SQLITE_OK) {
            return m_rc;
        }
        return ::sqlite3_step(m_statement);
    }
    std::string Text(int column) const {
        const auto* text =
            reinterpret_cast<const char*>(::sqlite3_column_text(m_statement, column));
        return text ? std::string(text, static_cast<std::size_t>(
                                            ::sqlite3_column_bytes(m_statement, column)))
                    : std::string();
    }
    std::int64_t Int(int column) const { return ::sqlite3_column_int64(m_statement, column); }
    sqlite3_stmt* Handle() const { return m_statement; }

private:
    sqlite3_stmt* m_statement = nullptr;
    int m_rc = SQLITE_OK;
};

// An entry from a row of kEntryColumns, starting at column 0.
EsnEntry EntryFromRow(const Statement& row) {
    EsnEntry entry;
    entry.esn = row.Text(0);
    entry.state = EsnStateFromWord(row.Text(1)).value_or(EsnState::Confirmed);
    entry.pool = row.Text(2);
    entry.origin.station = row.Text(3);
    entry.origin.user = row.Text(4);
    entry.origin.port = row.Text(5);
    entry.origin.radioSerial = row.Text(6);
    entry.reservedAt = row.Text(7);
    entry.settledAt = row.Text(8);
    entry.reason = row.Text(9);
    return entry;
}

class SqliteRegistry final : public IEsnRegistry {
public:
    SqliteRegistry(std::string path, const SqliteRegistryOptions& options)
        : m_path(std::move(path)), m_options(options) {}
    ~SqliteRegistry() override { ::sqlite3_close_v2(m_db); }

    // Opens the file and brings its tables to the schema this program writes.
    std::optional<RegistryError> Open() {
        if (auto problem = MakeFolderAndFile()) {
            return problem;
        }
        const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
        int rc = ::sqlite3_open_v2(m_path.c_str(), &m_db, flags, nullptr);
        if (rc != SQLITE_OK) {
            return Failure(rc, "opening it");
        }
        ::sqlite3_extended_result_codes(m_db, 1);
        ::sqlite3_busy_handler(m_db, &SqliteRegistry::WaitWhileBusy, this);
        // A file that is not a database shows here, at the first read of its header.
        if (auto problem = Execute("PRAGMA journal_mode=WAL", "switching it to WAL", "wal")) {
            return problem;
        }
        // Every commit reaches the disk before the ESN may be sent.
        if (auto problem = Execute("PRAGMA synchronous=FULL", "setting full sync")) {
            return problem;
        }
        return PrepareSchema();
    }

    std::string Location() const override { return m_path; }

    ReserveResult Reserve(const EsnFields& esn, const WriteOrigin& origin) override {
        ReserveResult result;
        const auto key = CanonicalEsnText(FormatEsn(esn));
        if (!key) {
            result.error = NotAnEsn(FormatEsn(esn));
            return result;
        }
        EsnEntry entry;
        entry.esn = *key;
        entry.origin = origin;
        return InTransaction(result, "reserving " + *key,
                             [&](ReserveResult& out) { return PutIfFree(esn, entry, out); });
    }

    ReserveResult ReserveNext(const std::string& pool, const WriteOrigin& origin) override {
        ReserveResult result;
        return InTransaction(result, "taking the next ESN of pool \"" + pool + "\"",
                             [&](ReserveResult& out) { return TakeNext(pool, origin, out); });
    }

    std::optional<RegistryError> Settle(const std::string& esn, Settlement settlement) override {
        return Change(esn, "settling", [&](const EsnEntry& entry) -> std::optional<RegistryError> {
            if (entry.state != EsnState::Sending) {
                return NotBeingSent(entry.esn, entry.state);
            }
            if (settlement == Settlement::Freed) {
                Statement remove(m_db, "DELETE FROM esn_entries WHERE esn = ?1");
                remove.Bind(1, entry.esn);
                if (const int rc = remove.Step(); rc != SQLITE_DONE) {
                    return Failure(rc, "freeing " + entry.esn);
                }
                return NoteFreed(entry.esn);
            }
            const EsnState state =
                settlement == Settlement::Confirmed ? EsnState::Confirmed : EsnState::Unconfirmed;
            return SetState(entry.esn, state, nullptr);
        });
    }

    std::optional<RegistryError> SetRadioSerial(const std::string& esn,
                                                const std::string& radioSerial) override {
        return Change(esn, "recording the radio's serial number with",
                      [&](const EsnEntry& entry) -> std::optional<RegistryError> {
                          Statement update(
                              m_db, "UPDATE esn_entries SET radio_serial = ?2 WHERE esn = ?1");
                          update.Bind(1, entry.esn);
                          update.Bind(2, radioSerial);
                          if (const int rc = update.Step(); rc != SQLITE_DONE) {
                              return Failure(rc, "recording the serial number of " + entry.esn);
                          }
                          return std::nullopt;
                      });
    }

    std::optional<EsnEntry> Find(const std::string& esn, RegistryError& error) override {
        error = RegistryError{};
        const auto key = CanonicalEsnText(esn);
        if (!key) {
            error = NotAnEsn(esn);
            return std::nullopt;
        }
        std::optional<EsnEntry> entry;
        if (auto problem = Lookup(*key, entry)) {
            error = *problem;
        }
        return entry;
    }

    std::vector<EsnEntry> List(const ListFilter& filter, RegistryError& error) override {
        error = RegistryError{};
        std::string sql = std::string("SELECT ") + kEntryColumns + " FROM esn_entries WHERE 1";
        if (filter.pool) {
            sql += " AND pool = ?1";
        }
        if (filter.state) {
            sql += " AND state = ?2";
        }
        if (filter.station) {
            sql += " AND station = ?3";
        }
        sql += " ORDER BY reserved_at DESC, rowid DESC";
        if (filter.limit > 0) {
            sql += " LIMIT ?4";
        }
        Statement query(m_db, sql.c_str());
        if (filter.pool) {
            query.Bind(1, *filter.pool);
        }
        if (filter.state) {
            query.Bind(2, std::string(EsnStateWord(*filter.state)));
        }
        if (filter.station) {
            query.Bind(3, *filter.station);
        }
        if (filter.limit > 0) {
            query.Bind(4, filter.limit);
        }
        std::vector<EsnEntry> entries;
        int rc;
        while ((rc = query.Step()) == SQLITE_ROW) {
            entries.push_back(EntryFromRow(query));
        }
        if (rc != SQLITE_DONE) {
            error = Failure(rc, "listing its entries");
            entries.clear();
        }
        return entries;
    }

    std::optional<RegistryError> AddPool(const std::string& name, const EsnFields& first,
                                         const EsnFields& last) override {
        if (auto problem = PoolProblem(name, first, last)) {
            return Refusal(*problem);
        }
        return Write("adding pool \"" + name + "\"", [&]() -> std::optional<RegistryError> {
            Statement insert(m_db,
                             "INSERT INTO esn_pools (name, field1, field2, first3, last3, "
                             "next_free_from, created_at) VALUES (?1, ?2, ?3, ?4, ?5, ?4, ?6) "
                             "ON CONFLICT (name) DO NOTHING");
            insert.Bind(1, name);
            insert.Bind(2, std::int64_t{first.field1});
            insert.Bind(3, std::int64_t{first.field2});
            insert.Bind(4, std::int64_t{first.field3});
            insert.Bind(5, std::int64_t{last.field3});
            insert.Bind(6, RegistryTimestampNow());
            if (const int rc = insert.Step(); rc != SQLITE_DONE) {
                return Failure(rc, "adding pool \"" + name + "\"");
            }
            if (::sqlite3_changes(m_db) != 1) {
                return PoolNameTaken(name);
            }
            return std::nullopt;
        });
    }

    std::vector<EsnPool> Pools(RegistryError& error) override {
        error = RegistryError{};
        Statement query(m_db,
                        "SELECT p.name, p.field1, p.field2, p.first3, p.last3, "
                        "p.last3 - p.first3 + 1 - (SELECT COUNT(*) FROM esn_entries e "
                        "WHERE e.field1 = p.field1 AND e.field2 = p.field2 "
                        "AND e.field3 BETWEEN p.first3 AND p.last3 AND e.state != 'released') "
                        "FROM esn_pools p ORDER BY p.name");
        std::vector<EsnPool> pools;
        int rc;
        while ((rc = query.Step()) == SQLITE_ROW) {
            EsnPool pool;
            pool.name = query.Text(0);
            const auto field1 = static_cast<std::int32_t>(query.Int(1));
            const auto field2 = static_cast<std::int32_t>(query.Int(2));
            pool.first = {field1, field2, static_cast<std::int32_t>(query.Int(3))};
            pool.last = {field1, field2, static_cast<std::int32_t>(query.Int(4))};
            pool.freeCount = query.Int(5);
            pools.push_back(std::move(pool));
        }
        if (rc != SQLITE_DONE) {
            error = Failure(rc, "listing its pools");
            pools.clear();
        }
        return pools;
    }

    std::optional<RegistryError> Release(const std::string& esn,
                                         const std::string& reason) override {
        if (reason.find_first_not_of(" \t\r\n") == std::string::npos) {
            return ReleaseNeedsReason();
        }
        return Change(esn, "releasing", [&](const EsnEntry& entry) -> std::optional<RegistryError> {
            if (entry.state == EsnState::Confirmed) {
                return ConfirmedNeverReleased(entry.esn);
            }
            if (entry.state == EsnState::Released) {
                return AlreadyReleased(entry.esn);
            }
            Statement log(m_db,
                          "INSERT INTO esn_releases (esn, released_at, previous_state, reason) "
                          "VALUES (?1, ?2, ?3, ?4)");
            log.Bind(1, entry.esn);
            log.Bind(2, RegistryTimestampNow());
            log.Bind(3, std::string(EsnStateWord(entry.state)));
            log.Bind(4, reason);
            if (const int rc = log.Step(); rc != SQLITE_DONE) {
                return Failure(rc, "keeping the reason for releasing " + entry.esn);
            }
            if (auto problem = SetState(entry.esn, EsnState::Released, &reason)) {
                return problem;
            }
            return NoteFreed(entry.esn);
        });
    }

    std::optional<RegistryError> Confirm(const std::string& esn) override {
        return Change(
            esn, "confirming", [&](const EsnEntry& entry) -> std::optional<RegistryError> {
                if (entry.state == EsnState::Confirmed) {
                    return std::nullopt;
                }
                if (entry.state == EsnState::Released) {
                    return Refusal(entry.esn +
                                   " was released: reserve it again to program it, it cannot be "
                                   "confirmed.");
                }
                return SetState(entry.esn, EsnState::Confirmed, nullptr);
            });
    }

    ReserveResult Import(const EsnEntry& imported) override {
        ReserveResult result;
        const auto esn = ParseRegistryEsn(imported.esn);
        if (!esn) {
            result.error = NotAnEsn(imported.esn);
            return result;
        }
        EsnEntry entry = imported;
        entry.esn = FormatEsn(*esn);
        if (!EsnStateBlocks(entry.state)) {
            result.error = ImportOnlyBlocking(entry.esn);
            return result;
        }
        return InTransaction(result, "importing " + entry.esn,
                             [&](ReserveResult& out) { return PutIfFree(*esn, entry, out); });
    }

private:
    // Called by SQLite while another connection holds the lock it needs: waits a little and tries
    // again, up to the busy timeout. SQLite's own timeout backs off to 100 ms between tries, so a
    // station among several racing ones could lose the lock for seconds to those that try more
    // often; a short, jittered wait keeps the queue fair at the price of a few cheap lock tries.
    static int WaitWhileBusy(void* self, int count) {
        auto& registry = *static_cast<SqliteRegistry*>(self);
        const auto now = std::chrono::steady_clock::now();
        if (count == 0) {
            registry.m_busySince = now;
        }
        if (now - registry.m_busySince >= registry.m_options.busyTimeout) {
            return 0;
        }
        registry.m_jitter = registry.m_jitter * 1103515245u + 12345u;
        std::this_thread::sleep_for(
            std::chrono::microseconds(200 + (registry.m_jitter >> 16) % 800));
        return 1;
    }

    // Creates the folder and, on POSIX, the file with the permissions the umask allows (SQLite
    // would make it 0644 whatever the umask, shutting out a second user of one station; its
    // journal files take the database file's permissions).
    std::optional<RegistryError> MakeFolderAndFile() {
        const std::filesystem::path path = PathFromUtf8(m_path);
        if (path.has_parent_path()) {
            std::error_code ec;
            std::filesystem::create_directories(path.parent_path(), ec);
            if (ec) {
                RegistryError error;
                error.message = "The folder of the ESN registry " + m_path +
                                " could not be made: " + ec.message() + ".";
                return error;
            }
        }
        const std::string network =
            NetworkFileSystem(path.has_parent_path() ? path.parent_path() : ".");
        if (!network.empty()) {
            RegistryError error;
            error.message = "The ESN registry " + m_path + " is on " +
                            (network.rfind("a ", 0) == 0 ? network : "a " + network + " mount") +
                            ": an SQLite registry serves the stations of one machine only, and "
                            "over the network two stations could take the same ESN. Use a "
                            "PostgreSQL registry (postgresql://...) for a line of stations.";
            return error;
        }
#ifndef _WIN32
        const int fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
        }
        // EEXIST is an existing registry; any other failure shows, in SQLite's words, at open.
#endif
        return std::nullopt;
    }

    // Runs one statement; when expected is given, its one text result must be that.
    std::optional<RegistryError> Execute(const char* sql, const std::string& doing,
                                         const char* expected = nullptr) {
        Statement statement(m_db, sql);
        int rc = statement.Step();
        if (rc == SQLITE_ROW && expected) {
            const std::string got = statement.Text(0);
            if (got != expected) {
                RegistryError error;
                error.message = "The ESN registry " + m_path + " could not be used: " + doing +
                                " gave \"" + got + "\" (is it on a network drive?).";
                return error;
            }
        }
        while (rc == SQLITE_ROW) {
            rc = statement.Step();
        }
        if (rc != SQLITE_DONE) {
            return Failure(rc, doing);
        }
        return std::nullopt;
    }

    // The version the file carries, 0 when it has no tables of ours yet.
    std::optional<RegistryError> ReadSchemaVersion(long long& version) {
        version = 0;
        Statement exists(m_db,
                         "SELECT 1 FROM sqlite_master WHERE type = 'table' AND "
                         "name = 'varnel_schema'");
        int rc = exists.Step();
        if (rc == SQLITE_DONE) {
            return std::nullopt;
        }
        if (rc != SQLITE_ROW) {
            return Failure(rc, "reading its schema");
        }
        Statement read(m_db, "SELECT MAX(version) FROM varnel_schema");
        rc = read.Step();
        if (rc != SQLITE_ROW) {
            return Failure(rc, "reading its schema version");
        }
        // A table of ours without a version in it: damaged, never taken for a new file.
        version = ::sqlite3_column_type(read.Handle(), 0) == SQLITE_NULL ? -1 : read.Int(0);
        return std::nullopt;
    }

    std::optional<RegistryError> PrepareSchema() {
        long long version = 0;
        if (auto problem = ReadSchemaVersion(version)) {
            return problem;
        }
        if (version == kRegistrySchemaVersion) {
            return std::nullopt;
        }
        if (version > kRegistrySchemaVersion) {
            return SchemaTooNew(m_path, version);
        }
        if (version != 0) {
            return SchemaDamaged(m_path, version);
        }
        // A new file: its tables, made by whichever station gets there first.
        return Write("making its tables", [&]() -> std::optional<RegistryError> {
            if (auto problem = ReadSchemaVersion(version)) {
                return problem;
            }
            if (version > kRegistrySchemaVersion) {
                return SchemaTooNew(m_path, version);
            }
            if (version == kRegistrySchemaVersion) {
                return std::nullopt;
            }
            if (version != 0) {
                return SchemaDamaged(m_path, version);
            }
            int rc = ::sqlite3_exec(m_db, kCreateSchema, nullptr, nullptr, nullptr);
            if (rc != SQLITE_OK) {
                return Failure(rc, "making its tables");
            }
            Statement mark(m_db, "INSERT INTO varnel_schema (version) VALUES (?1)");
            mark.Bind(1, std::int64_t{kRegistrySchemaVersion});
            if (rc = mark.Step(); rc != SQLITE_DONE) {
                return Failure(rc, "recording its schema version");
            }
            return std::nullopt;
        });
    }

    // Runs body in a write transaction, taken at once (BEGIN IMMEDIATE): a second process waits
    // for the first to commit, up to the busy timeout, so that nothing it read can be changed
    // under it. Commits when body gives no error, otherwise rolls back.
    template <typename Body>
    std::optional<RegistryError> Write(const std::string& doing, Body body) {
        int rc = ::sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) {
            return Failure(rc, doing);
        }
        std::optional<RegistryError> problem = body();
        if (!problem) {
            rc = ::sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
            if (rc != SQLITE_OK) {
                problem = Failure(rc, doing);
            }
        }
        if (problem && !::sqlite3_get_autocommit(m_db)) {
            ::sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        }
        return problem;
    }

    // Write for the calls that give a ReserveResult: body fills out and returns an error only
    // when the registry failed (Held and Exhausted commit nothing and are no failure).
    template <typename Body>
    ReserveResult InTransaction(ReserveResult& out, const std::string& doing, Body body) {
        auto problem = Write(doing, [&]() -> std::optional<RegistryError> {
            if (auto failed = body(out)) {
                return failed;
            }
            if (out.status != ReserveStatus::Reserved) {
                // Nothing written: roll back rather than commit an empty transaction.
                return RegistryError{};
            }
            return std::nullopt;
        });
        if (problem && out.status == ReserveStatus::Reserved) {
            // The commit failed: the reservation is not made.
            out.status = ReserveStatus::Failed;
            out.error = *problem;
            out.entry = EsnEntry{};
        } else if (problem && !problem->message.empty()) {
            out.status = ReserveStatus::Failed;
            out.error = *problem;
        }
        return out;
    }

    // Runs body on the entry of esn inside a write transaction; a missing entry is refused.
    template <typename Body>
    std::optional<RegistryError> Change(const std::string& esn, const char* doing, Body body) {
        const auto key = CanonicalEsnText(esn);
        if (!key) {
            return NotAnEsn(esn);
        }
        return Write(std::string(doing) + " " + *key, [&]() -> std::optional<RegistryError> {
            std::optional<EsnEntry> entry;
            if (auto problem = Lookup(*key, entry)) {
                return problem;
            }
            if (!entry) {
                return NotHeld(*key);
            }
            return body(*entry);
        });
    }

    std::optional<RegistryError> Lookup(const std::string& key, std::optional<EsnEntry>& entry) {
        entry.reset();
        Statement query(
            m_db,
            (std::string("SELECT ") + kEntryColumns + " FROM esn_entries WHERE esn = ?1").c_str());
        query.Bind(1, key);
        const int rc = query.Step();
        if (rc == SQLITE_ROW) {
            entry = EntryFromRow(query);
            return std::nullopt;
        }
        if (rc != SQLITE_DONE) {
            return Failure(rc, "looking up " + key);
        }
        return std::nullopt;
    }

    // Puts entry for esn (reserving it, or importing it as it stands) unless a blocking entry
    // holds it; a released entry of the same ESN gives way.
    std::optional<RegistryError> PutIfFree(const EsnFields& esn, EsnEntry entry,
                                           ReserveResult& out) {
        std::optional<EsnEntry> existing;
        if (auto problem = Lookup(entry.esn, existing)) {
            return problem;
        }
        if (existing && EsnStateBlocks(existing->state)) {
            out.status = ReserveStatus::Held;
            out.entry = *existing;
            return std::nullopt;
        }
        if (entry.reservedAt.empty()) {
            entry.reservedAt = RegistryTimestampNow();
        }
        Statement put(m_db,
                      "INSERT OR REPLACE INTO esn_entries (esn, field1, field2, field3, state, "
                      "pool, station, user_name, port, radio_serial, reserved_at, settled_at, "
                      "reason) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13)");
        put.Bind(1, entry.esn);
        put.Bind(2, std::int64_t{esn.field1});
        put.Bind(3, std::int64_t{esn.field2});
        put.Bind(4, std::int64_t{esn.field3});
        put.Bind(5, std::string(EsnStateWord(entry.state)));
        put.Bind(6, entry.pool);
        put.Bind(7, entry.origin.station);
        put.Bind(8, entry.origin.user);
        put.Bind(9, entry.origin.port);
        put.Bind(10, entry.origin.radioSerial);
        put.Bind(11, entry.reservedAt);
        put.Bind(12, entry.settledAt);
        put.Bind(13, entry.reason);
        if (const int rc = put.Step(); rc != SQLITE_DONE) {
            return Failure(rc, "writing " + entry.esn);
        }
        out.status = ReserveStatus::Reserved;
        out.entry = std::move(entry);
        return std::nullopt;
    }

    std::optional<RegistryError> TakeNext(const std::string& name, const WriteOrigin& origin,
                                          ReserveResult& out) {
        Statement pool(m_db,
                       "SELECT field1, field2, first3, last3, next_free_from FROM esn_pools "
                       "WHERE name = ?1");
        pool.Bind(1, name);
        int rc = pool.Step();
        if (rc == SQLITE_DONE) {
            out.status = ReserveStatus::Exhausted;
            out.error = NoSuchPool(name);
            return std::nullopt;
        }
        if (rc != SQLITE_ROW) {
            return Failure(rc, "reading pool \"" + name + "\"");
        }
        const auto field1 = static_cast<std::int32_t>(pool.Int(0));
        const auto field2 = static_cast<std::int32_t>(pool.Int(1));
        const std::int64_t first = pool.Int(2);
        const std::int64_t last = pool.Int(3);
        std::int64_t candidate = std::max(first, pool.Int(4));

        // The held ESNs from the candidate on, in order: the first gap is the lowest free one.
        Statement held(m_db,
                       "SELECT field3 FROM esn_entries WHERE field1 = ?1 AND field2 = ?2 "
                       "AND field3 BETWEEN ?3 AND ?4 AND state != 'released' ORDER BY field3");
        held.Bind(1, std::int64_t{field1});
        held.Bind(2, std::int64_t{field2});
        held.Bind(3, candidate);
        held.Bind(4, last);
        while ((rc = held.Step()) == SQLITE_ROW) {
            const std::int64_t field3 = held.Int(0);
            if (field3 > candidate) {
                break;
            }
            candidate = field3 + 1;
        }
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
            return Failure(rc, "searching pool \"" + name + "\"");
        }
        if (candidate > last) {
            out.status = ReserveStatus::Exhausted;
            out.error = PoolExhausted(name);
            return std::nullopt;
        }
        const EsnFields esn{field1, field2, static_cast<std::int32_t>(candidate)};
        EsnEntry entry;
        entry.esn = FormatEsn(esn);
        entry.pool = name;
        entry.origin = origin;
        if (auto problem = PutIfFree(esn, entry, out)) {
            return problem;
        }
        if (out.status != ReserveStatus::Reserved) {
            // The search just found it free: a held entry here is a damaged index.
            return Failure(SQLITE_CORRUPT, "taking " + entry.esn);
        }
        Statement advance(m_db, "UPDATE esn_pools SET next_free_from = ?2 WHERE name = ?1");
        advance.Bind(1, name);
        advance.Bind(2, candidate + 1);
        if (rc = advance.Step(); rc != SQLITE_DONE) {
            return Failure(rc, "advancing pool \"" + name + "\"");
        }
        return std::nullopt;
    }

    // An ESN became free: every pool that holds it searches from it again.
    std::optional<RegistryError> NoteFreed(const std::string& key) {
        const auto esn = ParseRegistryEsn(key);
        if (!esn) {
            return std::nullopt;
        }
        Statement update(m_db,
                         "UPDATE esn_pools SET next_free_from = MIN(next_free_from, ?3) "
                         "WHERE field1 = ?1 AND field2 = ?2 AND first3 <= ?3 AND last3 >= ?3");
        update.Bind(1, std::int64_t{esn->field1});
        update.Bind(2, std::int64_t{esn->field2});
        update.Bind(3, std::int64_t{esn->field3});
        if (const int rc = update.Step(); rc != SQLITE_DONE) {
            return Failure(rc, "freeing " + key);
        }
        return std::nullopt;
    }

    std::optional<RegistryError> SetState(const std::string& key, EsnState state,
                                          const std::string* reason) {
        Statement update(m_db,
                         "UPDATE esn_entries SET state = ?2, settled_at = ?3, "
                         "reason = COALESCE(?4, reason) WHERE esn = ?1");
        update.Bind(1, key);
        update.Bind(2, std::string(EsnStateWord(state)));
        update.Bind(3, RegistryTimestampNow());
        if (reason) {
            update.Bind(4, *reason);
        }
        if (const int rc = update.Step(); rc != SQLITE_DONE) {
            return Failure(rc, "changing the state of " + key);
        }
        return std::nullopt;
    }

    // A failure of SQLite in words for the user.
    RegistryError Failure(int rc, const std::string& doing) const {
        const int primary = rc & 0xFF;
        const std::string detail =
            m_db && ::sqlite3_errcode(m_db) == rc ? ::sqlite3_errmsg(m_db) : ::sqlite3_errstr(rc);
        RegistryError error;
        const std::string where = "The ESN registry " + m_path;
        switch (primary) {
            case SQLITE_BUSY:
            case SQLITE_LOCKED:
                error.message = where + " is in use by another program and stayed so for more " +
                                "than " + std::to_string(m_options.busyTimeout.count()) + " ms (" +
                                doing + ").";
                break;
            case SQLITE_READONLY:
            case SQLITE_PERM:
            case SQLITE_AUTH:
                error.message = where + " cannot be written (" + doing + "): " + detail + ".";
                break;
            case SQLITE_CANTOPEN:
                error.message =
                    where + " cannot be opened for writing (" + doing + "): " + detail + ".";
                break;
            case SQLITE_FULL:
                error.message = where + " could not be written (" + doing +
                                "): the disk or the file's size limit is full.";
                break;
            case SQLITE_IOERR: {
                const int system = m_db ? ::sqlite3_system_errno(m_db) : 0;
                error.message = where + " could not be read or written (" + doing + "): " + detail +
                                (system ? std::string(" (") + std::strerror(system) + ")" : "") +
                                ".";
                break;
            }
            case SQLITE_NOTADB:
                error.message = m_path + " is not an ESN registry: it is not an SQLite database.";
                break;
            case SQLITE_CORRUPT:
                error.message = where + " is damaged (" + doing + "): " + detail + ".";
                break;
            default:
                error.message = where + " could not be used (" + doing + "): " + detail + ".";
                break;
        }
        return error;
    }

    std::string m_path;
    SqliteRegistryOptions m_options;
    sqlite3* m_db = nullptr;
    std::chrono::steady_clock::time_point m_busySince;
    std::uint32_t m_jitter =
        static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
};

}  // namespace

std::unique_ptr<IEsnRegistry> OpenSqliteRegistry(const std::string& path, RegistryError& error,
                                                 const SqliteRegistryOptions& options) {
    error = RegistryError{};
    auto registry = std::make_unique<SqliteRegistry>(path, options);
    if (auto problem = registry->Open()) {
        error = *problem;
        return nullptr;
    }
    return registry;
}

}  // namespace varnel
