// varnel-cli: the radio's commands from a terminal, for scripts and production lines.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/Settings.h"
#include "link/CancelToken.h"
#include "link/RadioLink.h"
#include "procedures/SerialPortOpener.h"

namespace {

using namespace varnel;

// Where the signal handler finds the token of the run under way, and notes which signal came.
CancelToken* g_cancel = nullptr;
volatile sig_atomic_t g_stopSignal = 0;

extern "C" void OnStopSignal(int signal) {
    if (g_stopSignal == 0) {
        g_stopSignal = signal;
    }
    if (g_cancel != nullptr) {
        g_cancel->Cancel();  // async-signal-safe
    }
}

void InstallStopHandlers() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait for the record file's lock must end when the user asks to stop.
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// A descriptor written whole, whatever signals come in between.
class FdSink final : public cli::ITextSink {
public:
    explicit FdSink(int fd) : m_fd(fd) {}
    void Write(std::string_view text) override {
        while (!text.empty()) {
            const ssize_t n = ::write(m_fd, text.data(), text.size());
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return;  // a closed pipe: nobody reads any more
            }
            text.remove_prefix(static_cast<std::size_t>(n));
        }
    }

private:
    int m_fd;
};

}  // namespace

int main(int argc, char** argv) {
    const auto start = std::chrono::steady_clock::now();
    // A reader of our output that goes away must not kill the run halfway through an exchange.
    signal(SIGPIPE, SIG_IGN);

    CancelToken cancel;
    g_cancel = &cancel;
    InstallStopHandlers();

    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    FdSink out(STDOUT_FILENO);
    FdSink err(STDERR_FILENO);
    const std::unique_ptr<cli::ISettings> settings = cli::OpenApplicationSettings();
    CRadioLink link;

    cli::CliContext context(out, err, *settings, link);
    context.errIsTerminal = ::isatty(STDERR_FILENO) == 1;
    context.opener = SerialPortOpener(
        [&settings](const std::string& name) { return settings->PortDevice(name); });
    context.cancel = &cancel;
    context.stopSignal = [] { return static_cast<int>(g_stopSignal); };
    context.elapsedMs = [start] {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count();
    };
    context.unixMs = [] {
        return static_cast<std::int64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                             std::chrono::system_clock::now().time_since_epoch())
                                             .count());
    };
    const int status = cli::RunCli(args, context);
    g_cancel = nullptr;
    return status;
}
