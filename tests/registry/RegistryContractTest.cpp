// The contract every registry backend keeps, run against each one in RegistryBackends().
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "registry/EsnRegistry.h"
#include "tests/registry/RegistryBackends.h"

#ifdef _WIN32
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace varnel {
namespace {

using test::RegistryBackend;

const WriteOrigin kStationA{"station-a", "alice", "COM1", ""};
const WriteOrigin kStationB{"station-b", "bob", "/dev/ttyUSB0", ""};

std::optional<EsnEntry> FindOn(IEsnRegistry& registry, const std::string& esn) {
    RegistryError error;
    auto entry = registry.Find(esn, error);
    EXPECT_EQ(error.message, "");
    return entry;
}

constexpr EsnFields Esn(int field3) {
    return {130, 5, field3};
}
std::string EsnText(int field3) {
    return FormatEsn(Esn(field3));
}

class RegistryContract : public ::testing::TestWithParam<RegistryBackend> {
protected:
    void SetUp() override { m_location = GetParam().freshLocation(); }

    // Another handle on the same registry, as a second station has.
    std::unique_ptr<IEsnRegistry> Open() {
        RegistryError error;
        auto registry = OpenEsnRegistry(m_location, error);
        EXPECT_TRUE(registry) << error.message;
        return registry;
    }

    IEsnRegistry& Registry() {
        if (!m_registry) {
            m_registry = Open();
        }
        return *m_registry;
    }

    void Reserve(int field3, const WriteOrigin& origin = kStationA) {
        const ReserveResult result = Registry().Reserve(Esn(field3), origin);
        ASSERT_EQ(result.status, ReserveStatus::Reserved) << result.error.message;
    }

    // Brings a reserved ESN into state the way a station would.
    void BringTo(int field3, EsnState state) {
        switch (state) {
            case EsnState::Sending:
                break;
            case EsnState::Unconfirmed:
                ASSERT_FALSE(Registry().Settle(EsnText(field3), Settlement::Unconfirmed));
                break;
            case EsnState::Confirmed:
                ASSERT_FALSE(Registry().Settle(EsnText(field3), Settlement::Confirmed));
                break;
            case EsnState::Released:
                ASSERT_FALSE(Registry().Settle(EsnText(field3), Settlement::Unconfirmed));
                ASSERT_FALSE(Registry().Release(EsnText(field3), "read back blank"));
                break;
        }
    }

    std::optional<EsnEntry> Find(int field3) {
        RegistryError error;
        auto entry = Registry().Find(EsnText(field3), error);
        EXPECT_EQ(error.message, "");
        return entry;
    }

    void AddPool(const std::string& name, int first3, int last3) {
        const auto error = Registry().AddPool(name, Esn(first3), Esn(last3));
        ASSERT_FALSE(error) << error->message;
    }

    std::string m_location;
    std::unique_ptr<IEsnRegistry> m_registry;
};

std::string BackendName(const ::testing::TestParamInfo<RegistryBackend>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Backends, RegistryContract, ::testing::ValuesIn(test::RegistryBackends()),
                         BackendName);

constexpr EsnState kEveryState[] = {EsnState::Sending, EsnState::Unconfirmed, EsnState::Confirmed,
                                    EsnState::Released};

// A second station asking for an ESN in any state: every state but Released holds it, and says
// since when and by whom.
TEST_P(RegistryContract, AnEsnInEveryStateIsHeldFromAnotherStationExceptReleased) {
    int field3 = 100;
    for (const EsnState state : kEveryState) {
        SCOPED_TRACE(EsnStateWord(state));
        ++field3;
        Reserve(field3);
        BringTo(field3, state);
        const ReserveResult again = Open()->Reserve(Esn(field3), kStationB);
        if (state == EsnState::Released) {
            ASSERT_EQ(again.status, ReserveStatus::Reserved) << again.error.message;
            EXPECT_EQ(again.entry.origin.station, "station-b");
            EXPECT_EQ(again.entry.state, EsnState::Sending);
            EXPECT_EQ(Find(field3)->origin.station, "station-b");
            continue;
        }
        ASSERT_EQ(again.status, ReserveStatus::Held) << again.error.message;
        EXPECT_EQ(again.entry.esn, EsnText(field3));
        EXPECT_EQ(again.entry.state, state);
        EXPECT_EQ(again.entry.origin.station, "station-a");
        EXPECT_EQ(again.entry.origin.user, "alice");
        EXPECT_EQ(again.entry.origin.port, "COM1");
        EXPECT_EQ(again.entry.reservedAt.size(), std::string("2026-12-10T10:12:51.123Z").size())
            << again.entry.reservedAt;
        EXPECT_EQ(again.entry.reservedAt.back(), 'Z');
        EXPECT_EQ(again.entry.settledAt.empty(), state == EsnState::Sending);
    }
}

TEST_P(RegistryContract, ASendingEsnSettlesEachWayOnceOnly) {
    struct Case {
        Settlement settlement;
        std::optional<EsnState> after;  // nullopt: free again, as if never reserved
    };
    const Case cases[] = {
        {Settlement::Confirmed, EsnState::Confirmed},
        {Settlement::Unconfirmed, EsnState::Unconfirmed},
        {Settlement::Freed, std::nullopt},
    };
    int field3 = 200;
    for (const Case& c : cases) {
        ++field3;
        SCOPED_TRACE(field3);
        Reserve(field3);
        ASSERT_FALSE(Registry().Settle(EsnText(field3), c.settlement));
        const auto entry = FindOn(*Open(), EsnText(field3));
        ASSERT_EQ(entry.has_value(), c.after.has_value());
        if (entry) {
            EXPECT_EQ(entry->state, *c.after);
            const auto second = Registry().Settle(EsnText(field3), c.settlement);
            ASSERT_TRUE(second);
            EXPECT_TRUE(second->refused);
            EXPECT_NE(second->message.find(EsnText(field3)), std::string::npos);
            EXPECT_EQ(Find(field3)->state, *c.after);
        } else {
            EXPECT_EQ(Registry().Reserve(Esn(field3), kStationB).status, ReserveStatus::Reserved);
        }
    }
    const auto unknown = Registry().Settle(EsnText(299), Settlement::Confirmed);
    ASSERT_TRUE(unknown);
    EXPECT_TRUE(unknown->refused);
    const auto garbage = Registry().Settle("130/05", Settlement::Confirmed);
    ASSERT_TRUE(garbage);
    EXPECT_TRUE(garbage->refused);
}

TEST_P(RegistryContract, NextGivesTheLowestFreeEsnOfThePoolUntilItIsExhausted) {
    AddPool("line-1", 1, 5);
    Reserve(2);  // typed by hand: the pool steps over it
    std::vector<std::string> taken;
    for (int i = 0; i < 4; ++i) {
        const ReserveResult next = Registry().ReserveNext("line-1", kStationA);
        ASSERT_EQ(next.status, ReserveStatus::Reserved) << next.error.message;
        EXPECT_EQ(next.entry.pool, "line-1");
        EXPECT_EQ(next.entry.state, EsnState::Sending);
        EXPECT_EQ(Find(std::stoi(next.entry.esn.substr(7)))->pool, "line-1");
        taken.push_back(next.entry.esn);
    }
    EXPECT_EQ(taken, (std::vector<std::string>{EsnText(1), EsnText(3), EsnText(4), EsnText(5)}));

    const ReserveResult exhausted = Open()->ReserveNext("line-1", kStationB);
    EXPECT_EQ(exhausted.status, ReserveStatus::Exhausted);
    EXPECT_NE(exhausted.error.message.find("line-1"), std::string::npos);

    // What becomes free is the next one handed out again, lowest first.
    ASSERT_FALSE(Registry().Settle(EsnText(4), Settlement::Freed));
    EXPECT_EQ(Registry().ReserveNext("line-1", kStationB).entry.esn, EsnText(4));
    BringTo(3, EsnState::Released);
    EXPECT_EQ(Registry().ReserveNext("line-1", kStationB).entry.esn, EsnText(3));
    ASSERT_FALSE(Registry().Settle(EsnText(5), Settlement::Freed));
    BringTo(1, EsnState::Released);
    EXPECT_EQ(Registry().ReserveNext("line-1", kStationB).entry.esn, EsnText(1));
    EXPECT_EQ(Registry().ReserveNext("line-1", kStationB).entry.esn, EsnText(5));
    EXPECT_EQ(Registry().ReserveNext("line-1", kStationB).status, ReserveStatus::Exhausted);

    const ReserveResult none = Registry().ReserveNext("no-such-pool", kStationA);
    EXPECT_EQ(none.status, ReserveStatus::Exhausted);
    EXPECT_NE(none.error.message.find("no-such-pool"), std::string::npos);
}

TEST_P(RegistryContract, PoolsAreRefusedUnlessTheyAreOneRangeOfField3UnderANewName) {
    AddPool("line-1", 10, 19);
    struct Case {
        const char* why;
        std::string name;
        EsnFields first, last;
    };
    const Case refused[] = {
        {"name in use", "line-1", Esn(30), Esn(39)},
        {"empty name", " ", Esn(30), Esn(39)},
        {"field 1 differs", "a", {130, 5, 30}, {131, 5, 39}},
        {"field 2 differs", "b", {130, 5, 30}, {130, 6, 39}},
        {"last below first", "c", Esn(39), Esn(30)},
        {"field 3 zero", "d", Esn(0), Esn(39)},
        {"field 2 out of range", "e", {130, 16, 1}, {130, 16, 9}},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.why);
        const auto error = Registry().AddPool(c.name, c.first, c.last);
        ASSERT_TRUE(error);
        EXPECT_TRUE(error->refused);
        EXPECT_FALSE(error->message.empty());
    }
    AddPool("single", 40, 40);
    Reserve(12);
    Reserve(13);
    BringTo(13, EsnState::Released);

    RegistryError error;
    const auto pools = Open()->Pools(error);
    EXPECT_EQ(error.message, "");
    ASSERT_EQ(pools.size(), 2u);
    EXPECT_EQ(pools[0].name, "line-1");
    EXPECT_EQ(FormatEsn(pools[0].first), EsnText(10));
    EXPECT_EQ(FormatEsn(pools[0].last), EsnText(19));
    EXPECT_EQ(pools[0].freeCount, 9);  // 10 ESNs, one held; a released one is free
    EXPECT_EQ(pools[1].name, "single");
    EXPECT_EQ(pools[1].freeCount, 1);
}

TEST_P(RegistryContract, ReleaseFreesSendingOrUnconfirmedWithItsReasonNeverConfirmed) {
    struct Case {
        std::optional<EsnState> state;  // nullopt: not in the registry
        bool released;
    };
    const Case cases[] = {
        {EsnState::Sending, true},   {EsnState::Unconfirmed, true}, {EsnState::Confirmed, false},
        {EsnState::Released, false}, {std::nullopt, false},
    };
    int field3 = 300;
    for (const Case& c : cases) {
        ++field3;
        SCOPED_TRACE(c.state ? EsnStateWord(*c.state) : "absent");
        if (c.state) {
            Reserve(field3);
            BringTo(field3, *c.state);
        }
        const auto error = Registry().Release(EsnText(field3), "radio read back blank");
        if (!c.released) {
            ASSERT_TRUE(error);
            EXPECT_TRUE(error->refused);
            EXPECT_NE(error->message.find(EsnText(field3)), std::string::npos) << error->message;
            if (c.state) {
                EXPECT_EQ(Find(field3)->state, *c.state);
            } else {
                EXPECT_FALSE(Find(field3));
            }
            continue;
        }
        ASSERT_FALSE(error) << error->message;
        const auto entry = FindOn(*Open(), EsnText(field3));
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->state, EsnState::Released);
        EXPECT_EQ(entry->reason, "radio read back blank");
        EXPECT_EQ(entry->origin.station, "station-a");
        EXPECT_EQ(Open()->Reserve(Esn(field3), kStationB).status, ReserveStatus::Reserved);
    }
    Reserve(399);
    const auto noReason = Registry().Release(EsnText(399), "  ");
    ASSERT_TRUE(noReason);
    EXPECT_TRUE(noReason->refused);
    EXPECT_EQ(Find(399)->state, EsnState::Sending);
}

