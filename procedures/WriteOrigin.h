#pragma once

#include <string>

#include "registry/EsnRegistry.h"

namespace varnel {

// Who writes from this machine: the host name as the station, the operating-system user, and
// port as the user named it. A name that cannot be found is left empty.
WriteOrigin LocalWriteOrigin(const std::string& port = {});

}  // namespace varnel
