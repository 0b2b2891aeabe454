// The record file's rules, the same on every platform; opening, locking and appending are in
// RecordFilePosix.cpp and RecordFileWin32.cpp.
#include "cli/RecordFile.h"

namespace varnel::cli {

RecordFile::LockResult RecordFile::Lock(std::string& error) {
    return WaitForLock(true, error);
}

}  // namespace varnel::cli
