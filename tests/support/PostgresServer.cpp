#include "tests/support/PostgresServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

namespace varnel::test {

namespace {

constexpr const char* kBin = "/usr/lib/postgresql/15/bin/";
constexpr const char* kRole = "varnel";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A loopback port nobody listens on now; the server may still lose it to another program, which
// Create then retries with another.
int FreePort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (probe >= 0 && ::bind(probe, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    if (probe >= 0) {
        ::close(probe);
    }
    return port;
}

std::string SessionError(PGconn* connection, PGresult* result) {
    std::string message = result ? PQresultErrorMessage(result) : "";
    if (message.empty()) {
        message = PQerrorMessage(connection);
    }
    return message.empty() ? "failed" : message;
}

std::string RunSql(const std::string& uri, const std::string& sql) {
    PGconn* connection = PQconnectdb(uri.c_str());
    std::string error;
    if (PQstatus(connection) != CONNECTION_OK) {
        error = PQerrorMessage(connection);
    } else {
        PGresult* result = PQexec(connection, sql.c_str());
        const ExecStatusType status = PQresultStatus(result);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            error = SessionError(connection, result);
        }
        PQclear(result);
    }
    PQfinish(connection);
    return error;
}

std::unique_ptr<PostgresServer>& Instance() {
    static std::unique_ptr<PostgresServer> server;
    return server;
}

}  // namespace

PostgresServer* PostgresServer::Shared(std::string& reason) {
    static bool tried = false;
    static std::string failure;
    if (!tried) {
        tried = true;
        std::unique_ptr<PostgresServer> server(new PostgresServer);
        if (server->Create(failure)) {
            Instance() = std::move(server);
        }
    }
    reason = failure;
    return Instance().get();
}

int PostgresServer::Run(const std::string& what, const char* const* argv,
                        std::string& output) const {
    const std::string log = folder_ + "/" + what + ".out";
    const pid_t child = ::fork();
    if (child == 0) {
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out >= 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
        }
        const int none = ::open("/dev/null", O_RDONLY);
        if (none >= 0) {
            ::dup2(none, 0);
        }
        if (dropPrivileges_ && (::fchown(1, uid_, gid_) != 0 || ::setgroups(0, nullptr) != 0 ||
                                ::setgid(gid_) != 0 || ::setuid(uid_) != 0)) {
            ::dprintf(2, "could not become the unprivileged user: %s\n", std::strerror(errno));
            ::_exit(126);
        }
        if (::chdir(folder_.c_str()) != 0) {
            ::_exit(126);
        }
        ::execv(argv[0], const_cast<char* const*>(argv));
        ::dprintf(2, "could not run %s: %s\n", argv[0], std::strerror(errno));
        ::_exit(127);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) {
        output = "could not start " + std::string(argv[0]);
        return -1;
    }
    output = ReadFile(log);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool PostgresServer::Create(std::string& reason) {
    // Under /tmp whatever TMPDIR says: a Unix socket's path must stay short.
    char folder[] = "/tmp/varnel-pg-XXXXXX";
    if (!::mkdtemp(folder)) {
        reason = std::string("could not make a folder for the server: ") + std::strerror(errno);
        return false;
    }
    folder_ = folder;
    if (::geteuid() == 0) {
        // initdb and the server refuse to run as root.
        const passwd* nobody = ::getpwnam("nobody");
        if (!nobody) {
            reason = "the tests run as root and there is no user \"nobody\" to run the server as";
            return false;
        }
        uid_ = nobody->pw_uid;
        gid_ = nobody->pw_gid;
        dropPrivileges_ = true;
        if (::chown(folder, uid_, gid_) != 0) {
            reason = "could not give " + folder_ + " to nobody: " + std::strerror(errno);
            return false;
        }
    }

    // The guard: when this program ends in any way, its end of the pipe closes and the guard
    // stops the server (immediate shutdown by signal, which root may send) and removes the folder.
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        reason = std::string("could not make the guard's pipe: ") + std::strerror(errno);
        return false;
    }
    const std::string script =
        "cat >/dev/null; pid=$(head -n 1 \"$0/data/postmaster.pid\" 2>/dev/null) && "
        "kill -QUIT \"$pid\" 2>/dev/null && for i in $(seq 100); do "
        "kill -0 \"$pid\" 2>/dev/null || break; sleep 0.1; done; rm -rf \"$0\"";
    guard_ = ::fork();
    if (guard_ == 0) {
        ::dup2(pipeEnds[0], 0);
        ::setpgid(0, 0);
        ::execl("/bin/sh", "sh", "-c", script.c_str(), folder_.c_str(), nullptr);
        ::_exit(127);
    }
    ::close(pipeEnds[0]);
    guardPipe_ = pipeEnds[1];

