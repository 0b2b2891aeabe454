#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace varnel::test {

// What became of one run of another program.
struct ProcessResult {
    bool started = false;   // false: it could not be run at all (see error)
    bool timedOut = false;  // it was killed after the time allowed
    int exitCode = -1;      // the exit status when it exited on its own
    int signal = 0;         // the signal that ended it, if one did
    std::string out;        // standard output
    std::string err;        // standard error
    std::string error;      // why it could not be run

    bool ExitedWith(int code) const {
        return started && !timedOut && signal == 0 && exitCode == code;
    }
    // A line for a failure message: how it ended and what it said on standard error.
    std::string Describe() const;
};

struct ProcessOptions {
    // Variables taken out of this process's environment, then ones added or replaced.
    std::vector<std::string> unset;
    std::map<std::string, std::string> set;
    std::chrono::milliseconds timeout{std::chrono::seconds(120)};
};

// Runs argv[0] (looked up in PATH when it has no slash) with standard input from /dev/null and
// both outputs captured. A program that outlives the timeout is killed, so a hang fails the test
// that started it instead of stalling the suite.
ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});

// The environment of a desktop session taken away: what a build machine or a text console has.
ProcessOptions WithoutDisplay();

}  // namespace varnel::test
