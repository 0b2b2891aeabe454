// The SQLite registry's own file: where it is, how it is made, and a file that cannot be used.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "registry/EsnRegistry.h"
#include "registry/SqliteRegistry.h"
#include "tests/registry/RegistryBackends.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

namespace varnel {
namespace {

const WriteOrigin kStation{"station-a", "alice", "COM1", ""};

constexpr EsnFields Esn(int field3) {
    return {130, 5, field3};
}

TEST(EsnStateWords, EveryStateHasOneWordBothWays) {
    const std::pair<EsnState, const char*> words[] = {
        {EsnState::Sending, "sending"},
        {EsnState::Unconfirmed, "unconfirmed"},
        {EsnState::Confirmed, "confirmed"},
        {EsnState::Released, "released"},
    };
    for (const auto& [state, word] : words) {
        EXPECT_STREQ(EsnStateWord(state), word);
        EXPECT_EQ(EsnStateFromWord(word), state);
    }
    EXPECT_EQ(EsnStateFromWord("Confirmed"), std::nullopt);
    EXPECT_EQ(EsnStateFromWord(""), std::nullopt);
}

TEST(SqliteRegistry, AFileThatIsNotADatabaseIsRefusedAndLeftAlone) {
    const std::string path = test::ScratchFolder() + "/notes.txt";
    const std::string text(5000, 'x');
    std::ofstream(path, std::ios::binary) << text;
    RegistryError error;
    EXPECT_FALSE(OpenEsnRegistry(path, error));
    EXPECT_NE(error.message.find("not an ESN registry"), std::string::npos) << error.message;
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), text);
}

TEST(SqliteRegistry, AFolderThatCannotBeMadeIsAClearError) {
    const std::string blocker = test::ScratchFolder() + "/file";
    std::ofstream(blocker) << "a file where a folder should be";
    RegistryError error;
    EXPECT_FALSE(OpenEsnRegistry(blocker + "/Varnel/esn-registry.sqlite", error));
    EXPECT_NE(error.message.find("folder"), std::string::npos) << error.message;
}

