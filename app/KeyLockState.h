#pragma once

#include <optional>

namespace varnel {

enum class LockKey { Caps, Num, Scroll };

// Whether a lock key is on, where the platform tells it; nullopt where it does not (Qt itself
// offers no way to ask).
std::optional<bool> IsLockOn(LockKey key);

}  // namespace varnel
