#pragma once

#include <string>

namespace varnel {

// The location every front end reserves its ESNs in, given the one named (by the settings, or by
// a command line): that one, blanks around it removed, else the embedded default.
std::string RegistryLocationInForce(const std::string& named);

}  // namespace varnel
