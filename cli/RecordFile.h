#pragma once

#include <string>

#include "link/CancelToken.h"

namespace varnel::cli {

// The record file of --record: one JSON line per command run, only ever appended to and never
// read (the ESN registry is what guards the ESNs). Many stations may share one file; an
// exclusive lock taken for each append keeps their lines whole.
class RecordFile {
public:
    RecordFile() = default;
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    // Opens path for appending, creating it when it is not there. On failure, error says why.
    bool Open(const std::string& path, std::string& error);
    const std::string& Path() const { return m_path; }

    // A wait for the lock ends when this token is cancelled (the user asked to stop).
    void SetCancelToken(const CancelToken* cancel) { m_cancel = cancel; }

    enum class LockResult { Locked, Interrupted, Failed };
    // Takes the exclusive lock, which is held until the file is closed, waiting while another
    // station holds it. A stop ends the wait (Interrupted): a signal on POSIX, the cancel token
    // everywhere.
    LockResult Lock(std::string& error);
    bool Locked() const { return m_locked; }

    // Appends line and a line end with one write and makes it durable (fsync, FlushFileBuffers)
    // before returning.
    // Takes the lock first when it is not held. Never rewrites what is there: a last line left
    // without its line end (a full disk, a crash elsewhere) gets one first, so that the new line
    // stays a line of its own.
    bool Append(const std::string& line, std::string& error);

    void Close();

private:
    // The lock; stoppable says whether a stop ends the wait for it.
    LockResult WaitForLock(bool stoppable, std::string& error);

#ifdef _WIN32
    void* m_file = nullptr;  // the file's handle: <windows.h> stays out of this header
#else
    int m_fd = -1;
#endif
    bool m_locked = false;
    std::string m_path;
    const CancelToken* m_cancel = nullptr;
};

}  // namespace varnel::cli
