// The ESN registry's own time, printed as medians and 99th percentiles:
//
//   varnel-registry-bench cycle LOCATION [STATIONS [RADIOS [EXCHANGE_MS]]]
//       each of STATIONS processes (default 1) programs RADIOS radios (default 200 / STATIONS)
//       from one pool: the time of ReserveNext plus Settle(Confirmed) per radio. EXCHANGE_MS
//       (default 0: back to back, the worst case) stands for the write exchange between the two
//       and for the next radio being attached after it; it is not counted;
//   varnel-registry-bench check LOCATION ENTRIES
//       fills an SQLite registry with ENTRIES confirmed ESNs (written directly, in one
//       transaction), then times checking one ESN: Find, and a Reserve the registry refuses as
//       held (what a station asks before it sends), and the first and later ReserveNext of a pool
//       over the filled range.
//
// LOCATION is anything OpenEsnRegistry takes; check fills only SQLite files.
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "registry/EsnRegistry.h"

namespace {

using Clock = std::chrono::steady_clock;
using varnel::EsnFields;
using varnel::IEsnRegistry;
using varnel::RegistryError;
using varnel::ReserveStatus;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void Report(const char* what, std::vector<double> ms) {
    if (ms.empty()) {
        std::printf("%s: samples=0\n", what);
        return;
    }
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double q) {
        const auto index = static_cast<std::size_t>(q * static_cast<double>(ms.size() - 1) + 0.5);
        return ms[std::min(index, ms.size() - 1)];
    };
    std::printf("%s: median_ms=%.3f p99_ms=%.3f max_ms=%.3f samples=%zu\n", what, at(0.5), at(0.99),
                ms.back(), ms.size());
}

std::unique_ptr<IEsnRegistry> OpenOrDie(const std::string& location) {
    RegistryError error;
    auto registry = varnel::OpenEsnRegistry(location, error);
    if (!registry) {
        std::fprintf(stderr, "varnel-registry-bench: %s\n", error.message.c_str());
        std::exit(1);
    }
    return registry;
}

// One station's radios; the time of each, in ms, or a negative figure for a failure.
std::vector<double> Station(const std::string& location, const std::string& pool, int station,
                            int radios, int exchangeMs) {
    auto registry = OpenOrDie(location);
    const varnel::WriteOrigin origin{"bench-" + std::to_string(station), "bench", "COM1", ""};
    std::vector<double> times;
    std::mt19937 random(static_cast<unsigned>(station));
    // Each station's exchanges last a little more or less, as real radios do.
    std::uniform_int_distribution<int> exchange(exchangeMs / 2, exchangeMs + exchangeMs / 2);
    for (int i = 0; i < radios; ++i) {
        auto start = Clock::now();
        const auto next = registry->ReserveNext(pool, origin);
        Clock::duration own = Clock::now() - start;
        bool ok = next.status == ReserveStatus::Reserved;
        if (ok) {
            std::this_thread::sleep_for(std::chrono::milliseconds(exchange(random)));
            start = Clock::now();
            ok = !registry->Settle(next.entry.esn, varnel::Settlement::Confirmed);
            own += Clock::now() - start;
            std::this_thread::sleep_for(std::chrono::milliseconds(exchange(random)));
        } else {
            std::fprintf(stderr, "station %d: %s\n", station, next.error.message.c_str());
        }
        times.push_back(ok ? Ms(own) : -1.0);
    }
    return times;
}

int Cycle(const std::string& location, int stations, int radios, int exchangeMs) {
    const std::string pool = "bench-" + std::to_string(::getpid());
    {
        auto registry = OpenOrDie(location);
        // A pool of its own for this run, in a field 1 and 2 that the check leaves alone.
        const int field2 = static_cast<int>(::getpid() % 16);
        if (auto error =
                registry->AddPool(pool, EsnFields{77, field2, 1}, EsnFields{77, field2, 262143})) {
            std::fprintf(stderr, "varnel-registry-bench: %s\n", error->message.c_str());
            return 1;
        }
    }
    std::vector<std::pair<pid_t, int>> children;
    for (int s = 0; s < stations; ++s) {
        int fds[2];
        if (::pipe(fds) != 0) {
            return 1;
        }
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            const auto times = Station(location, pool, s, radios, exchangeMs);
            const auto size = static_cast<ssize_t>(times.size() * sizeof(double));
            ::_exit(::write(fds[1], times.data(), static_cast<std::size_t>(size)) == size ? 0 : 1);
        }
        ::close(fds[1]);
        children.emplace_back(pid, fds[0]);
    }
    std::vector<double> all;
    int failures = 0;
    for (const auto& [pid, fd] : children) {
        double value;
        while (::read(fd, &value, sizeof value) == static_cast<ssize_t>(sizeof value)) {
            if (value < 0) {
                ++failures;
            } else {
                all.push_back(value);
            }
        }
        ::close(fd);
        int status = 0;
        ::waitpid(pid, &status, 0);
        failures += WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
    }
    char what[96];
    std::snprintf(what, sizeof what, "cycle stations=%d exchange_ms=%d", stations, exchangeMs);
    Report(what, all);
    if (failures) {
        std::printf("%d failures\n", failures);
    }
    return failures ? 1 : 0;
}

