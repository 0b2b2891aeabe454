#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace varnel::test {

// One backend the contract cases run against. A new backend adds one entry to the list in
// RegistryBackends.cpp (and whatever fixture it needs to give fresh locations).
struct RegistryBackend {
    std::string name;  // the case name's suffix: letters, digits and '_' only
    // A location for a fresh, empty registry, for one case only (a new file, a new database).
    std::function<std::string()> freshLocation;
    // Runs sql on the registry at location behind its back (how a case plays a newer program
    // having been there); false with error set when it could not.
    std::function<bool(const std::string& location, const std::string& sql, std::string& error)>
        execute;
};

const std::vector<RegistryBackend>& RegistryBackends();

// How a failing case names its backend.
inline void PrintTo(const RegistryBackend& backend, std::ostream* out) {
    *out << backend.name;
}

// A new empty folder under this test process's scratch folder (removed when the process ends).
std::string ScratchFolder();

// Runs sql on an SQLite file directly.
bool ExecuteSqlite(const std::string& path, const std::string& sql, std::string& error);

}  // namespace varnel::test
