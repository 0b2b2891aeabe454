#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "settings/IniFileSettings.h"
#include "settings/IniText.h"

namespace varnel {
namespace {

// Far beyond any settings file a person writes; a larger one is taken for something else put
// there by mistake, and is not read into memory.
constexpr off_t kLargestFile = 16 * 1024 * 1024;

std::string ErrorText(int error) {
    return std::strerror(error);
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    int Get() const { return m_fd; }
    void Reset(int fd) {
        Close();
        m_fd = fd;
    }
    // Closes now, and says whether the system took it: a write-back error may show only here.
    bool Close() {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

// Makes the folder and those above it that are missing.
int MakeFolders(const std::string& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0) {
        return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    }
    if (errno != ENOENT) {
        return errno;
    }
    const std::string parent = FolderOf(folder);
    if (parent != folder) {
        if (const int error = MakeFolders(parent); error != 0) {
            return error;
        }
    }
    return ::mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST ? 0 : errno;
}

class IniFileSettings final : public SettingsStore {
public:
    IniFileSettings(std::string path, std::chrono::milliseconds lockWait)
        : m_path(std::move(path)), m_lockWait(lockWait) {}

    std::string Damage() override {
        std::string contents;
        bool exists = false;
        if (std::string why = ReadFile(&contents, &exists); !why.empty()) {
            return why;
        }
        return exists ? IniTextDamage(contents) : std::string();
    }

    std::optional<std::string> ReadText(std::string_view group, std::string_view key) override {
        std::string contents;
        bool exists = false;
        if (!ReadFile(&contents, &exists).empty() || !exists || !IniTextDamage(contents).empty()) {
            return std::nullopt;
        }
        return IniTextValue(contents, group, key);
    }

    std::string Write(const std::vector<SettingChange>& changes) override {
        const std::string folder = FolderOf(m_path);
        if (const int error = MakeFolders(folder); error != 0) {
            return "the folder " + folder + " cannot be made (" + ErrorText(error) + ")";
        }
        // The folder is what is locked, not the file: the file is replaced by each write, and a
        // lock on the one replaced would not stop the next writer.
        Descriptor folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (folderFd.Get() < 0) {
            return "the folder " + folder + " cannot be opened (" + ErrorText(errno) + ")";
        }
        if (std::string why = Lock(folderFd.Get()); !why.empty()) {
            return why;
        }
        std::string contents;
        bool exists = false;
        std::string why = ReadFile(&contents, &exists);
        if (why.empty() && exists) {
            why = IniTextDamage(contents);
        }
        if (!why.empty()) {
            return "the settings file " + m_path + " cannot be read as it stands: " + why;
        }
        const std::string edited = EditIniText(contents, changes);
        if (exists && edited == contents) {
            return {};
        }
        return Replace(edited);
    }

    std::string Location() const override { return m_path; }

private:
    // Why the file cannot be read, empty when it was read or does not exist.
    std::string ReadFile(std::string* contents, bool* exists) const {
        contents->clear();
        *exists = false;
        // Not blocking, so that a pipe or a device put where the file should be cannot hold
        // the program up.
        Descriptor fd(::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
        if (fd.Get() < 0) {
            if (errno == ENOENT) {
                return {};
            }
            *exists = true;
            return "it cannot be read (" + ErrorText(errno) + ")";
        }
        *exists = true;
        struct stat info {};
        if (::fstat(fd.Get(), &info) != 0) {
            return "it cannot be read (" + ErrorText(errno) + ")";
        }
        if (S_ISDIR(info.st_mode)) {
            return "it cannot be read (it is a folder)";
        }
        if (!S_ISREG(info.st_mode)) {
            return "it cannot be read (it is not a plain file)";
        }
        if (info.st_size > kLargestFile) {
            return "it is too large to be a settings file";
        }
        char buffer[8192];
        for (;;) {
            const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
            if (got == 0) {
                break;
            }
            if (got < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return "it cannot be read (" + ErrorText(errno) + ")";
            }
            contents->append(buffer, static_cast<std::size_t>(got));
            if (contents->size() > static_cast<std::size_t>(kLargestFile)) {
                return "it is too large to be a settings file";
            }
        }
        return {};
    }

    std::string Lock(int folderFd) const {
        // Another writer of the settings holds the lock for a few milliseconds.
        const auto giveUp = std::chrono::steady_clock::now() + m_lockWait;
        while (::flock(folderFd, LOCK_EX | LOCK_NB) != 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno != EWOULDBLOCK) {
                return "the settings file " + m_path + " cannot be locked for writing (" +
                       ErrorText(errno) + ")";
            }
            if (std::chrono::steady_clock::now() >= giveUp) {
                return "another program is writing the settings file " + m_path;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return {};  // released when the folder's descriptor is closed
    }

    // Writes text beside the file and renames it over it; links are followed, so a settings file
    // kept elsewhere stays where it is.
    std::string Replace(const std::string& text) const {
        std::string target = m_path;
        if (char resolved[PATH_MAX]; ::realpath(m_path.c_str(), resolved) != nullptr) {
            target = resolved;
        }
        struct stat old {};
        const bool hadFile = ::stat(target.c_str(), &old) == 0;
        const std::string folder = FolderOf(target);
        const std::string name = target.substr(folder.size() == 1 ? 1 : folder.size() + 1);
        std::string temporary;
        Descriptor fd;
        for (int attempt = 0; fd.Get() < 0; ++attempt) {
            temporary = folder + "/." + name + "." + std::to_string(::getpid()) + "." +
                        std::to_string(attempt);
            fd.Reset(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                            hadFile ? (old.st_mode & 0777) : 0666));
            if (fd.Get() < 0 && (errno != EEXIST || attempt > 100)) {
                return "the folder " + folder + " cannot be written (" + ErrorText(errno) + ")";
            }
        }
        std::string why = WriteAll(fd.Get(), text);
        if (why.empty() && hadFile) {
            // Created under the umask; the file it replaces keeps the access it had.
            (void)::fchmod(fd.Get(), old.st_mode & 07777);
        }
        if (why.empty() && ::fsync(fd.Get()) != 0) {
            why = ErrorText(errno);
        }
        if (!fd.Close() && why.empty()) {
            why = ErrorText(errno);
        }
        if (why.empty() && ::rename(temporary.c_str(), target.c_str()) != 0) {
            why = ErrorText(errno);
        }
        if (!why.empty()) {
            ::unlink(temporary.c_str());
            return "the settings file " + m_path + " cannot be written (" + why + ")";
        }
        // The new name on disk too. The file itself is whole by now; a folder that cannot be
        // synced (some network file systems) keeps it as well as the system can.
        if (Descriptor folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            folderFd.Get() >= 0) {
            (void)::fsync(folderFd.Get());
        }
        return {};
    }

    static std::string WriteAll(int fd, std::string_view text) {
        while (!text.empty()) {
            const ssize_t written = ::write(fd, text.data(), text.size());
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return ErrorText(errno);
            }
            text.remove_prefix(static_cast<std::size_t>(written));
        }
        return {};
    }

    std::string m_path;
    std::chrono::milliseconds m_lockWait;
};

}  // namespace

std::string UserSettingsFilePath() {
    std::string base;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config) {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            const passwd* user = ::getpwuid(::getuid());
            home = user ? user->pw_dir : "/";
        }
        base = std::string(home) + "/.config";
    }
    while (base.size() > 1 && base.back() == '/') {
        base.pop_back();
    }
    return base + "/" + kSettingsOrganisation + "/" + kSettingsApplication + ".conf";
}

std::unique_ptr<SettingsStore> OpenIniFileSettings(std::string path,
                                                   std::chrono::milliseconds lockWait) {
    return std::make_unique<IniFileSettings>(std::move(path), lockWait);
}

std::unique_ptr<SettingsStore> OpenUserSettings() {
    return OpenIniFileSettings(UserSettingsFilePath());
}

}  // namespace varnel
