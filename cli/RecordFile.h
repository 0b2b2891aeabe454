#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/Json.h"

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

    enum class LockResult { Locked, Interrupted, Failed };
    // Waits for the exclusive lock, which is held until the file is closed. A signal ends the
    // wait (Interrupted).
    LockResult Lock(std::string& error);
    bool Locked() const { return m_locked; }

    // Every line that reads as a JSON object. skipped is called with the number of each line
    // that does not; blank lines are passed over quietly.
    bool ReadLines(std::vector<RecordLine>& lines, const std::function<void(int)>& skipped,
                   std::string& error);

    // Appends line and a line end with one write and makes it durable (fsync) before returning.
    // Takes the lock first when it is not held. Never rewrites what is there: a last line left
    // without its line end (a full disk, a crash elsewhere) gets one first, so that the new line
    // stays a line of its own.
    bool Append(const std::string& line, std::string& error);

    void Close();

private:
    int m_fd = -1;
    bool m_locked = false;
    std::string m_path;
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
