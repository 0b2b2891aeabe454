#include "link/DeviceProbe.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <system_error>
#include <vector>

#include "link/SysFiles.h"

namespace varnel {
namespace fs = std::filesystem;
namespace {

// Where the device path must not be looked up at all: a name that maps to nothing, or one
// that would be found relative to whatever the current folder happens to be.
bool IsUsablePath(const std::string& devicePath) {
    return !devicePath.empty() && devicePath.front() == '/';
}

std::string ProgramName(const SystemPaths& paths, long pid) {
    auto comm = ReadSmallFile(paths.proc + "/" + std::to_string(pid) + "/comm", 256);
    return comm ? PrintableText(*comm, 64) : std::string();
}

bool ProcessExists(const SystemPaths& paths, long pid) {
    return pid > 0 && ::access((paths.proc + "/" + std::to_string(pid)).c_str(), F_OK) == 0;
}

struct LockEntry {
    long pid = 0;
};

// The locks on one file from /proc/locks. A line reads, for instance,
//   "3: FLOCK  ADVISORY  WRITE 4711 00:05:1093 0 EOF"
// with the file's filesystem device in hex and its inode in decimal; a line with "->" is a
// process waiting for a lock, not holding one. Leases and delegations are no claim on a line.
std::vector<LockEntry> LocksOn(const struct stat& st, const SystemPaths& paths) {
    std::vector<LockEntry> found;
    auto text = ReadSmallFile(paths.proc + "/locks", 4u << 20);
    if (!text) {
        return found;
    }
    std::istringstream lines(*text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word && w.size() < 12;) {
            w.push_back(word);
        }
        if (w.size() < 6 || w[1] == "->") {
            continue;
        }
        if (w[1] != "FLOCK" && w[1] != "POSIX" && w[1] != "OFDLCK") {
            continue;
        }
        for (std::size_t k = 2; k < w.size(); ++k) {
            const std::string& id = w[k];
            const std::size_t c1 = id.find(':');
            const std::size_t c2 = c1 == std::string::npos ? c1 : id.find(':', c1 + 1);
            if (c2 == std::string::npos) {
                continue;
            }
            char* end = nullptr;
            errno = 0;
            const unsigned long maj = std::strtoul(id.c_str(), &end, 16);
            if (end != id.c_str() + c1)
                break;
            const unsigned long min = std::strtoul(id.c_str() + c1 + 1, &end, 16);
            if (end != id.c_str() + c2)
                break;
            const unsigned long long ino = std::strtoull(id.c_str() + c2 + 1, &end, 10);
            if (*end != '\0' || errno != 0)
                break;
            if (maj == major(st.st_dev) && min == minor(st.st_dev) && ino == st.st_ino) {
                found.push_back({std::strtol(w[k - 1].c_str(), nullptr, 10)});
            }
            break;
        }
    }
    return found;
}

// A process that has the character device rdev open, found by its open files. Other
// processes come before this one; processes of other users are invisible without privilege.
std::optional<PortHolder> ScanOpenFiles(dev_t rdev, const SystemPaths& paths) {
    std::optional<PortHolder> self;
    const long selfPid = static_cast<long>(::getpid());
    DIR* procDir = ::opendir(paths.proc.c_str());
    if (procDir == nullptr) {
        return std::nullopt;
    }
    std::optional<PortHolder> other;
    while (!other) {
        const dirent* p = ::readdir(procDir);
        if (p == nullptr) {
            break;
        }
        char* end = nullptr;
        const long pid = std::strtol(p->d_name, &end, 10);
        if (pid <= 0 || *end != '\0') {
            continue;
        }
        const std::string fdDir = paths.proc + "/" + p->d_name + "/fd";
        DIR* fds = ::opendir(fdDir.c_str());
        if (fds == nullptr) {
            continue;  // gone meanwhile, or not ours to look at
        }
        while (const dirent* f = ::readdir(fds)) {
            if (f->d_name[0] == '.') {
                continue;
            }
            struct stat st {};
            if (::stat((fdDir + "/" + f->d_name).c_str(), &st) == 0 && S_ISCHR(st.st_mode) &&
                st.st_rdev == rdev) {
                PortHolder holder{pid, ProgramName(paths, pid)};
                if (pid == selfPid) {
                    self = holder;
                } else {
                    other = holder;
                }
                break;
            }
        }
        ::closedir(fds);
    }
    ::closedir(procDir);
    return other ? other : self;
}

}  // namespace

