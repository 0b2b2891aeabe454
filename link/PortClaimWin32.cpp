#include <windows.h>

#include <cctype>
#include <string_view>

#include "link/PortClaim.h"

namespace varnel {

std::string PortClaimName(const std::string& device) {
    // COM1 and \\.\COM1 are one device: the claim is named without the device namespace
    // prefix. A backslash after the namespace prefix would name a directory of objects, and
    // device names are not case sensitive.
    std::string_view path = device;
    if (path.rfind("\\\\.\\", 0) == 0) {
        path.remove_prefix(4);
    }
    std::string name = "Local\\Varnel.port.";
    for (char c : path) {
        name += c == '\\' ? '#' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return name;
}

void* ClaimPort(const std::string& device, unsigned long& error) {
    HANDLE marker = ::CreateMutexA(nullptr, FALSE, PortClaimName(device).c_str());
    if (marker == nullptr) {
        error = ::GetLastError();
        return nullptr;
    }
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(marker);
        error = ERROR_ACCESS_DENIED;  // what Windows says of a device another program holds
        return nullptr;
    }
    error = 0;
    return marker;
}

void ReleasePortClaim(void* claim) {
    if (claim != nullptr) {
        ::CloseHandle(static_cast<HANDLE>(claim));
    }
}

bool IsPortClaimed(const std::string& device) {
    HANDLE marker = ::OpenMutexA(SYNCHRONIZE, FALSE, PortClaimName(device).c_str());
    if (marker == nullptr) {
        return false;
    }
    ::CloseHandle(marker);
    return true;
}

}  // namespace varnel
