#include "tests/support/ProcessStats.h"

#include <dirent.h>

namespace varnel::test {

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

}  // namespace varnel::test
