#include "tests/registry/RegistryBackends.h"

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
    };
    return backends;
}

}  // namespace varnel::test