// Another program writing the file for longer than the busy timeout: the reservation fails with
// words saying so, reading goes on, and it works again once the file is free.
TEST(SqliteRegistry, AFileLockedPastItsTimeoutFailsTheReservationAndNothingElse) {
    const std::string path = test::ScratchFolder() + "/esn-registry.sqlite";
    RegistryError error;
    auto registry = OpenSqliteRegistry(path, error, {std::chrono::milliseconds(100)});
    ASSERT_TRUE(registry) << error.message;
    ASSERT_EQ(registry->Reserve(Esn(1), kStation).status, ReserveStatus::Reserved);

    sqlite3* holder = nullptr;
    ASSERT_EQ(::sqlite3_open(path.c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(::sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    const ReserveResult locked = registry->Reserve(Esn(2), kStation);
    EXPECT_EQ(locked.status, ReserveStatus::Failed);
    EXPECT_FALSE(locked.error.refused);
    EXPECT_NE(locked.error.message.find("in use by another program"), std::string::npos)
        << locked.error.message;
    EXPECT_TRUE(registry->Find(FormatEsn(Esn(1)), error)) << error.message;
    ASSERT_EQ(::sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    ::sqlite3_close(holder);

    EXPECT_FALSE(registry->Find(FormatEsn(Esn(2)), error));
    EXPECT_EQ(registry->Reserve(Esn(2), kStation).status, ReserveStatus::Reserved);
}

#if !VARNEL_HAVE_POSTGRES
// The case of builds without the PostgreSQL client (the Windows build among them).
TEST(SqliteRegistry, APostgresLocationInABuildWithoutItSaysSo) {
    RegistryError error;
    EXPECT_FALSE(OpenEsnRegistry("postgresql://line-db/varnel", error));
    EXPECT_NE(error.message.find("cannot use a PostgreSQL registry"), std::string::npos)
        << error.message;
    EXPECT_FALSE(error.refused);
}
#endif

#ifdef _WIN32
TEST(SqliteRegistry, TheDefaultLocationIsInTheLocalApplicationData) {
    const std::string location = DefaultRegistryLocation();
    const std::string tail = "\\Tessaran\\Varnel\\esn-registry.sqlite";
    ASSERT_GT(location.size(), tail.size());
    EXPECT_EQ(location.substr(location.size() - tail.size()), tail);
    EXPECT_EQ(location[1], ':') << location;
}
#else
TEST(SqliteRegistry, TheDefaultLocationFollowsTheDataHome) {
    struct Case {
        const char* dataHome;  // nullptr: unset
        const char* home;
        const char* expected;
    };
    const Case cases[] = {
        {"/srv/data", "/home/u", "/srv/data/Tessaran/Varnel/esn-registry.sqlite"},
        {"/srv/data//", "/home/u", "/srv/data/Tessaran/Varnel/esn-registry.sqlite"},
        {nullptr, "/home/u", "/home/u/.local/share/Tessaran/Varnel/esn-registry.sqlite"},
        {"", "/home/u", "/home/u/.local/share/Tessaran/Varnel/esn-registry.sqlite"},
        {"relative/data", "/home/u", "/home/u/.local/share/Tessaran/Varnel/esn-registry.sqlite"},
    };
    const char* savedData = std::getenv("XDG_DATA_HOME");
    const std::string data = savedData ? savedData : "";
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dataHome ? c.dataHome : "(unset)");
        if (c.dataHome) {
            ::setenv("XDG_DATA_HOME", c.dataHome, 1);
        } else {
            ::unsetenv("XDG_DATA_HOME");
        }
        ::setenv("HOME", c.home, 1);
        EXPECT_EQ(DefaultRegistryLocation(), c.expected);
    }
    savedData ? ::setenv("XDG_DATA_HOME", data.c_str(), 1) : ::unsetenv("XDG_DATA_HOME");
    ::setenv("HOME", home.c_str(), 1);
}

// A second user of the same station (same group) can use the file that the first one made.
TEST(SqliteRegistry, ANewFileAndFolderTakeTheUmaskNotAFixedMode) {
    const std::string folder = test::ScratchFolder() + "/Tessaran/Varnel";
    const mode_t saved = ::umask(0002);
    RegistryError error;
    auto registry = OpenEsnRegistry(folder + "/esn-registry.sqlite", error);
    ::umask(saved);
    ASSERT_TRUE(registry) << error.message;
    struct stat file {};
    ASSERT_EQ(::stat((folder + "/esn-registry.sqlite").c_str(), &file), 0);
    EXPECT_EQ(file.st_mode & 0777, 0664u);
    struct stat dir {};
    ASSERT_EQ(::stat(folder.c_str(), &dir), 0);
    EXPECT_EQ(dir.st_mode & 0777, 0775u);
}

// A file that cannot be written, tried in a child process (as an unprivileged user when the tests
// run as root, since root writes read-only files): every call that says Reserved has committed,
// and the one that could not gives a message, never a crash or a false success.
TEST(SqliteRegistry, AFileThatCannotBeWrittenFailsWithAMessageAndNoFalseSuccess) {
    enum class How { ReadOnly, SizeLimit };
    struct Case {
        const char* what;
        How how;
    };
    const Case cases[] = {
        {"read-only file and folder", How::ReadOnly},
        {"writes past the file-size limit", How::SizeLimit},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string folder = test::ScratchFolder() + "/registry";
        const std::string path = folder + "/esn-registry.sqlite";
        {
            RegistryError error;
            auto registry = OpenEsnRegistry(path, error);
            ASSERT_TRUE(registry) << error.message;
            ASSERT_EQ(registry->Reserve(Esn(1), kStation).status, ReserveStatus::Reserved);
        }
        if (c.how == How::ReadOnly) {
            ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
            ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
        }
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(fds[0]);
            bool ready = true;
            if (c.how == How::ReadOnly && ::geteuid() == 0) {
                ready = ::setgid(65534) == 0 && ::setuid(65534) == 0;
            }
            if (c.how == How::SizeLimit) {
                // Room for the shared-memory index (32 KiB) but not for many commits.
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{32768, 32768};
                ready = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
            }
            std::string out = ready ? "" : "setup failed\n";
            RegistryError error;
            auto registry = ready ? OpenEsnRegistry(path, error) : nullptr;
            if (ready && !registry) {
                out += "open failed: " + error.message + "\n";
            }
            for (int i = 2; registry && i < 40; ++i) {
                const ReserveResult result = registry->Reserve(Esn(i), kStation);
                if (result.status != ReserveStatus::Reserved) {
                    out += "failed " + FormatEsn(Esn(i)) + ": " + result.error.message + "\n";
                    break;
                }
                out += "reserved " + FormatEsn(Esn(i)) + "\n";
            }
            registry.reset();
            const bool written =
                ::write(fds[1], out.data(), out.size()) == static_cast<ssize_t>(out.size());
            ::_exit(written ? 0 : 3);
        }
        ::close(fds[1]);
        std::string text;
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(fds[0]);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << "\n" << text;
        ::chmod(folder.c_str(), 0755);
        ::chmod(path.c_str(), 0644);

        // The last line is the failure, with words for the user; the lines before it are the
        // reservations that the registry really holds.
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(text.find("setup failed"), std::string::npos);
        const std::size_t lastLine = text.rfind('\n', text.size() - 2) + 1;
        const std::string failure = text.substr(lastLine);
        EXPECT_TRUE(failure.rfind("open failed: The ESN registry", 0) == 0 ||
                    failure.rfind("failed 130/05/", 0) == 0)
            << text;
        EXPECT_NE(failure.find("writ"), std::string::npos) << text;
        if (c.how == How::ReadOnly) {
            EXPECT_EQ(text.find("reserved"), std::string::npos) << text;
        }
        RegistryError error;
        auto registry = OpenEsnRegistry(path, error);
        ASSERT_TRUE(registry) << error.message;
        for (int i = 2; i < 40; ++i) {
            const std::string esn = FormatEsn(Esn(i));
            const bool claimed = text.find("reserved " + esn + "\n") != std::string::npos;
            EXPECT_EQ(registry->Find(esn, error).has_value(), claimed) << esn << "\n" << text;
        }
    }
}
#endif

}  // namespace
}  // namespace varnel
