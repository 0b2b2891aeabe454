// A long run for what only shows over many exchanges: descriptors or memory that one exchange
// leaves behind, driven through the procedures that ship. First many rounds of the five
// procedures (Radio Info, the ESN test and write, the Regional ID test and write) in virtual time
// on sessions that open the scripted line, cycling through the fuzzer's seed radios (healthy,
// refusing, broken, silent); then Radio Info in real time against the simulated radio, on a
// session whose opener opens the real serial port on its pseudo-terminal each time.
// Prints open descriptors and resident memory at the start, between and at the end.
//
//   varnel_soak [VIRTUAL_RUNS [REAL_RUNS]]     (1000 and 50 unless told)
//
// Exit status 0 when every real-time run read the whole radio and no descriptor was left open.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "fuzz/SeedCorpus.h"
#include "link/RadioLink.h"
#include "procedures/EsnProgramming.h"
#include "procedures/RadioInfo.h"
#include "procedures/RegionProgramming.h"
#include "procedures/SerialPortOpener.h"
#include "procedures/Session.h"
#include "strings/Messages.h"
#include "tests/support/MemoryRegistry.h"
#include "tests/support/ProcessStats.h"
#include "tests/support/ScriptedSession.h"
#include "tools/radio-sim/RadioProfile.h"
#include "tools/radio-sim/RadioSimulator.h"

namespace varnel {
namespace {

using Clock = std::chrono::steady_clock;

using test::OpenDescriptors;

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return -1;
}

void Report(const char* when) {
    std::printf("soak: %-28s open descriptors %3d, resident memory %6ld KiB\n", when,
                OpenDescriptors(), ResidentKiB());
    std::fflush(stdout);
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The messages would otherwise go to standard error, thousands of them.
class CountingReporter final : public IMessageReporter {
public:
    void Show(const Message&) override { ++count; }
    long count = 0;
};

// How many procedures came to each outcome.
struct OutcomeCounts {
    long done = 0;
    long refused = 0;
    long linkFailed = 0;
    long other = 0;

    void Add(Outcome outcome) {
        switch (outcome) {
            case Outcome::Done:
                ++done;
                break;
            case Outcome::Refused:
                ++refused;
                break;
            case Outcome::LinkFailed:
                ++linkFailed;
                break;
            default:
                ++other;
                break;
        }
    }
};

// Each run is one round of the five procedures on the seed's radio, as a user would make them one
// after the other. The seeds' cancels are left out: the fuzzer's checks take care of those.
void VirtualRuns(int runs, bool print = true) {
    const std::vector<fuzz::Seed> seeds = fuzz::SeedCorpus();
    CountingReporter reporter;
    OutcomeCounts outcomes;
    std::int64_t virtualMs = 0;
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < runs; ++i) {
        const fuzz::RadioStream& stream = seeds[i % seeds.size()].stream;
        test::ScriptedRadio radio;
        radio.line.SetEcho(stream.echo);
        radio.line.SetReadTimeout(stream.shortReads ? 1 : test::ScriptedPort::kReadTimeoutMs);
        for (const auto& answer : stream.answers) {
            radio.line.Answer(answer);
        }
        test::MemoryRegistry registry;
        Session session(radio.link, reporter, radio.clock, radio.Opener(), "COM1");
        session.registry = &registry;
        outcomes.Add(ReadRadioInfo(session).outcome);
        outcomes.Add(CheckEsnBlank(session).outcome);
        outcomes.Add(ProgramEsn(session, EsnFields{130, 5, 123456}).outcome);
        outcomes.Add(CheckNoRegionalId(session).outcome);
        outcomes.Add(ProgramRegionalId(session, 1).outcome);
        virtualMs += radio.clock.NowMs();
    }
    if (!print) {
        return;
    }
    std::printf(
        "soak: %d rounds of the five procedures in virtual time over %zu seed radios: %.1f s of "
        "radio time in %.1f ms; %ld done, %ld refused, %ld link failed, %ld other; %ld messages\n",
        runs, seeds.size(), virtualMs / 1000.0, 1000 * SecondsSince(start), outcomes.done,
        outcomes.refused, outcomes.linkFailed, outcomes.other, reporter.count);
}

long residentAfterFirst = -1;

bool RealRuns(int runs) {
    sim::RadioProfile profile;
    std::string error;
    if (!sim::LoadProfile(VARNEL_RADIOSIM_PROFILE_DIR "/programmed.profile", profile, error)) {
        std::fprintf(stderr, "soak: %s\n", error.c_str());
        return false;
    }
    CountingReporter reporter;
    int failed = 0;
    double longest = 0;
    const Clock::time_point start = Clock::now();
    {
        sim::RadioSimulator radio(profile);
        if (!radio.Start(&error)) {
            std::fprintf(stderr, "soak: %s\n", error.c_str());
            return false;
        }
        const std::string device = radio.SlavePath();
        CRadioLink link;
        Session session(link, reporter, SystemClock(),
                        SerialPortOpener([device](const std::string&) { return device; }), "COM1");
        for (int i = 0; i < runs; ++i) {
            const Clock::time_point one = Clock::now();
            const RadioInfoResult result = ReadRadioInfo(session);
            bool whole = result.outcome == Outcome::Done && link.m_pPort == nullptr;
            for (const auto& field : result.fields) {
                whole = whole && field.has_value() && !field->empty();
            }
            failed += whole ? 0 : 1;
            longest = std::max(longest, SecondsSince(one));
            // The simulator logs every request; that log is the simulator's memory, not ours.
            radio.ClearRequests();
            if (i == 0) {
                // The simulator's thread and the line are set up by now: from here on, growth is
                // what the exchanges leave behind.
                Report("after the first real-time run");
                residentAfterFirst = ResidentKiB();
            }
        }
        radio.Stop();
    }
    std::printf(
        "soak: %d Radio Info runs in real time against the simulated radio in %.1f s (longest %.2f "
        "s),"
        " %d incomplete, %ld messages\n",
        runs, SecondsSince(start), longest, failed, reporter.count);
    return failed == 0 && reporter.count == 0;
}

int Count(const char* text, int fallback) {
    if (text == nullptr) {
        return fallback;
    }
    const long n = std::strtol(text, nullptr, 10);
    return n >= 0 && n <= 10'000'000 ? static_cast<int>(n) : fallback;
}

}  // namespace
}  // namespace varnel

int main(int argc, char** argv) {
    using namespace varnel;
    const int virtualRuns = Count(argc > 1 ? argv[1] : nullptr, 1000);
    const int realRuns = Count(argc > 2 ? argv[2] : nullptr, 50);
    // Warm up what is made once per process (the string table, the clock, the allocator's pools)
    // so that the first figure is not the cost of starting.
    VirtualRuns(1, false);
    const int descriptorsAtStart = OpenDescriptors();
    const long residentAtStart = ResidentKiB();
    Report("at the start");
    VirtualRuns(virtualRuns);
    Report("after the virtual-time runs");
    const bool realOk = RealRuns(realRuns);
    Report("at the end");
    const int descriptorsLeft = OpenDescriptors() - descriptorsAtStart;
    std::printf(
        "soak: descriptors left open %d, resident memory grew by %ld KiB in all and by %ld KiB "
        "after the first real-time run\n",
        descriptorsLeft, ResidentKiB() - residentAtStart,
        residentAfterFirst < 0 ? 0 : ResidentKiB() - residentAfterFirst);
    return realOk && descriptorsLeft == 0 ? 0 : 1;
}
