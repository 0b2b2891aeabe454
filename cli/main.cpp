// varnel-cli: the radio's commands from a terminal, for scripts and production lines.
#include <chrono>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/Process.h"
#include "cli/Settings.h"
#include "link/CancelToken.h"
#include "link/Clock.h"
#include "link/RadioLink.h"
#include "procedures/SerialPortOpener.h"
#include "procedures/WriteOrigin.h"
#include "registry/EsnRegistry.h"

namespace {

int Run(const std::vector<std::string>& args) {
    using namespace varnel;
    const auto start = std::chrono::steady_clock::now();

    CancelToken cancel;
    const cli::StopRequests stop(cancel);

    const std::unique_ptr<cli::ITextSink> out = cli::StandardOutput();
    const std::unique_ptr<cli::ITextSink> err = cli::StandardError();
    const std::unique_ptr<cli::ISettings> settings = cli::OpenApplicationSettings();
    CRadioLink link;

    cli::CliContext context(*out, *err, *settings, link, SystemClock());
    context.errIsTerminal = cli::StandardErrorIsTerminal();
    context.opener = SerialPortOpener(
        [&settings](const std::string& name) { return settings->PortDevice(name); });
    context.cancel = &cancel;
    context.openRegistry = OpenEsnRegistry;
    context.origin = LocalWriteOrigin();
    context.stopSignal = [&stop] { return stop.Signal(); };
    context.stopName = [&stop] { return stop.Name(); };
    context.elapsedMs = [start] {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count();
    };
    context.unixMs = [] {
        return static_cast<std::int64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                             std::chrono::system_clock::now().time_since_epoch())
                                             .count());
    };
    return cli::RunCli(args, context);
}

}  // namespace

#ifdef _WIN32
// wmain takes the arguments in UTF-16 from the C runtime. CommandLineToArgvW would do the same
// from shell32, which loads user32, and a console program with user32 loaded is never sent the
// logoff and shutdown events: it would be ended with its port open.
int wmain(int argc, wchar_t** argv) {
    return Run(varnel::cli::CommandLineArguments(argc, argv));
}
#else
int main(int argc, char** argv) {
    return Run(varnel::cli::CommandLineArguments(argc, argv));
}
#endif
