// The record file on POSIX: O_APPEND, flock and fsync.
#include "cli/RecordFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace varnel::cli {
namespace {

std::string Reason(int error) {
    return std::strerror(error);
}

}  // namespace

RecordFile::~RecordFile() {
    Close();
}

bool RecordFile::Open(const std::string& path, std::string& error) {
    Close();
    m_path = path;
    // Read as well as append: the last byte says whether the last line was ended. Created 0666
    // less the umask, so that the stations of one group can all append to it.
    const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
        error = "The record file " + path + " could not be opened: " + Reason(errno) + ".";
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "The record file " + path + " is not a regular file.";
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

RecordFile::LockResult RecordFile::WaitForLock(bool stoppable, std::string& error) {
    if (m_locked) {
        return LockResult::Locked;
    }
    // Free at once, or a stop already asked for: no wait at all.
    int result = ::flock(m_fd, LOCK_EX | LOCK_NB);
    if (result != 0 && errno == EWOULDBLOCK && stoppable && m_cancel != nullptr &&
        m_cancel->IsCancelled()) {
        return LockResult::Interrupted;
    }
    // Another station holds it for the length of its exchange. The signal that asks to stop
    // ends the wait (no SA_RESTART).
    while (result != 0 && (errno == EWOULDBLOCK || errno == EINTR)) {
        if (errno == EINTR && stoppable) {
            return LockResult::Interrupted;
        }
        result = ::flock(m_fd, LOCK_EX);
    }
    if (result != 0) {
        error = "The record file " + m_path + " could not be locked: " + Reason(errno) + ".";
        return LockResult::Failed;
    }
    m_locked = true;
    return LockResult::Locked;
}

bool RecordFile::Append(const std::string& line, std::string& error) {
    if (m_fd < 0) {
        error = "The record file is not open.";
        return false;
    }
    // The run has happened: it is recorded even when a signal comes while another station is
    // appending its own line.
    if (WaitForLock(false, error) != LockResult::Locked) {
        return false;
    }
    std::string text;
    struct stat st {};
    if (::fstat(m_fd, &st) == 0 && st.st_size > 0) {
        char last = '\n';
        if (::pread(m_fd, &last, 1, st.st_size - 1) == 1 && last != '\n') {
            text += '\n';
        }
    }
    text += line;
    text += '\n';
    std::size_t done = 0;
    // One write puts the whole line in place; only a short write (a full disk) leaves a rest.
    while (done < text.size()) {
        const ssize_t n = ::write(m_fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error = "The record could not be written to " + m_path + ": " +
                    Reason(n < 0 ? errno : ENOSPC) + ".";
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    while (::fsync(m_fd) != 0) {
        if (errno != EINTR) {
            error = "The record could not be saved to " + m_path + ": " + Reason(errno) + ".";
            return false;
        }
    }
    return true;
}

void RecordFile::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);  // also gives the lock back
        m_fd = -1;
    }
    m_locked = false;
}

}  // namespace varnel::cli