TEST_P(RegistryContract, ConfirmMarksASendingOrUnconfirmedEsnConfirmed) {
    struct Case {
        std::optional<EsnState> state;
        bool confirmed;
    };
    const Case cases[] = {
        {EsnState::Sending, true},   {EsnState::Unconfirmed, true}, {EsnState::Confirmed, true},
        {EsnState::Released, false}, {std::nullopt, false},
    };
    int field3 = 400;
    for (const Case& c : cases) {
        ++field3;
        SCOPED_TRACE(c.state ? EsnStateWord(*c.state) : "absent");
        if (c.state) {
            Reserve(field3);
            BringTo(field3, *c.state);
        }
        const auto error = Registry().Confirm(EsnText(field3));
        EXPECT_EQ(!error, c.confirmed);
        if (error) {
            EXPECT_TRUE(error->refused);
        }
        const auto entry = Find(field3);
        ASSERT_EQ(entry.has_value(), c.state.has_value());
        if (entry) {
            EXPECT_EQ(entry->state, c.confirmed ? EsnState::Confirmed : *c.state);
        }
    }
}

TEST_P(RegistryContract, ImportKeepsAnOldEntryAsItStandsAndNeverOverAHeldOne) {
    EsnEntry old;
    old.esn = "130/5/501";  // as an old record file may spell it
    old.state = EsnState::Confirmed;
    old.pool = "";
    old.origin = {"bench-3", "carol", "COM2", "SN-77"};
    old.reservedAt = "2025-01-02T03:04:05.678Z";
    old.settledAt = "2025-01-02T03:04:06.000Z";
    const ReserveResult imported = Registry().Import(old);
    ASSERT_EQ(imported.status, ReserveStatus::Reserved) << imported.error.message;
    const auto entry = FindOn(*Open(), EsnText(501));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->esn, EsnText(501));
    EXPECT_EQ(entry->state, EsnState::Confirmed);
    EXPECT_EQ(entry->origin.station, "bench-3");
    EXPECT_EQ(entry->origin.radioSerial, "SN-77");
    EXPECT_EQ(entry->reservedAt, old.reservedAt);
    EXPECT_EQ(entry->settledAt, old.settledAt);

    old.state = EsnState::Unconfirmed;
    const ReserveResult again = Registry().Import(old);
    EXPECT_EQ(again.status, ReserveStatus::Held);
    EXPECT_EQ(again.entry.state, EsnState::Confirmed);

    Reserve(502);
    old.esn = EsnText(502);
    EXPECT_EQ(Registry().Import(old).status, ReserveStatus::Held);
    EXPECT_EQ(Find(502)->state, EsnState::Sending);

    old.esn = EsnText(503);
    old.state = EsnState::Released;
    const ReserveResult released = Registry().Import(old);
    EXPECT_EQ(released.status, ReserveStatus::Failed);
    EXPECT_TRUE(released.error.refused);
    EXPECT_FALSE(Find(503));

    old.esn = "130/05/999999";
    old.state = EsnState::Confirmed;
    const ReserveResult garbage = Registry().Import(old);
    EXPECT_EQ(garbage.status, ReserveStatus::Failed);
    EXPECT_TRUE(garbage.error.refused);
}

