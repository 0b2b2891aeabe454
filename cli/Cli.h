#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/Console.h"
#include "cli/Settings.h"
#include "link/CancelToken.h"
#include "link/Clock.h"
#include "link/PortNames.h"
#include "link/RadioLink.h"
#include "procedures/PortList.h"
#include "procedures/Session.h"
#include "registry/EsnRegistry.h"

namespace varnel::cli {

// Exit statuses: what a script tells apart.
inline constexpr int kExitDone = 0;
inline constexpr int kExitRefused = 1;  // the radio refused, or this cannot be done on it
inline constexpr int kExitLinkFailed = 2;
inline constexpr int kExitPortNotOpened = 3;
inline constexpr int kExitRegistryFailed = 4;  // the ESN registry could not be used; nothing sent
inline constexpr int kExitUsage = 64;
// A stop by signal n exits with 128 + n: 130 for SIGINT, 143 for SIGTERM.
inline constexpr int kExitSignalBase = 128;

// Everything a run of the tool talks to, handed in by main() or by a test.
struct CliContext {
    CliContext(ITextSink& output, ITextSink& errors, ISettings& appSettings, CRadioLink& radioLink,
               IClock& exchangeClock)
        : out(output), err(errors), settings(appSettings), link(radioLink), clock(exchangeClock) {}

    ITextSink& out;
    ITextSink& err;
    bool errIsTerminal = false;
    ISettings& settings;
    CRadioLink& link;
    // The clock the exchanges' timing runs on.
    IClock& clock;
    // Opens the port an exchange asks for; the real one resolves through the settings.
    PortOpener opener;
    PortProbe probe = ProbePort;
    // Cancelled when the tool is asked to stop; the exchange under way then ends within moments.
    const CancelToken* cancel = nullptr;
    // Opens the ESN registry at a location (OpenEsnRegistry in the tool); without one no ESN is
    // written and the registry commands cannot run.
    std::function<std::unique_ptr<IEsnRegistry>(const std::string& location, RegistryError&)>
        openRegistry;
    // Who writes from here, kept with every ESN; the port is filled in by the run.
    WriteOrigin origin;
    // The signal that asked the tool to stop (SIGINT, SIGTERM, SIGHUP, SIGQUIT), or 0.
    std::function<int()> stopSignal = [] { return 0; };
    // How the stop was asked for, for "Stopped by ..." ("Ctrl+C" on Windows); when empty or
    // unset, the signal's name.
    std::function<std::string()> stopName;
    // Milliseconds since the tool started, for --trace.
    std::function<double()> elapsedMs = [] { return 0.0; };
    // The time now, in milliseconds since 1970 (UTC), for --record.
    std::function<std::int64_t()> unixMs = [] { return std::int64_t{0}; };
};

// Runs one command line (without the program name) and returns the exit status.
int RunCli(const std::vector<std::string>& args, CliContext& context);

// The text of --help.
std::string HelpText();

}  // namespace varnel::cli