PortPresence PresenceFromOpenError(int err) {
    switch (err) {
        case 0:
            return PortPresence::Present;
        case ENOENT:   // nothing at the path
        case ENOTDIR:  // a part of the path is no folder
        case ENODEV:   // a node whose driver or adapter is gone
        case ENXIO:    // a node with no device behind its number
        case EIO:      // a built-in serial port without a UART
            return PortPresence::Missing;
        default:
            return PortPresence::Unavailable;
    }
}

DeviceBacking DeviceBackingOf(const std::string& devicePath, const SystemPaths& paths) {
    struct stat st {};
    if (!IsUsablePath(devicePath) || ::stat(devicePath.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) {
        return DeviceBacking::NoDevice;
    }
    const fs::path entry =
        fs::path(paths.sys) / "dev" / "char" /
        (std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev)));
    std::error_code ec;
    const fs::path classDir = fs::canonical(entry, ec);
    if (ec) {
        return DeviceBacking::Unlisted;
    }
    const fs::path subsystem = fs::canonical(classDir / "subsystem", ec);
    const std::string kind =
        ec ? classDir.parent_path().filename().string() : subsystem.filename().string();
    if (kind != "tty") {
        return DeviceBacking::NotTerminal;
    }
    if (!fs::is_directory(classDir / "device", ec)) {
        return DeviceBacking::Virtual;
    }
    if (SerialCoreUartType(classDir.string()) == 0) {
        return DeviceBacking::NoUart;
    }
    return DeviceBacking::Hardware;
}

PortPresence ProbeDevice(const std::string& devicePath, const SystemPaths& paths) {
    if (!IsUsablePath(devicePath)) {
        return PortPresence::Missing;
    }
    struct stat st {};
    if (::stat(devicePath.c_str(), &st) != 0) {
        return PresenceFromOpenError(errno);
    }
    if (!S_ISCHR(st.st_mode)) {
        return PortPresence::Unavailable;  // there, but no serial device
    }
    switch (DeviceBackingOf(devicePath, paths)) {
        case DeviceBacking::NoUart:
        case DeviceBacking::Virtual:
            return PortPresence::Missing;
        case DeviceBacking::NotTerminal:
            return PortPresence::Unavailable;
        case DeviceBacking::NoDevice:  // replaced between the two looks
            return PortPresence::Missing;
        case DeviceBacking::Unlisted:
        case DeviceBacking::Hardware:
            break;
    }
    // The effective ids decide, as they do for open().
    if (::faccessat(AT_FDCWD, devicePath.c_str(), R_OK | W_OK, AT_EACCESS) != 0) {
        return PresenceFromOpenError(errno);
    }
    if (!LocksOn(st, paths).empty()) {
        return PortPresence::Unavailable;
    }
    return PortPresence::Present;
}

std::optional<PortHolder> FindLockHolder(const std::string& devicePath, const SystemPaths& paths) {
    struct stat st {};
    if (!IsUsablePath(devicePath) || ::stat(devicePath.c_str(), &st) != 0) {
        return std::nullopt;
    }
    const std::vector<LockEntry> locks = LocksOn(st, paths);
    if (locks.empty()) {
        return std::nullopt;
    }
    // The pid is that of the process that took the lock; it may have passed the descriptor
    // on and ended since. One that still runs is the better answer.
    for (const LockEntry& lock : locks) {
        if (ProcessExists(paths, lock.pid)) {
            return PortHolder{lock.pid, ProgramName(paths, lock.pid)};
        }
    }
    return PortHolder{locks.front().pid > 0 ? locks.front().pid : 0, {}};
}

std::optional<PortHolder> FindPortHolder(const std::string& devicePath, const SystemPaths& paths) {
    std::optional<PortHolder> lock = FindLockHolder(devicePath, paths);
    if (lock && !lock->program.empty()) {
        return lock;
    }
    struct stat st {};
    if (IsUsablePath(devicePath) && ::stat(devicePath.c_str(), &st) == 0 && S_ISCHR(st.st_mode)) {
        if (auto open = ScanOpenFiles(st.st_rdev, paths)) {
            return open;
        }
    }
    return lock;
}

}  // namespace varnel
