#pragma once

#include "win32/Win32Api.h"

#include <functional>
#include <optional>
#include <vector>

#include "procedures/PortList.h"

namespace varnel::win32 {

// A drop-down list of COM ports as the dialogs that choose a port show it: each port offered
// (offers decides) under its name, with its index kept as the entry's data, and the entry of
// chosenIndex selected (none when that port is not offered).
void FillPortChoice(HWND list, const std::vector<PortEntry>& ports, int chosenIndex,
                    const std::function<bool(const PortEntry&)>& offers);

// The index of the port the list shows chosen, or none when nothing is chosen.
std::optional<int> ChosenPortIndex(HWND list);

}  // namespace varnel::win32
