#pragma once

#include <sys/types.h>
#include <string>

namespace varnel::test {

// A real PostgreSQL server of the test program's own: initdb and pg_ctl in a temporary folder,
// listening on a Unix socket in that folder and on TCP loopback (with a password there), run as
// an unprivileged user when the tests run as root. One server per test program, started on first
// use; each test takes a fresh database copied from a template. The server is stopped and its
// folder removed when the program ends, and by a guard process if the program dies first.
class PostgresServer {
public:
    // The program's server; nullptr with reason set when it could not be started.
    static PostgresServer* Shared(std::string& reason);

    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    // A new empty database; its name, or empty with error set.
    std::string CreateDatabase(std::string& error);

    // URIs of a database: over the Unix socket (no password needed), over TCP loopback (with
    // the role's password), and with a wrong password.
    std::string SocketUri(const std::string& database) const;
    std::string TcpUri(const std::string& database) const;
    std::string TcpUriWithPassword(const std::string& database, const std::string& password) const;
    static const char* Password() { return "line-7-secret"; }

    // Runs sql as the superuser in database; empty when it succeeded, else the server's words.
    std::string Exec(const std::string& database, const std::string& sql) const;

    // Stops the server (fast shutdown: sessions are cut off) and starts it again on the same
    // folder, port and socket. False with error set when it fails.
    bool Stop(std::string& error);
    bool Start(std::string& error);

private:
    PostgresServer() = default;
    bool Create(std::string& reason);
    int Run(const std::string& what, const char* const* argv, std::string& output) const;

    std::string folder_;
    int port_ = 0;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
    bool dropPrivileges_ = false;
    bool running_ = false;
    pid_t guard_ = -1;
    int guardPipe_ = -1;
    int databases_ = 0;
};

// One session of the superuser, kept open: a transaction holding a lock while the registry under
// test waits on it.
class PostgresSession {
public:
    explicit PostgresSession(const std::string& uri);
    ~PostgresSession();
    PostgresSession(const PostgresSession&) = delete;
    PostgresSession& operator=(const PostgresSession&) = delete;
    // Empty when it succeeded, else the server's words.
    std::string Exec(const std::string& sql);
    // The first column of the first row, or "error: " and the server's words.
    std::string Value(const std::string& sql);

private:
    void* connection_;
};

}  // namespace varnel::test
