// The tool's process on POSIX: signals and file descriptors.
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "cli/Process.h"

namespace varnel::cli {
namespace {

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

// A descriptor written whole, whatever signals come in between.
class FdSink final : public ITextSink {
public:
    explicit FdSink(int fd) : m_fd(fd) {
        // A reader of our output that goes away must not kill the run halfway through an
        // exchange.
        signal(SIGPIPE, SIG_IGN);
    }
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

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

std::unique_ptr<ITextSink> StandardOutput() {
    return std::make_unique<FdSink>(STDOUT_FILENO);
}

std::unique_ptr<ITextSink> StandardError() {
    return std::make_unique<FdSink>(STDERR_FILENO);
}

bool StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

StopRequests::StopRequests(CancelToken& token) {
    g_cancel = &token;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait for the record file's lock must end when the user asks to stop.
    action.sa_flags = 0;
    // A closed terminal or a dropped SSH session (SIGHUP) and Ctrl+\ (SIGQUIT) stop a run the
    // same way: the port closed at once, the ESN under way settled, never a core dump mid-write.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        sigaction(signal, &action, nullptr);
    }
}

StopRequests::~StopRequests() {
    // The handlers stay: a signal that comes from here on is only noted.
    g_cancel = nullptr;
}

int StopRequests::Signal() const {
    return static_cast<int>(g_stopSignal);
}

std::string StopRequests::Name() const {
    switch (g_stopSignal) {
        case 0:
            return {};
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
        case SIGQUIT:
            return "SIGQUIT";
        default:
            return "signal " + std::to_string(g_stopSignal);
    }
}

}  // namespace varnel::cli
