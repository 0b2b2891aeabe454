// Why a serial port could not be opened, on Windows: the reason comes from the error alone (the
// system offers no view of who holds a COM port), the remedy points at Device Manager.
#include <windows.h>

#include "link/PortDiagnosis.h"

namespace varnel {
namespace {

std::string SystemText(int error) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text;
    if (length > 0) {
        const int size = ::WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(length),
                                               nullptr, 0, nullptr, nullptr);
        text.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
        ::WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(length), text.data(), size,
                              nullptr, nullptr);
    }
    if (buffer != nullptr) {
        ::LocalFree(buffer);
    }
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' ||
                             text.back() == '.')) {
        text.pop_back();
    }
    return text;
}

// A USB adapter gets a COM number of its own, often above COM4; Devices... maps one of the
// four port names to it without renumbering anything.
constexpr const char* kFindThePort =
    "Plug in the adapter of the programming cable. Then, in Configuration, press Devices..., "
    "choose the adapter (listed as Device Manager names it, such as \"USB Serial Port (COM7)\") "
    "for this port, press OK, and choose this port in Configuration.";

}  // namespace

std::string DescribeLineFailure(const std::string& devicePath, int error) {
    const std::string text = SystemText(error);
    return "Device: " + (devicePath.empty() ? std::string("(none)") : devicePath) +
           "\nReason: The device went away during the exchange; the system reported: " +
           (text.empty() ? std::string("an error") : text) + " (error " + std::to_string(error) +
           ").\nRemedy: Check that the adapter of the programming cable is plugged in firmly, "
           "then try again. An adapter plugged in again may come back under another COM number: "
           "then choose it for this port under Devices... in Configuration.";
}

PortFailure PortFailureFromError(int err) {
    switch (err) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_DEV_NOT_EXIST:
            return PortFailure::Missing;
        // What Windows says of a COM port that another program has open.
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            return PortFailure::Held;
        // The device took none of the serial line's settings.
        case ERROR_INVALID_FUNCTION:
        case ERROR_NOT_SUPPORTED:
        case ERROR_INVALID_HANDLE:
            return PortFailure::NotATerminal;
        default:
            return PortFailure::Other;
    }
}

PortFailure DiagnosePortFailure(const std::string& devicePath, int openError, const SystemPaths&) {
    return devicePath.empty() ? PortFailure::Missing : PortFailureFromError(openError);
}

std::string DescribePortFailure(const std::string& devicePath, int openError,
                                const SystemPaths& paths) {
    std::string reason;
    std::string remedy;
    switch (DiagnosePortFailure(devicePath, openError, paths)) {
        case PortFailure::Missing:
            reason = devicePath.empty() || openError == 0
                         ? "This port name stands for no device."
                         : "There is no serial port of this name on this computer now.";
            remedy = kFindThePort;
            break;
        case PortFailure::Held:
            reason = "Another program is using the port.";
            remedy =
                "Close any terminal program or other radio software that may use the port, "
                "then try again.";
            break;
        case PortFailure::NotATerminal:
            reason = "This device is not a serial port.";
            remedy = kFindThePort;
            break;
        case PortFailure::NoHardware:
        case PortFailure::PermissionDenied:
        case PortFailure::Other: {
            const std::string text = SystemText(openError);
            reason =
                openError == 0
                    ? std::string("The device could not be set up as a serial port.")
                    : "The system reported: " + (text.empty() ? std::string("an error") : text) +
                          " (error " + std::to_string(openError) + ").";
            remedy =
                "Check that the adapter is plugged in and that this is the port of the "
                "programming cable, then try again.";
            break;
        }
    }
    return "Device: " + (devicePath.empty() ? std::string("(none)") : devicePath) +
           "\nReason: " + reason + "\nRemedy: " + remedy;
}

}  // namespace varnel
