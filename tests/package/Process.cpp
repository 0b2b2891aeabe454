#include "tests/package/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace varnel::test {
namespace {

// Beyond this, output is read and dropped: a program gone wild must not exhaust the test's memory.
constexpr std::size_t kMaxCaptured = 16 * 1024 * 1024;

std::vector<std::string> BuildEnvironment(const ProcessOptions& options) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        bool dropped = options.set.count(name) > 0;
        for (const std::string& unset : options.unset) {
            dropped = dropped || name == unset;
        }
        if (!dropped) {
            result.push_back(text);
        }
    }
    for (const auto& [name, value] : options.set) {
        result.push_back(name + "=" + value);
    }
    return result;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (std::string& s : strings) {
        result.push_back(s.data());
    }
    result.push_back(nullptr);
    return result;
}

}  // namespace

std::string ProcessResult::Describe() const {
    std::string text;
    if (!started) {
        text = "could not be run: " + error;
    } else if (timedOut) {
        text = "killed after the time allowed";
    } else if (signal != 0) {
        text = std::string("ended by signal ") + strsignal(signal);
    } else {
        text = "exit status " + std::to_string(exitCode);
    }
    if (!err.empty()) {
        text += "; standard error:\n" + err;
    }
    return text;
}

ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
    ProcessResult result;
    if (argv.empty()) {
        result.error = "no program given";
        return result;
    }
    int outPipe[2] = {-1, -1};
    int errPipe[2] = {-1, -1};
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) {
        result.error = std::string("pipe: ") + std::strerror(errno);
        for (int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1]}) {
            if (fd >= 0) {
                close(fd);
            }
        }
        return result;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);

    std::vector<std::string> args = argv;
    std::vector<std::string> environment = BuildEnvironment(options);
    std::vector<char*> argPointers = Pointers(args);
    std::vector<char*> envPointers = Pointers(environment);
    pid_t child = -1;
    const int spawnError = posix_spawnp(&child, args[0].c_str(), &actions, nullptr,
                                        argPointers.data(), envPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    if (spawnError != 0) {
        result.error = args[0] + ": " + std::strerror(spawnError);
        close(outPipe[0]);
        close(errPipe[0]);
        return result;
    }
    result.started = true;

    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            kill(child, SIGKILL);
            break;
        }
        const int ready = poll(fds, 2, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) {
            result.timedOut = true;
            kill(child, SIGKILL);
            break;
        }
        for (int i = 0; i < 2 && ready > 0; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) {
                continue;
            }
            char buffer[65536];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                if (sinks[i]->size() < kMaxCaptured) {
                    sinks[i]->append(buffer, static_cast<std::size_t>(n));
                }
            } else if (n == 0 || errno != EINTR) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (pollfd& fd : fds) {
        if (fd.fd >= 0) {
            close(fd.fd);
        }
    }

    // A program may close its outputs and still go on running: the deadline holds for it too.
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(child, &status, result.timedOut ? 0 : WNOHANG);
        if (done == child || (done < 0 && errno != EINTR)) {
            break;
        }
        if (done == 0 && std::chrono::steady_clock::now() >= deadline) {
            result.timedOut = true;
            kill(child, SIGKILL);
        } else if (done == 0) {
            usleep(10 * 1000);
        }
    }
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

ProcessOptions WithoutDisplay() {
    ProcessOptions options;
    options.unset = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"};
    return options;
}

}  // namespace varnel::test