TEST_P(RegistryContract, ListFiltersByPoolStateAndStationNewestFirst) {
    AddPool("line-1", 600, 699);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(Registry().ReserveNext("line-1", i == 1 ? kStationB : kStationA).status,
                  ReserveStatus::Reserved);
    }
    ASSERT_FALSE(Registry().Settle(EsnText(600), Settlement::Confirmed));
    ASSERT_FALSE(Registry().Settle(EsnText(601), Settlement::Unconfirmed));
    Reserve(700, kStationB);
    ASSERT_FALSE(Registry().SetRadioSerial(EsnText(700), "SN-12"));

    const auto esns = [&](const ListFilter& filter) {
        RegistryError error;
        std::vector<std::string> texts;
        for (const EsnEntry& entry : Open()->List(filter, error)) {
            texts.push_back(entry.esn);
        }
        EXPECT_EQ(error.message, "");
        return texts;
    };
    struct Case {
        const char* what;
        ListFilter filter;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"all", {}, {EsnText(700), EsnText(602), EsnText(601), EsnText(600)}},
        {"pool", {"line-1", {}, {}, 0}, {EsnText(602), EsnText(601), EsnText(600)}},
        {"state", {{}, EsnState::Sending, {}, 0}, {EsnText(700), EsnText(602)}},
        {"pool and state", {"line-1", EsnState::Confirmed, {}, 0}, {EsnText(600)}},
        {"station", {{}, {}, "station-b", 0}, {EsnText(700), EsnText(601)}},
        {"newest two", {{}, {}, {}, 2}, {EsnText(700), EsnText(602)}},
        {"nothing", {"line-2", {}, {}, 0}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(esns(c.filter), c.expected);
    }
    EXPECT_EQ(Find(700)->origin.radioSerial, "SN-12");
    const auto unknown = Registry().SetRadioSerial(EsnText(701), "SN-13");
    ASSERT_TRUE(unknown);
    EXPECT_TRUE(unknown->refused);
}

