#include "link/PortNames.h"

#include <cstdint>

#ifdef _WIN32
#include <windows.h>

#include "link/PortClaim.h"
#else
#include "link/DeviceProbe.h"
#endif

namespace varnel {
namespace {

[[maybe_unused]] bool IsAbsolutePath(const std::string& path) {
    return !path.empty() && path.front() == '/';
}

}  // namespace

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
                return {};  // COM-1, COMx: names of no device
            }
            n = n * 10 + (c - '0');
        }
        return n >= 1 ? "/dev/ttyS" + std::to_string(n - 1) : std::string();
    }
    return IsAbsolutePath(portName) ? portName : std::string();
#endif
}

std::string NormalPortName(const std::string& portName) {
    constexpr std::size_t kDigits = 3;  // after "COM"
    if (portName.size() <= kDigits || portName.compare(0, kDigits, "COM") != 0 ||
        portName.find_first_not_of("0123456789", kDigits) != std::string::npos) {
        return portName;
    }
    const std::size_t first = portName.find_first_not_of('0', kDigits);
    return "COM" + (first == std::string::npos ? std::string("0") : portName.substr(first));
}

std::string ResolvePortDevice(const std::string& portName, const PortResolver& resolver) {
    const std::string name = NormalPortName(portName);
    std::string device = resolver ? resolver(name) : std::string();
    if (device.empty()) {
        return DefaultPortDevice(name);
    }
#ifdef _WIN32
    // The settings map a port name to another COM name ("COM7"), opened through the device
    // namespace like any COM name; a device-namespace path is taken as it is. Anything else
    // would be looked up as a file in whatever folder the program runs in.
    std::string mapped = device;
    if (mapped.size() > 3 && (mapped[0] | 0x20) == 'c' && (mapped[1] | 0x20) == 'o' &&
        (mapped[2] | 0x20) == 'm') {
        mapped.replace(0, 3, "COM");  // Windows takes COM names in any case
    }
    mapped = NormalPortName(mapped);
    if (mapped.rfind("COM", 0) == 0 && mapped.size() > 3 &&
        mapped.find_first_not_of("0123456789", 3) == std::string::npos && mapped != "COM0") {
        return DefaultPortDevice(mapped);
    }
    if (device.rfind("\\\\.\\", 0) != 0 || device.size() <= 4) {
        return {};
    }
#else
    if (!IsAbsolutePath(device)) {
        return {};
    }
#endif
    return device;
}

int SerialPortIndexFromText(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return 0;
    }
    // Beyond these the bits of a 32-bit number are gone: such a value stands for nothing.
    constexpr long long kLargest = 0xFFFFFFFFLL;
    constexpr long long kSmallest = 0x80000000LL;
    long long magnitude = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return 0;
        }
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > kLargest) {
            return 0;
        }
    }
    if (negative && magnitude > kSmallest) {
        return 0;
    }
    const long long value = negative ? -magnitude : magnitude;
    // The same bits whichever way the number was written: 4294967295 and -1 are one value.
    const auto index = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    return index > 3 ? 0 : index;
}

std::string PortNameFromIndex(int index) {
    // Computed in 64 bits: an index read from a damaged settings store may be INT_MAX.
    return "COM" + std::to_string(static_cast<long long>(index) + 1);
}

#ifndef _WIN32
PortPresence ProbePort(const std::string& device) {
    // Judged without opening the device: an open raises DTR and RTS on the cable.
    return ProbeDevice(device);
}
#else
PortPresence ProbePort(const std::string& device) {
    if (device.empty()) {
        return PortPresence::Missing;
    }
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
