#pragma once

#include "win32/Win32Api.h"

#include <span>

namespace varnel::win32 {

struct MenuItemDefinition {
    int command;       // 0 for a separator
    const char* text;  // "&" marks the access key
};

struct MenuDefinition {
    const char* title;
    std::span<const MenuItemDefinition> items;
};

// Menu 128 as it is defined; start-up trims it.
std::span<const MenuDefinition> Menu128();

// The menu bar of the definition; null when it cannot be made.
HMENU CreateMenuBar(std::span<const MenuDefinition> definition);

// What start-up takes away: the Regional ID command stays routed but is offered nowhere, help
// topics do not exist, and the separator under them, now the first entry of "&Help", goes too.
void TrimMenu(HMENU menuBar);

}  // namespace varnel::win32
