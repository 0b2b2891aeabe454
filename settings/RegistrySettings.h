#pragma once

#include <memory>
#include <string>

#include "settings/SettingsStore.h"

namespace varnel {

// Windows only: the settings under the current user's registry key keyPath (UTF-8; the
// application's own is Software\Tessaran\Varnel), one subkey per group. A DWORD or QWORD value
// reads as its decimal text and a REG_SZ or REG_EXPAND_SZ as its text, so that a value means
// the same whichever way it was stored; anything else (binary data) holds no text. An integer
// is written as a DWORD.
std::unique_ptr<SettingsStore> OpenRegistrySettings(const std::string& keyPath);

}  // namespace varnel
