#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "registry/EsnRegistry.h"

namespace varnel {

struct SqliteRegistryOptions {
    // How long a call waits for another process that is writing the same file.
    std::chrono::milliseconds busyTimeout{5000};
};

// The registry in the SQLite file at path (UTF-8), made with its folder when missing.
std::unique_ptr<IEsnRegistry> OpenSqliteRegistry(const std::string& path, RegistryError& error,
                                                 const SqliteRegistryOptions& options = {});

}  // namespace varnel