TEST_P(RegistryContract, ASchemaNewerThanThisProgramOrWithoutAVersionIsRefused) {
    struct Case {
        const char* sql;
        const char* says;
    };
    const Case cases[] = {
        {"UPDATE varnel_schema SET version = 99", "newer Varnel (schema 99"},
        {"DELETE FROM varnel_schema", "schema version is missing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        m_location = GetParam().freshLocation();
        m_registry.reset();
        Reserve(800);
        m_registry.reset();
        std::string error;
        ASSERT_TRUE(GetParam().execute(m_location, c.sql, error)) << error;
        RegistryError opened;
        EXPECT_FALSE(OpenEsnRegistry(m_location, opened));
        EXPECT_NE(opened.message.find(c.says), std::string::npos) << opened.message;
        EXPECT_FALSE(opened.refused);
    }
}

// One racing station: each ESN it took from pool, one a line, or "failed: why".
std::string TakeFromPool(const std::string& location, const std::string& pool, int station,
                         int count) {
    RegistryError error;
    auto registry = OpenEsnRegistry(location, error);
    if (!registry) {
        return "failed: " + error.message + "\n";
    }
    std::string out;
    for (int i = 0; i < count; ++i) {
        const ReserveResult next =
            registry->ReserveNext(pool, {"station-" + std::to_string(station), "u", "COM1", ""});
        out += next.status == ReserveStatus::Reserved ? next.entry.esn
                                                      : "failed: " + next.error.message;
        out += '\n';
    }
    return out;
}

#ifdef _WIN32
// On Windows each racing station is this test program again, running only the case below with
// its orders in the environment, and writing what it took to a file.
constexpr const char* kRaceOrders = "VARNEL_REGISTRY_RACE";

TEST(RegistryRaceStation, DISABLED_TakeFromPool) {
    const char* orders = std::getenv(kRaceOrders);
    ASSERT_TRUE(orders);
    // location, pool, station, count, output file: one a line.
    std::vector<std::string> parts;
    std::string text = orders;
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        parts.push_back(text.substr(start, end - start));
    }
    ASSERT_EQ(parts.size(), 5u);
    const std::string out =
        TakeFromPool(parts[0], parts[1], std::stoi(parts[2]), std::stoi(parts[3]));
    std::ofstream(parts[4], std::ios::binary) << out;
}

