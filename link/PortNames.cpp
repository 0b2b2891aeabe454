#include "link/PortNames.h"

#include <cerrno>
#include <cstdio>
#include <utility>

#ifdef _WIN32
#include <windows.h>

#include "link/PortClaim.h"
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace varnel {
namespace {

PortResolver& Resolver() {
    static PortResolver resolver;
    return resolver;
}

}  // namespace

void SetPortResolver(PortResolver resolver) {
    Resolver() = std::move(resolver);
}

std::string DefaultPortDevice(const std::string& portName) {
#ifdef _WIN32
    // COM10 and above need the device namespace prefix; COM1 to COM9 work either way.
    return portName.rfind("COM", 0) == 0 ? "\\\\.\\" + portName : portName;
#else
    // "COMn" with n a plain decimal number is the n-th serial device, counted from 1.
    if (portName.size() > 3 && portName.compare(0, 3, "COM") == 0) {
        long n = 0;
        for (std::size_t i = 3; i < portName.size(); ++i) {
            char c = portName[i];
            if (c < '0' || c > '9' || n > 100000) {
                return portName;
            }
            n = n * 10 + (c - '0');
        }
        return "/dev/ttyS" + std::to_string(n - 1);
    }
    return portName;
#endif
}

std::string ResolvePortDevice(const std::string& portName) {
    if (Resolver()) {
        std::string device = Resolver()(portName);
        if (!device.empty()) {
            return device;
        }
    }
    return DefaultPortDevice(portName);
}

std::string PortNameFromIndex(int index) {
    // Computed in 64 bits: an index read from a damaged settings store may be INT_MAX.
    return "COM" + std::to_string(static_cast<long long>(index) + 1);
}

#ifndef _WIN32
PortPresence ProbePort(const std::string& portName) {
    const std::string device = ResolvePortDevice(portName);
    int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // A device node with no hardware behind it (a ttyS without a UART) fails with EIO or ENXIO.
        return (errno == ENOENT || errno == ENODEV || errno == ENXIO || errno == EIO)
                   ? PortPresence::Missing
                   : PortPresence::Unavailable;
    }
    // Another program holding the device has it locked; the probe must not take it from it.
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return held ? PortPresence::Unavailable : PortPresence::Present;
}
#else
PortPresence ProbePort(const std::string& portName) {
    const std::string device = ResolvePortDevice(portName);
    HANDLE h = ::CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             OPEN_EXISTING, FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? PortPresence::Missing
                   : PortPresence::Unavailable;
    }
    if (IsPortClaimed(device)) {
        ::CloseHandle(h);
        return PortPresence::Unavailable;
    }
    ::CloseHandle(h);
    return PortPresence::Present;
}
#endif

}  // namespace varnel
