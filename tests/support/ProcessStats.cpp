#include "tests/support/ProcessStats.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#endif

namespace varnel::test {

#ifdef _WIN32
int OpenDescriptors() {
    // Windows has no descriptors; its handles leak the same way.
    DWORD count = 0;
    return ::GetProcessHandleCount(::GetCurrentProcess(), &count) ? static_cast<int>(count) : -1;
}
#else
int OpenDescriptors() {
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (const dirent* entry = ::readdir(dir)) {
            count += entry->d_name[0] != '.';
        }
        ::closedir(dir);
    }
    return count - 1;  // the directory stream's own
}
#endif

}  // namespace varnel::test