    const std::string password = folder_ + "/password";
    {
        std::ofstream(password) << Password() << "\n";
        if (dropPrivileges_ && ::chown(password.c_str(), uid_, gid_) != 0) {
            reason = "could not give the password file to nobody";
            return false;
        }
    }
    const std::string data = folder_ + "/data";
    const std::string initdb = std::string(kBin) + "initdb";
    const std::string pwfile = "--pwfile=" + password;
    const char* initArgs[] = {initdb.c_str(),
                              "-D",
                              data.c_str(),
                              "-U",
                              kRole,
                              "--auth-local=trust",
                              "--auth-host=scram-sha-256",
                              pwfile.c_str(),
                              "-E",
                              "UTF8",
                              "--locale=C",
                              "--no-sync",
                              "--no-instructions",
                              nullptr};
    std::string output;
    if (Run("initdb", initArgs, output) != 0) {
        reason = "initdb failed: " + output;
        return false;
    }
    std::string startError;
    for (int attempt = 0; attempt < 5; ++attempt) {
        port_ = FreePort();
        std::ofstream conf(data + "/postgresql.auto.conf", std::ios::trunc);
        // Durability is not what these tests measure; a test server without fsync starts and
        // copies databases in a fraction of the time.
        conf << "port = " << port_ << "\n"
             << "listen_addresses = '127.0.0.1'\n"
             << "unix_socket_directories = '" << folder_ << "'\n"
             << "fsync = off\nsynchronous_commit = off\nfull_page_writes = off\n"
             << "max_connections = 40\nshared_buffers = 16MB\n";
        conf.close();
        if (Start(startError)) {
            return true;
        }
        if (startError.find("could not bind") == std::string::npos &&
            startError.find("in use") == std::string::npos) {
            break;
        }
    }
    reason = "the PostgreSQL server did not start: " + startError;
    return false;
}

bool PostgresServer::Start(std::string& error) {
    const std::string pgctl = std::string(kBin) + "pg_ctl";
    const std::string data = folder_ + "/data";
    const std::string log = folder_ + "/server.log";
    const char* args[] = {pgctl.c_str(), "-D", data.c_str(), "-l",    log.c_str(),
                          "-w",          "-t", "60",         "start", nullptr};
    std::string output;
    if (Run("start", args, output) != 0) {
        error = output + ReadFile(log);
        return false;
    }
    running_ = true;
    return true;
}

bool PostgresServer::Stop(std::string& error) {
    const std::string pgctl = std::string(kBin) + "pg_ctl";
    const std::string data = folder_ + "/data";
    const char* args[] = {pgctl.c_str(), "-D", data.c_str(), "-m", "fast", "-w", "stop", nullptr};
    std::string output;
    if (Run("stop", args, output) != 0) {
        error = output;
        return false;
    }
    running_ = false;
    return true;
}

PostgresServer::~PostgresServer() {
    std::string ignored;
    if (running_) {
        Stop(ignored);
    }
    if (guardPipe_ >= 0) {
        ::close(guardPipe_);
    }
    if (guard_ > 0) {
        ::waitpid(guard_, nullptr, 0);
    }
}

std::string PostgresServer::CreateDatabase(std::string& error) {
    const std::string name = "test_" + std::to_string(++databases_);
    error = Exec("postgres", "CREATE DATABASE " + name + " TEMPLATE template0");
    return error.empty() ? name : std::string();
}

std::string PostgresServer::SocketUri(const std::string& database) const {
    return std::string("postgresql://") + kRole + "@/" + database + "?host=" + folder_ +
           "&port=" + std::to_string(port_);
}

std::string PostgresServer::TcpUri(const std::string& database) const {
    return TcpUriWithPassword(database, Password());
}

std::string PostgresServer::TcpUriWithPassword(const std::string& database,
                                               const std::string& password) const {
    return std::string("postgresql://") + kRole + ":" + password +
           "@127.0.0.1:" + std::to_string(port_) + "/" + database;
}

std::string PostgresServer::Exec(const std::string& database, const std::string& sql) const {
    return RunSql(SocketUri(database), sql);
}

PostgresSession::PostgresSession(const std::string& uri) : connection_(PQconnectdb(uri.c_str())) {}

PostgresSession::~PostgresSession() {
    PQfinish(static_cast<PGconn*>(connection_));
}

std::string PostgresSession::Exec(const std::string& sql) {
    auto* connection = static_cast<PGconn*>(connection_);
    if (PQstatus(connection) != CONNECTION_OK) {
        return PQerrorMessage(connection);
    }
    PGresult* result = PQexec(connection, sql.c_str());
    const ExecStatusType status = PQresultStatus(result);
    std::string error;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        error = SessionError(connection, result);
    }
    PQclear(result);
    return error;
}

std::string PostgresSession::Value(const std::string& sql) {
    auto* connection = static_cast<PGconn*>(connection_);
    if (PQstatus(connection) != CONNECTION_OK) {
        return std::string("error: ") + PQerrorMessage(connection);
    }
    PGresult* result = PQexec(connection, sql.c_str());
    std::string value;
    if (PQresultStatus(result) != PGRES_TUPLES_OK) {
        value = "error: " + SessionError(connection, result);
    } else if (PQntuples(result) > 0 && PQnfields(result) > 0) {
        value = PQgetvalue(result, 0, 0);
    }
    PQclear(result);
    return value;
}

}  // namespace varnel::test
