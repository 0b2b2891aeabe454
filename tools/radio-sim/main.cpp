// varnel-radio-sim: a simulated radio on a pseudo-terminal, for trying the tool without hardware
// and for driving it into every fault a real radio or line can show.

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/radio-sim/Fault.h"
#include "tools/radio-sim/RadioProfile.h"
#include "tools/radio-sim/RadioSimulator.h"

using namespace varnel::sim;

namespace {

constexpr const char* kProgram = "varnel-radio-sim";

// The radio used when no profile is given: a blank one, as shipped in profiles/blank.profile.
constexpr const char* kBuiltInProfile =
    "name Blank radio (built in)\n"
    "value 0 \"TRX-450K\"\n"
    "value 1 \"7A4C001932\"\n"
    "value 2 00 00 00 00 00\n"
    "value 3 \"R03.12.07\"\n"
    "value 4 \"CP04.20\"\n"
    "value 10 \"2024-03-18\"\n"
    "value 11 \"TCP-4410A\"\n"
    "value 12 \"TFW-2207B\"\n"
    "value 14 02 11 05\n"
    "value 15 6B 3E 91 04 C2 7D 4A 18 9F 20 5C 0D E3 71 A8 46\n"
    "value 16 FF\n";

void PrintHelp() {
    std::printf(
        "Usage: %s [--profile FILE] [options]\n"
        "\n"
        "Plays a serial line and the radio at its far end on a pseudo-terminal. The first line\n"
        "printed is the device to open (such as /dev/pts/3); point the tool's settings entry\n"
        "\"Ports\"/\"COM1\" at it, or at the --link name. Runs until SIGINT or SIGTERM.\n"
        "\n"
        "Options:\n"
        "  --profile FILE   the radio to play (default: a blank radio built in)\n"
        "  --link PATH      also make PATH a symbolic link to the device; removed at exit\n"
        "  --trace          print every frame both ways, in hex, with a time stamp in ms\n"
        "  --pace           send at 9600 bit/s (about 1.04 ms per byte) like a real line\n"
        "  --save           write ESN and Regional ID writes back into the profile file\n"
        "  --latency MS     wait MS milliseconds (0 to 60000) before every answer\n"
        "  --fault FAULT    inject a fault; may be given more than once (see below)\n"
        "  --check          read the profile, say what it holds, and exit\n"
        "  --help           show this text\n"
        "\n"
        "%.*s"
        "\n"
        "Examples: --fault nak@3   --fault bad-checksum@read=2   --fault silence@5\n"
        "          --fault reject@write=1   --fault delay=1500@end\n"
        "\n"
        "Profile format: one statement per line, '#' starts a comment:\n"
        "  name TEXT              a name shown at start-up\n"
        "  value ID BYTES...      a parameter's value: hex bytes (00 to FF) and \"quoted text\"\n"
        "                         (escapes \\\" \\\\ \\xHH), in any mix, up to 255 bytes\n"
        "  unsupported ID...      ids the radio answers with \"not supported\" (134)\n"
        "  fault FAULT...         faults, as --fault\n"
        "  latency MS             as --latency\n"
        "An id with no value is not supported either. See tools/radio-sim/README.md.\n",
        kProgram, static_cast<int>(FaultSyntaxHelp().size()), FaultSyntaxHelp().data());
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", kProgram, message.c_str(), kProgram);
    return 2;
}

bool MakeLink(const std::string& link, const std::string& target, std::string& error) {
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = link + " exists and is not a symbolic link; not replacing it";
            return false;
        }
        // A link left by a run that was killed points at a device that no longer serves.
        if (unlink(link.c_str()) != 0) {
            error = link + ": cannot remove the old link: " + std::strerror(errno);
            return false;
        }
    }
    if (symlink(target.c_str(), link.c_str()) != 0) {
        error = link + ": cannot make the link: " + std::strerror(errno);
        return false;
    }
    return true;
}

// Removes the link only while it still points at our device: another run may have taken it.
void RemoveLink(const std::string& link, const std::string& target) {
    char buffer[4096];
    const ssize_t length = readlink(link.c_str(), buffer, sizeof buffer - 1);
    if (length > 0 && std::string(buffer, static_cast<std::size_t>(length)) == target) {
        unlink(link.c_str());
    }
}

// Trace lines travel from the serving thread to the main thread, which prints them: a reader
// that stops reading standard output then blocks the printer, never the radio.
class TraceQueue {
public:
    static constexpr std::size_t kMaxLines = 100000;

    void Push(const std::string& line) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_lines.size() >= kMaxLines) {
                ++m_dropped;
                return;
            }
            m_lines.push_back(line);
        }
        m_changed.notify_one();
    }
    void Finish() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_finished = true;
        }
        m_changed.notify_one();
    }
    // Waits for lines or the end; returns false once finished and empty.
    bool Take(std::deque<std::string>& lines, std::size_t& dropped) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [&] { return !m_lines.empty() || m_finished || m_dropped > 0; });
        lines.swap(m_lines);
        dropped = m_dropped;
        m_dropped = 0;
        return !(m_finished && lines.empty() && dropped == 0);
    }
    bool Finished() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_finished;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::string> m_lines;
    std::size_t m_dropped = 0;
    bool m_finished = false;
};

void PrintLines(std::deque<std::string>& lines, std::size_t dropped) {
    for (const std::string& line : lines) {
        std::fputs(line.c_str(), stdout);
        std::fputc('\n', stdout);
    }
    if (dropped > 0) {
        std::printf("(%zu trace lines dropped: standard output is not being read)\n", dropped);
    }
    std::fflush(stdout);
    lines.clear();
}

}  // namespace

