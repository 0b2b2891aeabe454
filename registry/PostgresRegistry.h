#pragma once

#include <memory>
#include <string>

#include "registry/EsnRegistry.h"

namespace varnel {

// The registry of a line of stations on a PostgreSQL server at uri ("postgresql://..." or
// "postgres://..."). Null with error set when it cannot be used, or when this build of Varnel
// has no PostgreSQL client.
std::unique_ptr<IEsnRegistry> OpenPostgresRegistry(const std::string& uri, RegistryError& error);

}  // namespace varnel
