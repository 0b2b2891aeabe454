#pragma once

#include <optional>

#include "templates/WindowShell.h"

namespace varnel {

// Whether a lock key is on, where the platform tells it; nullopt where it does not (Qt itself
// offers no way to ask).
std::optional<bool> IsLockOn(LockKey key);

}  // namespace varnel