// Filled ESNs per field 2: the top of each range stays free, for a pool over a full range.
constexpr long long kPerField2 = 262000;

bool Fill(const std::string& path, long long entries) {
    sqlite3* db = nullptr;
    bool ok = ::sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
    const std::string sql =
        "BEGIN; WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " +
        std::to_string(entries - 1) +
        ") INSERT INTO esn_entries (esn, field1, field2, field3, state, station, user_name, "
        "port, reserved_at, settled_at) SELECT printf('%03d/%02d/%06d', f1, f2, f3), f1, f2, f3, "
        "'confirmed', 'filled', 'bench', 'COM1', '2026-01-01T00:00:00.000Z', "
        "'2026-01-01T00:00:01.000Z' FROM (SELECT 200 + i / (" +
        std::to_string(kPerField2) + " * 16) AS f1, (i / " + std::to_string(kPerField2) +
        ") % 16 AS f2, i % " + std::to_string(kPerField2) + " + 1 AS f3 FROM n); COMMIT;";
    char* message = nullptr;
    if (ok && ::sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        std::fprintf(stderr, "varnel-registry-bench: filling failed: %s\n",
                     message ? message : "?");
        ok = false;
    }
    ::sqlite3_free(message);
    ::sqlite3_close(db);
    return ok;
}

EsnFields Filled(long long i) {
    return {static_cast<std::int32_t>(200 + i / (kPerField2 * 16)),
            static_cast<std::int32_t>((i / kPerField2) % 16),
            static_cast<std::int32_t>(i % kPerField2 + 1)};
}

int Check(const std::string& location, long long entries) {
    OpenOrDie(location);  // the tables
    auto start = Clock::now();
    if (!Fill(location, entries)) {
        return 1;
    }
    std::printf("fill entries=%lld seconds=%.1f\n", entries, Ms(Clock::now() - start) / 1000.0);
    auto registry = OpenOrDie(location);
    std::mt19937_64 random(42);
    std::uniform_int_distribution<long long> pick(0, entries - 1);
    std::vector<double> find, held;
    for (int i = 0; i < 2000; ++i) {
        const EsnFields esn = Filled(pick(random));
        RegistryError error;
        start = Clock::now();
        const bool found = registry->Find(varnel::FormatEsn(esn), error).has_value();
        find.push_back(Ms(Clock::now() - start));
        start = Clock::now();
        const bool refused =
            registry->Reserve(esn, {"bench", "bench", "COM1", ""}).status == ReserveStatus::Held;
        held.push_back(Ms(Clock::now() - start));
        if (!found || !refused) {
            std::fprintf(stderr, "varnel-registry-bench: %s not held\n",
                         varnel::FormatEsn(esn).c_str());
            return 1;
        }
    }
    const std::string n = std::to_string(entries);
    Report(("find entries=" + n).c_str(), find);
    Report(("held entries=" + n).c_str(), held);

    // A pool over the first field 2 of the filled range: all but its last ESNs are held.
    const long long filledInPool = std::min(entries, kPerField2);
    if (registry->AddPool("bench-filled", Filled(0), EsnFields{200, 0, 262143})) {
        return 1;
    }
    std::vector<double> first, later;
    for (int i = 0; i < 50; ++i) {
        start = Clock::now();
        const auto next = registry->ReserveNext("bench-filled", {"bench", "bench", "COM1", ""});
        (i == 0 ? first : later).push_back(Ms(Clock::now() - start));
        if (next.status != ReserveStatus::Reserved) {
            std::fprintf(stderr, "varnel-registry-bench: %s\n", next.error.message.c_str());
            return 1;
        }
    }
    Report(("first-next held_in_pool=" + std::to_string(filledInPool)).c_str(), first);
    Report(("next entries=" + n).c_str(), later);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[0] == "cycle") {
        const int stations = args.size() > 2 ? std::max(1, std::atoi(args[2].c_str())) : 1;
        const int radios =
            args.size() > 3 ? std::max(1, std::atoi(args[3].c_str())) : std::max(1, 200 / stations);
        const int exchangeMs = args.size() > 4 ? std::max(0, std::atoi(args[4].c_str())) : 0;
        return Cycle(args[1], stations, radios, exchangeMs);
    }
    if (args.size() == 3 && args[0] == "check") {
        return Check(args[1], std::max(1LL, std::atoll(args[2].c_str())));
    }
    std::fprintf(stderr,
                 "usage: varnel-registry-bench cycle LOCATION [STATIONS [RADIOS [EXCHANGE_MS]]]\n"
                 "       varnel-registry-bench check SQLITE-FILE ENTRIES\n");
    return 2;
}
