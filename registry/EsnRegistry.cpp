#include "registry/EsnRegistry.h"

#include <cstdlib>

#include "registry/PostgresRegistry.h"
#include "registry/SqliteRegistry.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pwd.h>
#include <unistd.h>
#endif

namespace varnel {

namespace {

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

#ifdef _WIN32
std::string Utf8(const wchar_t* text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        return {};
    }
    std::string result(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
    result.resize(static_cast<std::size_t>(size - 1));
    return result;
}

// The user's local application data folder where the shell keeps it, under User Shell Folders
// (the known-folder call reads the same value), its variables expanded; empty when not there.
// Read through advapi32 alone: SHGetKnownFolderPath lives in shell32, which loads user32, and a
// console program with user32 loaded is never told of a logoff or a shutdown.
std::string LocalAppDataFolder() {
    wchar_t raw[1024] = {};
    DWORD size = sizeof raw - sizeof(wchar_t);
    if (::RegGetValueW(
            HKEY_CURRENT_USER,
            L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
            L"Local AppData", RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, raw,
            &size) != ERROR_SUCCESS) {
        return {};
    }
    wchar_t expanded[1024] = {};
    const DWORD length = ::ExpandEnvironmentStringsW(raw, expanded, 1024);
    if (length == 0 || length > 1024) {
        return {};
    }
    return Utf8(expanded);
}
#endif

}  // namespace

bool IsPostgresLocation(const std::string& location) {
    return StartsWith(location, "postgresql://") || StartsWith(location, "postgres://");
}

std::unique_ptr<IEsnRegistry> OpenEsnRegistry(const std::string& location, RegistryError& error) {
    error = RegistryError{};
    if (location.empty()) {
        error.message = "No ESN registry was named: give a file path or a postgresql:// URI.";
        return nullptr;
    }
    if (IsPostgresLocation(location)) {
        return OpenPostgresRegistry(location, error);
    }
    return OpenSqliteRegistry(location, error);
}

std::string DefaultRegistryLocation() {
#ifdef _WIN32
    std::string base = LocalAppDataFolder();
    if (base.empty()) {
        if (const wchar_t* local = ::_wgetenv(L"LOCALAPPDATA"); local && *local) {
            base = Utf8(local);
        }
    }
    while (!base.empty() && (base.back() == '\\' || base.back() == '/')) {
        base.pop_back();
    }
    return base + "\\Tessaran\\Varnel\\esn-registry.sqlite";
#else
    std::string base;
    // A relative XDG_DATA_HOME is to be ignored, as the base directory rules say.
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/') {
        base = data;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            const passwd* user = ::getpwuid(::getuid());
            home = user ? user->pw_dir : "/";
        }
        base = std::string(home) + "/.local/share";
    }
    while (base.size() > 1 && base.back() == '/') {
        base.pop_back();
    }
    return base + "/Tessaran/Varnel/esn-registry.sqlite";
#endif
}

}  // namespace varnel
