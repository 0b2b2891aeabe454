// The tool's process on Windows: the console's control events and the standard handles.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <csignal>

#include "cli/Process.h"
#include "cli/Win32Text.h"

namespace varnel::cli {
namespace {

// Where the control handler, which the system runs on a thread of its own, finds the token of
// the run under way, and notes the first request (a CTRL_..._EVENT; -1 while none came).
std::atomic<CancelToken*> g_cancel{nullptr};
std::atomic<long> g_stopEvent{-1};

BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event == CTRL_LOGOFF_EVENT) {
        // Sent to services whichever user logs off: it says nothing about this run. A run in
        // the session that ends is ended with its console.
        return TRUE;
    }
    long none = -1;
    g_stopEvent.compare_exchange_strong(none, static_cast<long>(event));
    if (CancelToken* cancel = g_cancel.load()) {
        cancel->Cancel();
    }
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        return TRUE;
    }
    // The console is closing or the system shutting down: the process is ended as soon as this
    // returns. The run ends the process itself within moments, with the port closed and the
    // record written; the system stops waiting for it after a few seconds whatever happens.
    ::Sleep(INFINITE);
    return TRUE;
}

// A standard handle written whole. A console gets the text as UTF-16, so that a radio's text
// shows right whatever code page the console is set to; a pipe or a file gets the UTF-8 bytes
// with line feeds as they are, as on Linux, for scripts.
class HandleSink final : public ITextSink {
public:
    explicit HandleSink(DWORD which) : m_handle(::GetStdHandle(which)) {
        DWORD mode = 0;
        m_console = Usable() && ::GetConsoleMode(m_handle, &mode) != 0;
    }

    void Write(std::string_view text) override {
        if (!Usable() || text.empty()) {
            return;
        }
        if (m_console) {
            const std::wstring wide = WideFromUtf8(text);
            std::size_t done = 0;
            while (done < wide.size()) {
                DWORD written = 0;
                const auto rest =
                    static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 8192));
                if (!::WriteConsoleW(m_handle, wide.data() + done, rest, &written, nullptr) ||
                    written == 0) {
                    return;
                }
                done += written;
            }
            return;
        }
        while (!text.empty()) {
            DWORD written = 0;
            const auto rest = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1u << 20));
            if (!::WriteFile(m_handle, text.data(), rest, &written, nullptr) || written == 0) {
                return;  // a closed pipe: nobody reads any more
            }
            text.remove_prefix(written);
        }
    }

private:
    bool Usable() const { return m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE; }

    HANDLE m_handle;
    bool m_console = false;
};

// Gives the console back its own output mode when the tool ends: the console outlives it.
struct ConsoleModeKeeper {
    HANDLE handle = nullptr;
    DWORD mode = 0;
    ~ConsoleModeKeeper() {
        if (handle != nullptr) {
            ::SetConsoleMode(handle, mode);
        }
    }
};

}  // namespace

std::vector<std::string> CommandLineArguments(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(Utf8FromWide(argv[i] != nullptr ? argv[i] : L""));
    }
    return args;
}

std::unique_ptr<ITextSink> StandardOutput() {
    return std::make_unique<HandleSink>(STD_OUTPUT_HANDLE);
}

std::unique_ptr<ITextSink> StandardError() {
    return std::make_unique<HandleSink>(STD_ERROR_HANDLE);
}

bool StandardErrorIsTerminal() {
    const HANDLE handle = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !::GetConsoleMode(handle, &mode)) {
        return false;
    }
    if ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0) {
        return true;
    }
    // The progress line is redrawn with escape sequences; a console that cannot take them (before
    // Windows 10) shows no progress line rather than the sequences.
    if (!::SetConsoleMode(handle,
                          mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) {
        return false;
    }
    static ConsoleModeKeeper keeper;
    keeper.handle = handle;
    keeper.mode = mode;
    return true;
}

StopRequests::StopRequests(CancelToken& token) {
    g_cancel = &token;
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

StopRequests::~StopRequests() {
    // The handler stays: a request that comes from here on is only noted.
    g_cancel = nullptr;
}

int StopRequests::Signal() const {
    const long event = g_stopEvent.load();
    if (event < 0) {
        return 0;
    }
    return event == CTRL_C_EVENT ? SIGINT : SIGTERM;
}

std::string StopRequests::Name() const {
    switch (g_stopEvent.load()) {
        case -1:
            return {};
        case CTRL_C_EVENT:
            return "Ctrl+C";
        case CTRL_BREAK_EVENT:
            return "Ctrl+Break";
        case CTRL_CLOSE_EVENT:
            return "the console window closing";
        default:
            return "the system shutting down";
    }
}

}  // namespace varnel::cli
