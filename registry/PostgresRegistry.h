#pragma once

#include <memory>
#include <string>

#include "registry/EsnRegistry.h"

namespace varnel {

// The registry of a line of stations on a PostgreSQL server at uri ("postgresql://..." or
// "postgres://..."), passed to libpq as it stands, so that its sslmode and other parameters hold.
// Null with error set when it cannot be used, or when this build of Varnel has no PostgreSQL
// client.
std::unique_ptr<IEsnRegistry> OpenPostgresRegistry(const std::string& uri, RegistryError& error);

// The URI without its password (in the user part or as a parameter), as it may be shown.
std::string PostgresLocationWithoutPassword(const std::string& uri);

}  // namespace varnel
