#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/Json.h"
#include "link/CancelToken.h"

namespace varnel::cli {

// One line of the record file that could be read, with its number counted from 1.
struct RecordLine {
    int number = 0;
    JsonValue value;
};

// The record file of --record: one JSON line per command run, only ever appended to. Many
// stations may share one file; an exclusive lock on it orders them.
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

    // Every line that reads as a JSON object. skipped is called with the number of each line
    // that does not; blank lines are passed over quietly.
    bool ReadLines(std::vector<RecordLine>& lines, const std::function<void(int)>& skipped,
                   std::string& error);

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
    // The whole file as it stands.
    bool ReadAll(std::string& contents, std::string& error);

#ifdef _WIN32
    void* m_file = nullptr;  // the file's handle: <windows.h> stays out of this header
#else
    int m_fd = -1;
#endif
    bool m_locked = false;
    std::string m_path;
    const CancelToken* m_cancel = nullptr;
};

// The ESN of an earlier program-esn found in the record.
struct EarlierEsn {
    int line = 0;
    std::string time;
    std::string port;
    bool confirmed = true;  // false: the write went out but was never confirmed
};

// The first record line that shows esn (display form) programmed, or possibly programmed: a
// program-esn that succeeded, or whose write was confirmed or went out without a confirmation.
std::optional<EarlierEsn> FindEsnInRecord(const std::vector<RecordLine>& lines,
                                          const std::string& esn);

}  // namespace varnel::cli
