#include "procedures/WriteOrigin.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#endif

namespace varnel {
namespace {

#ifdef _WIN32
std::string Utf8(const wchar_t* text, DWORD length) {
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                            nullptr, nullptr);
    std::string result(bytes > 0 ? static_cast<std::size_t>(bytes) : 0, '\0');
    if (bytes > 0) {
        ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), result.data(), bytes,
                              nullptr, nullptr);
    }
    return result;
}

std::string HostName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    return ::GetComputerNameW(name, &length) ? Utf8(name, length) : std::string();
}

std::string UserName() {
    wchar_t name[257] = {};
    DWORD length = 257;
    // The length given back counts the terminating null.
    return ::GetUserNameW(name, &length) && length > 0 ? Utf8(name, length - 1) : std::string();
}
#else
std::string HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) {
        return {};
    }
    return name;
}

std::string UserName() {
    if (const passwd* entry = ::getpwuid(::geteuid()); entry != nullptr && entry->pw_name) {
        return entry->pw_name;
    }
    const char* user = std::getenv("USER");
    return user != nullptr ? user : std::string();
}
#endif

}  // namespace

WriteOrigin LocalWriteOrigin(const std::string& port) {
    WriteOrigin origin;
    origin.station = HostName();
    origin.user = UserName();
    origin.port = port;
    return origin;
}

}  // namespace varnel