std::string RaceForPool(const std::string& location, const std::string& pool, int processes,
                        int each) {
    wchar_t self[MAX_PATH];
    if (!::GetModuleFileNameW(nullptr, self, MAX_PATH)) {
        return "failed: no path of this program\n";
    }
    const std::string folder = test::ScratchFolder();
    std::vector<PROCESS_INFORMATION> children;
    std::string result;
    for (int p = 0; p < processes; ++p) {
        const std::string orders = location + "\n" + pool + "\n" + std::to_string(p) + "\n" +
                                   std::to_string(each) + "\n" + folder + "\\station-" +
                                   std::to_string(p) + ".txt\n";
        ::SetEnvironmentVariableA(kRaceOrders, orders.c_str());
        std::wstring command = L"\"" + std::wstring(self) +
                               L"\" --gtest_also_run_disabled_tests "
                               L"--gtest_filter=RegistryRaceStation.DISABLED_TakeFromPool";
        // The stations' own test output would run into this one's.
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE quiet = ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit,
                                     OPEN_EXISTING, 0, nullptr);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = quiet;
        startup.hStdOutput = quiet;
        startup.hStdError = quiet;
        PROCESS_INFORMATION child{};
        const BOOL started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0,
                                              nullptr, nullptr, &startup, &child);
        ::CloseHandle(quiet);
        if (!started) {
            result += "failed: station " + std::to_string(p) + " did not start\n";
            continue;
        }
        children.push_back(child);
    }
    ::SetEnvironmentVariableA(kRaceOrders, nullptr);
    for (std::size_t p = 0; p < children.size(); ++p) {
        ::WaitForSingleObject(children[p].hProcess, 120000);
        DWORD status = 1;
        ::GetExitCodeProcess(children[p].hProcess, &status);
        ::CloseHandle(children[p].hProcess);
        ::CloseHandle(children[p].hThread);
        if (status != 0) {
            result += "failed: station " + std::to_string(p) + " ended with " +
                      std::to_string(status) + "\n";
        }
        std::ifstream in(folder + "\\station-" + std::to_string(p) + ".txt", std::ios::binary);
        result.append(std::istreambuf_iterator<char>(in), {});
    }
    return result;
}
#else
std::string RaceForPool(const std::string& location, const std::string& pool, int processes,
                        int each) {
    std::vector<std::pair<pid_t, int> > children;  // pid, the read end of its pipe
    std::string result;
    for (int p = 0; p < processes; ++p) {
        int fds[2];
        if (::pipe(fds) != 0) {
            return result + "failed: no pipe\n";
        }
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            const std::string out = TakeFromPool(location, pool, p, each);
            const bool written =
                ::write(fds[1], out.data(), out.size()) == static_cast<ssize_t>(out.size());
            ::_exit(written ? 0 : 3);
        }
        ::close(fds[1]);
        if (pid < 0) {
            ::close(fds[0]);
            result += "failed: no fork\n";
            continue;
        }
        children.emplace_back(pid, fds[0]);
    }
    for (const auto& [pid, fd] : children) {
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
            result.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(fd);
        int status = 0;
        if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            result += "failed: a station ended with status " + std::to_string(status) + "\n";
        }
    }
    return result;
}
#endif

// Stations racing for one pool: 8 processes, each taking 25 ESNs, never the same one twice.
TEST_P(RegistryContract, RacingProcessesNeverGetTheSameEsn) {
    constexpr int kProcesses = 8;
    constexpr int kEach = 25;
    AddPool("line-1", 1, kProcesses * kEach + 10);
    m_registry.reset();

    const std::string text = RaceForPool(m_location, "line-1", kProcesses, kEach);
    std::multiset<std::string> all;
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        const std::string line = text.substr(start, end - start);
        EXPECT_EQ(line.rfind("failed", 0), std::string::npos) << line;
        all.insert(line);
    }
    EXPECT_EQ(all.size(), std::size_t{kProcesses * kEach});
    EXPECT_EQ(std::set<std::string>(all.begin(), all.end()).size(), all.size());
    // The lowest ones, with no gap: each taken ESN is the lowest that was free.
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(*all.rbegin(), EsnText(kProcesses * kEach));

    RegistryError error;
    const auto sending = Registry().List({"line-1", EsnState::Sending, {}, 0}, error);
    EXPECT_EQ(sending.size(), all.size()) << error.message;
}

}  // namespace
}  // namespace varnel
