#include "link/PortDiagnosis.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <vector>

#include "link/DeviceProbe.h"
#include "link/SerialDevices.h"
#include "link/SysFiles.h"

namespace varnel {
namespace {

constexpr std::size_t kMostDevicesNamed = 8;

bool IsUsablePath(const std::string& devicePath) {
    return !devicePath.empty() && devicePath.front() == '/';
}

std::string GroupName(gid_t gid) {
    std::vector<char> buffer(4096);
    group entry{};
    group* found = nullptr;
    while (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
           buffer.size() < (1u << 20)) {
        buffer.resize(buffer.size() * 2);
    }
    return found != nullptr && found->gr_name != nullptr ? PrintableText(found->gr_name, 64)
                                                         : "group " + std::to_string(gid);
}

// The groups this process runs with now: fixed when the session started.
bool SessionHasGroup(gid_t gid) {
    if (::getegid() == gid) {
        return true;
    }
    const int count = ::getgroups(0, nullptr);
    if (count <= 0) {
        return false;
    }
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    const int got = ::getgroups(count, groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

// The groups the user account has now, as the group database lists them: what a new login
// would get.
bool AccountHasGroup(gid_t gid) {
    std::vector<char> buffer(4096);
    passwd entry{};
    passwd* user = nullptr;
    while (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &user) == ERANGE &&
           buffer.size() < (1u << 20)) {
        buffer.resize(buffer.size() * 2);
    }
    if (user == nullptr || user->pw_name == nullptr) {
        return false;
    }
    if (user->pw_gid == gid) {
        return true;
    }
    int count = 64;
    std::vector<gid_t> groups;
    for (int attempt = 0; attempt < 8; ++attempt) {
        groups.resize(static_cast<std::size_t>(count));
        int n = count;
        if (::getgrouplist(user->pw_name, user->pw_gid, groups.data(), &n) >= 0) {
            groups.resize(static_cast<std::size_t>(n));
            return std::find(groups.begin(), groups.end(), gid) != groups.end();
        }
        count = std::max(n, count * 2);
    }
    return false;
}

std::string ModeText(mode_t mode) {
    std::string text = S_ISCHR(mode) ? "c" : "-";
    const char* letters = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit) {
        text += (mode & (0400 >> bit)) ? letters[bit] : '-';
    }
    return text;
}

// The serial devices there are to choose from, one indented line each; empty when none.
std::string PresentDevices(const SystemPaths& paths) {
    const std::vector<SerialDevice> devices = ListSerialDevices(paths);
    std::string text;
    for (std::size_t i = 0; i < devices.size() && i < kMostDevicesNamed; ++i) {
        text += "\n  " + SerialDeviceLabel(devices[i]);
    }
    if (devices.size() > kMostDevicesNamed) {
        text += "\n  ... and " + std::to_string(devices.size() - kMostDevicesNamed) + " more";
    }
    return text;
}

// The closing advice of most reasons: firstStep (may be empty), then the devices to choose
// from, or what to do when there are none.
std::string ChooseAnotherDevice(const std::string& firstStep, const SystemPaths& paths) {
    const std::string devices = PresentDevices(paths);
    const std::string lead = firstStep.empty() ? std::string() : firstStep + " ";
    if (devices.empty()) {
        return lead +
               "No serial devices are present now: plug in the adapter of the programming "
               "cable, then choose it under Options > Configuration > Devices.";
    }
    return lead +
           "Choose one of the serial devices present under Options > Configuration > Devices:" +
           devices;
}

struct Explanation {
    std::string reason;
    std::string remedy;
};

Explanation ExplainPermission(const std::string& devicePath) {
    struct stat st {};
    if (::stat(devicePath.c_str(), &st) != 0) {
        return {"You may not reach this path: a folder on the way to it is closed to you.",
                "Choose the device by its usual name under Options > Configuration > Devices."};
    }
    const std::string group = GroupName(st.st_gid);
    const std::string quoted = "\"" + group + "\"";
    if (st.st_gid == 0) {
        return {
            "You may not use this device. It belongs to the group \"root\", so only the "
            "administrator may open it.",
            "Ask the administrator to give the device to the group dialout (for example with "
            "a udev rule) and to add you to that group."};
    }
    if ((st.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) {
        return {"You may not use this device. Its group " + quoted +
                    " may not read and write it (its permissions are " + ModeText(st.st_mode) +
                    ").",
                "Ask the administrator to let the group " + quoted +
                    " read and write the device (for example with a udev rule)."};
    }
    if (SessionHasGroup(st.st_gid)) {
        return {"You may not use this device, although you are a member of its group " + quoted +
                    ". A security policy or a sandbox (such as a snap or Flatpak package) may "
                    "refuse it.",
                "If Varnel was installed as a snap or Flatpak, allow it to use serial ports; "
                "otherwise ask the administrator to check the security policy."};
    }
    if (AccountHasGroup(st.st_gid)) {
        return {"You may not use this device yet. You are a member of its group " + quoted +
                    ", but this session started before you were added to it.",
                "Log out and log in again (or restart the computer), then try again."};
    }
    return {"You may not use this device. It belongs to the group " + quoted +
                ", and you are not a member of that group.",
            "Add yourself to the group with this command, then log out and log in again:\n"
            "  sudo usermod -aG " +
                group + " $USER"};
}

Explanation ExplainHeld(const std::string& devicePath, const SystemPaths& paths) {
    const std::optional<PortHolder> holder = FindPortHolder(devicePath, paths);
    if (holder && holder->pid > 0) {
        const std::string who = holder->program.empty() ? "process " + std::to_string(holder->pid)
                                                        : holder->program + " (process " +
                                                              std::to_string(holder->pid) + ")";
        return {"Another program is using the device: " + who + ".",
                "Close that program, then try again."};
    }
    return {
        "Another program is using the device. Which one could not be found out; it may run "
        "under another user.",
        "Close any terminal program or other radio software that may use the device, then "
        "try again. Just after an adapter is plugged in, a modem manager may hold it for a "
        "few seconds."};
}

Explanation Explain(PortFailure failure, const std::string& devicePath, int openErrno,
                    const SystemPaths& paths) {
    switch (failure) {
        case PortFailure::Missing: {
            if (!IsUsablePath(devicePath)) {
                return {"This port is set to no device path.", ChooseAnotherDevice("", paths)};
            }
            struct stat st {};
            if (::stat(devicePath.c_str(), &st) == 0) {
                return {
                    "The device node is there, but no device answers behind it. The adapter "
                    "may have been unplugged, or its driver is not loaded.",
                    ChooseAnotherDevice("Plug the adapter in again and try again.", paths)};
            }
            return {"Nothing is at this path: the device is not there.",
                    ChooseAnotherDevice("Plug in the adapter and try again.", paths)};
        }
        case PortFailure::NoHardware:
            return {
                "This is the name of a built-in serial port, but there is no serial port "
                "hardware (UART) behind it. Most laptops have none.",
                ChooseAnotherDevice("Use a USB serial adapter.", paths)};
        case PortFailure::NotATerminal:
            if (DeviceBackingOf(devicePath, paths) == DeviceBacking::Virtual) {
                return {"This is a console or virtual terminal, not a serial port.",
                        ChooseAnotherDevice("", paths)};
            }
            return {"This is not a serial device (it is not a terminal).",
                    ChooseAnotherDevice("", paths)};
        case PortFailure::PermissionDenied:
            return ExplainPermission(devicePath);
        case PortFailure::Held:
            return ExplainHeld(devicePath, paths);
        case PortFailure::Other:
            break;
    }
    const std::string what =
        openErrno == 0 ? std::string("The device could not be set up as a serial port.")
                       : "The system reported: " +
                             std::error_code(openErrno, std::generic_category()).message() +
                             " (error " + std::to_string(openErrno) + ").";
    return {what,
            "Check that the adapter is plugged in and that this is the device of the programming "
            "cable, then try again."};
}

}  // namespace

PortFailure PortFailureFromError(int err) {
    switch (err) {
        case ENOENT:
        case ENOTDIR:
        case ENODEV:
        case ENXIO:
            return PortFailure::Missing;
        case EIO:
            return PortFailure::NoHardware;
        case EACCES:
        case EPERM:
            return PortFailure::PermissionDenied;
        case EBUSY:
        case EWOULDBLOCK:
            return PortFailure::Held;
        case ENOTTY:
            return PortFailure::NotATerminal;
        default:
            return PortFailure::Other;
    }
}

PortFailure DiagnosePortFailure(const std::string& devicePath, int openErrno,
                                const SystemPaths& paths) {
    if (!IsUsablePath(devicePath)) {
        return PortFailure::Missing;
    }
    struct stat st {};
    if (::stat(devicePath.c_str(), &st) != 0) {
        const int err = errno;
        if (err == EACCES) {
            return PortFailure::PermissionDenied;
        }
        if (err == ENOENT || err == ENOTDIR || err == ELOOP || err == ENAMETOOLONG) {
            return PortFailure::Missing;
        }
        return PortFailureFromError(openErrno);
    }
    if (!S_ISCHR(st.st_mode)) {
        return PortFailure::NotATerminal;
    }
    const DeviceBacking backing = DeviceBackingOf(devicePath, paths);
    switch (backing) {
        case DeviceBacking::NoUart:
            return PortFailure::NoHardware;
        case DeviceBacking::NotTerminal:
        case DeviceBacking::Virtual:
            return PortFailure::NotATerminal;
        default:
            break;
    }
    const PortFailure byError = PortFailureFromError(openErrno);
    if (byError == PortFailure::NoHardware) {
        // Without sysfs to ask, an I/O error from a built-in port's name is most likely the
        // missing UART. On a device with hardware behind it, the adapter went away during the
        // open or the line is faulty: the system's own words say more than a guess.
        const std::string name = devicePath.substr(devicePath.rfind('/') + 1);
        return backing == DeviceBacking::Unlisted && name.rfind("ttyS", 0) == 0
                   ? PortFailure::NoHardware
                   : PortFailure::Other;
    }
    if (byError != PortFailure::Other || openErrno != 0) {
        return byError;
    }
    // No error number to go by: judge by what can be seen without opening the device.
    if (::faccessat(AT_FDCWD, devicePath.c_str(), R_OK | W_OK, AT_EACCESS) != 0) {
        return errno == EACCES ? PortFailure::PermissionDenied : PortFailure::Other;
    }
    if (FindPortHolder(devicePath, paths)) {
        return PortFailure::Held;
    }
    return PortFailure::Other;
}

std::string DescribePortFailure(const std::string& devicePath, int openErrno,
                                const SystemPaths& paths) {
    const PortFailure failure = DiagnosePortFailure(devicePath, openErrno, paths);
    const Explanation e = Explain(failure, devicePath, openErrno, paths);
    const std::string shown =
        devicePath.empty() ? std::string("(none)") : PrintableText(devicePath, 4096);
    return "Device: " + shown + "\nReason: " + e.reason + "\nRemedy: " + e.remedy;
}

}  // namespace varnel
