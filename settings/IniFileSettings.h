#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "settings/SettingsStore.h"

namespace varnel {

// The settings file of this user, $XDG_CONFIG_HOME/Tessaran/Varnel.conf ($HOME/.config when
// XDG_CONFIG_HOME is not set): where QSettings("Tessaran", "Varnel") keeps it too.
std::string UserSettingsFilePath();

// The settings in the INI file at path. It is read afresh at every call, so an edit made while
// the program runs counts at once. A write locks the folder against the other writers of this
// store, writes the whole new text beside the file, checks every step (write, flush to disk,
// close) and only then renames it over the old one: a full disk or a crash leaves the old file
// byte for byte as it was. A writer that holds the lock longer than lockWait has hung, and the
// write is refused instead of waiting on it.
std::unique_ptr<SettingsStore> OpenIniFileSettings(
    std::string path, std::chrono::milliseconds lockWait = std::chrono::seconds(5));

}  // namespace varnel
