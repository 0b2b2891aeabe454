#include "tests/registry/RegistryBackends.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#if VARNEL_HAVE_POSTGRES
#include "tests/support/PostgresServer.h"
#endif

namespace varnel::test {

namespace {

// The process's scratch folder, made at the first use and removed at exit; a forked child leaves
// with _exit and so never removes its parent's.
class Scratch {
public:
    const std::filesystem::path& Root() {
        if (m_root.empty()) {
#ifdef _WIN32
            const long long pid = _getpid();
#else
            const long long pid = ::getpid();
#endif
            const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
            m_root = std::filesystem::temp_directory_path() /
                     ("varnel-registry-" + std::to_string(pid) + "-" + std::to_string(stamp));
            std::filesystem::create_directories(m_root);
            // Reachable by the unprivileged user of the cases that drop root.
            std::filesystem::permissions(m_root, std::filesystem::perms(0755));
        }
        return m_root;
    }
    ~Scratch() {
        if (!m_root.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(m_root, ec);
        }
    }

private:
    std::filesystem::path m_root;
};

Scratch& TheScratch() {
    static Scratch scratch;
    return scratch;
}

#if VARNEL_HAVE_POSTGRES
// A new database on the program's own PostgreSQL server, named over the Unix socket or over TCP
// loopback. A server that cannot start fails the case with the reason, never skips it.
std::string FreshPostgresDatabase(bool overTcp) {
    std::string reason;
    PostgresServer* server = PostgresServer::Shared(reason);
    if (!server) {
        ADD_FAILURE() << "No PostgreSQL server for the registry cases: " << reason;
        return "postgresql://no-server.invalid/none";
    }
    const std::string database = server->CreateDatabase(reason);
    if (database.empty()) {
        ADD_FAILURE() << "No fresh PostgreSQL database: " << reason;
        return "postgresql://no-server.invalid/none";
    }
    return overTcp ? server->TcpUri(database) : server->SocketUri(database);
}

bool ExecutePostgres(const std::string& uri, const std::string& sql, std::string& error) {
    PostgresSession session(uri);
    error = session.Exec(sql);
    return error.empty();
}
#endif

}  // namespace

std::string ScratchFolder() {
    static std::atomic<int> next{0};
    const auto folder = TheScratch().Root() / ("case-" + std::to_string(next++));
    std::filesystem::create_directories(folder);
    std::filesystem::permissions(folder, std::filesystem::perms(0755));
    return folder.string();
}

bool ExecuteSqlite(const std::string& path, const std::string& sql, std::string& error) {
    sqlite3* db = nullptr;
    int rc = ::sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    char* message = nullptr;
    if (rc == SQLITE_OK) {
        rc = ::sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
    }
    if (rc != SQLITE_OK) {
        error = message ? message : ::sqlite3_errstr(rc);
    }
    ::sqlite3_free(message);
    ::sqlite3_close_v2(db);
    return rc == SQLITE_OK;
}

const std::vector<RegistryBackend>& RegistryBackends() {
    static const std::vector<RegistryBackend> backends = {
        {"SQLite", [] { return ScratchFolder() + "/registry/esn-registry.sqlite"; }, ExecuteSqlite},
#if VARNEL_HAVE_POSTGRES
        {"PostgreSQL_socket", [] { return FreshPostgresDatabase(false); }, ExecutePostgres},
        {"PostgreSQL_tcp", [] { return FreshPostgresDatabase(true); }, ExecutePostgres},
#endif
    };
    return backends;
}

}  // namespace varnel::test
