#include "registry/PostgresRegistry.h"

namespace varnel {

// Builds without the PostgreSQL client library (the Windows build among them) keep to SQLite.
std::unique_ptr<IEsnRegistry> OpenPostgresRegistry(const std::string& uri, RegistryError& error) {
    (void)uri;
    error = RegistryError{};
    error.message =
        "This build of Varnel cannot use a PostgreSQL registry: it was built without the "
        "PostgreSQL client library. Nothing was sent to the radio. Use an SQLite registry file "
        "here, or a build with PostgreSQL support.";
    return nullptr;
}

}  // namespace varnel
