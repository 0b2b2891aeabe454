#pragma once

#include <memory>
#include <string>

#include "cli/Settings.h"

namespace varnel::cli {

// Windows only: the application's settings in the registry of the current user, under keyPath
// (the application's own is Software\Tessaran\Varnel): the port index is the value SerialPort
// of the subkey Options. There is no port mapping: a Windows user picks COMn itself, and every
// port is its own device, \\.\COMn.
std::unique_ptr<ISettings> OpenRegistrySettings(const std::string& keyPath);

}  // namespace varnel::cli
