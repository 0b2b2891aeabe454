#pragma once

#include "win32/Win32Api.h"

#include <span>

#include "templates/WindowShell.h"

namespace varnel::win32 {

// The menu bar of the definition; null when it cannot be made.
HMENU CreateMenuBar(std::span<const MenuDefinition> definition);

// Takes from the menu bar what start-up takes away (MenuTrim).
void TrimMenu(HMENU menuBar);

}  // namespace varnel::win32