int main(int argc, char** argv) {
    std::string profilePath;
    std::string linkPath;
    bool trace = false;
    bool pace = false;
    bool save = false;
    bool check = false;
    int latency = -1;
    std::vector<Fault> faults;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto needValue = [&](std::string& value) {
            if (i + 1 >= argc) {
                return false;
            }
            value = argv[++i];
            return true;
        };
        std::string value;
        if (arg == "--help" || arg == "-h") {
            PrintHelp();
            return 0;
        } else if (arg == "--profile") {
            if (!needValue(profilePath)) {
                return UsageError("--profile needs a file");
            }
        } else if (arg == "--link") {
            if (!needValue(linkPath) || linkPath.empty()) {
                return UsageError("--link needs a path");
            }
        } else if (arg == "--trace") {
            trace = true;
        } else if (arg == "--pace") {
            pace = true;
        } else if (arg == "--save") {
            save = true;
        } else if (arg == "--check") {
            check = true;
        } else if (arg == "--latency") {
            if (!needValue(value)) {
                return UsageError("--latency needs a number of ms");
            }
            char* end = nullptr;
            errno = 0;
            const long ms = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || errno != 0 || ms < 0 || ms > 60000) {
                return UsageError("--latency needs a number of ms from 0 to 60000");
            }
            latency = static_cast<int>(ms);
        } else if (arg == "--fault") {
            if (!needValue(value)) {
                return UsageError("--fault needs a fault such as nak@3");
            }
            Fault fault;
            std::string error;
            if (!ParseFault(value, fault, error)) {
                return UsageError("--fault " + value + ": " + error);
            }
            faults.push_back(fault);
        } else {
            return UsageError("unknown option \"" + arg + "\"");
        }
    }
    if (save && profilePath.empty()) {
        return UsageError("--save needs --profile: there is no file to write to");
    }

    RadioProfile profile;
    std::string error;
    if (profilePath.empty()) {
        ParseProfile(kBuiltInProfile, "built-in profile", profile, error);
    } else if (!LoadProfile(profilePath, profile, error)) {
        std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
        return 1;
    }
    if (check) {
        std::printf("%s: %s\n", profile.path.empty() ? "built-in" : profile.path.c_str(),
                    profile.name.empty() ? "(no name)" : profile.name.c_str());
        for (const auto& [id, bytes] : profile.values) {
            std::printf("  value %3d  %zu bytes  %s\n", id, bytes.size(),
                        HexBytes(bytes.data(), bytes.size()).c_str());
        }
        for (std::uint8_t id : profile.unsupported) {
            std::printf("  unsupported %d\n", id);
        }
        for (const Fault& fault : profile.faults) {
            std::printf("  fault %s\n", FormatFault(fault).c_str());
        }
        std::printf("  latency %d ms\n", profile.latencyMs);
        return 0;
    }

    // Blocked before any thread starts, so that every thread inherits the mask and the one
    // waiter below is the only place these signals arrive.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // A reader that closes the pipe after the first line must not kill us before the link is
    // removed.
    signal(SIGPIPE, SIG_IGN);

    RadioSimulator simulator(profile);
    for (const Fault& fault : faults) {
        simulator.AddFault(fault);
    }
    if (latency >= 0) {
        simulator.SetLatencyMs(latency);
    }
    simulator.SetPacing(pace);
    simulator.SetSaveOnWrite(save);
    TraceQueue queue;
    if (trace) {
        simulator.SetTraceSink([&queue](const std::string& line) { queue.Push(line); });
    }
    if (!simulator.Start(&error)) {
        std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
        return 1;
    }
    const std::string slave = simulator.SlavePath();
    if (!linkPath.empty() && !MakeLink(linkPath, slave, error)) {
        std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
        simulator.Stop();
        return 1;
    }
    std::printf("%s\n", slave.c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s on %s%s%s; stop with Ctrl+C\n", kProgram,
                 profile.name.empty() ? "radio" : profile.name.c_str(), slave.c_str(),
                 linkPath.empty() ? "" : ", link ", linkPath.c_str());
    for (const Fault& fault : profile.faults) {
        std::fprintf(stderr, "%s: profile fault %s\n", kProgram, FormatFault(fault).c_str());
    }
    for (const Fault& fault : faults) {
        std::fprintf(stderr, "%s: fault %s\n", kProgram, FormatFault(fault).c_str());
    }

    int received = 0;
    std::mutex doneMutex;
    std::condition_variable doneChanged;
    bool mainDone = false;
    std::thread waiter([&] {
        sigwait(&stopSignals, &received);
        queue.Finish();
        // The main thread may be stuck writing the trace to a reader that stopped reading.
        // Then it never gets here, and the run must still end and take its link away.
        std::unique_lock<std::mutex> lock(doneMutex);
        if (!doneChanged.wait_for(lock, std::chrono::seconds(2), [&] { return mainDone; })) {
            if (!linkPath.empty()) {
                RemoveLink(linkPath, slave);
            }
            _exit(0);
        }
    });

    std::deque<std::string> lines;
    std::size_t dropped = 0;
    while (queue.Take(lines, dropped)) {
        PrintLines(lines, dropped);
        if (queue.Finished()) {
            break;
        }
    }
    simulator.Stop();
    // The lines the last moments left behind.
    queue.Take(lines, dropped);
    PrintLines(lines, dropped);
    if (!linkPath.empty()) {
        RemoveLink(linkPath, slave);
    }
    {
        std::lock_guard<std::mutex> lock(doneMutex);
        mainDone = true;
    }
    doneChanged.notify_one();
    waiter.join();

    if (save && !simulator.LastSaveError().empty()) {
        std::fprintf(stderr, "%s: %s\n", kProgram, simulator.LastSaveError().c_str());
        return 1;
    }
    std::fprintf(stderr, "%s: stopped by %s\n", kProgram, strsignal(received));
    return 0;
}
