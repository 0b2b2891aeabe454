#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/Console.h"
#include "link/CancelToken.h"

namespace varnel::cli {

// What the tool takes from the process it runs in: its command line, its standard streams and
// the requests to stop. Each platform has these in a file of its own (ProcessPosix.cpp,
// ProcessWin32.cpp); only main() uses them, and it hands what they give to the run.

// The command line without the program name, each argument as UTF-8. On Windows the arguments
// come from wmain, in UTF-16 as the user typed them: argv in the ANSI code page cannot hold every
// file name.
#ifdef _WIN32
std::vector<std::string> CommandLineArguments(int argc, wchar_t** argv);
#else
std::vector<std::string> CommandLineArguments(int argc, char** argv);
#endif

// Standard output and standard error, each text written whole. What is written is UTF-8.
std::unique_ptr<ITextSink> StandardOutput();
std::unique_ptr<ITextSink> StandardError();

// Whether standard error is a terminal that can redraw the progress line in place.
bool StandardErrorIsTerminal();

// Turns the requests to stop into a cancel of token while it is alive: SIGINT, SIGTERM, SIGHUP
// and SIGQUIT on POSIX; on Windows Ctrl+C (as SIGINT), and Ctrl+Break, the console closing, logoff
// and shutdown (as SIGTERM), so that the exit status is the same 130 or 143 everywhere. One at a
// time.
class StopRequests {
public:
    explicit StopRequests(CancelToken& token);
    ~StopRequests();
    StopRequests(const StopRequests&) = delete;
    StopRequests& operator=(const StopRequests&) = delete;

    // The signal the first request stands for (SIGINT or SIGTERM), 0 while none came.
    int Signal() const;
    // How the user or the system asked, for "Stopped by ...": "SIGTERM", "Ctrl+C", ...
    std::string Name() const;
};

}  // namespace varnel::cli
