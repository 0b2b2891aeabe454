#pragma once

#include <cstddef>
#include <functional>
#include <span>

#include "templates/CommandMap.h"

namespace varnel {

// The main window's shell as data, the same for every window that draws it: its menus, keys,
// toolbar, status panes and the application's commands.

struct MenuItemDefinition {
    int command;       // 0 for a separator
    const char* text;  // "&" marks the access key
};

struct MenuDefinition {
    const char* title;
    std::span<const MenuItemDefinition> items;
};

// Menu 128 as it is defined; start-up trims it (MenuTrim).
std::span<const MenuDefinition> Menu128();
// The View commands that show a check mark: the bar they toggle is shown.
bool IsToggleCommand(int command);

// What start-up takes away from menu 128: the Regional ID command stays routed but is offered
// nowhere, help topics do not exist, and the separator under them, then the first entry of the
// menu of leadingSeparatorOf, goes too.
struct MenuTrimDefinition {
    std::span<const int> commands;
    int leadingSeparatorOf;
};
MenuTrimDefinition MenuTrim();

enum class ShellKey { F1, F6 };

struct AcceleratorDefinition {
    ShellKey key;
    bool shift;
    int command;
};

// The main window's keys.
std::span<const AcceleratorDefinition> Accelerators();
// The toolbar's buttons, in the order of their pictures.
std::span<const int> ToolbarCommands();

enum class LockKey { Caps, Num, Scroll };

// A status pane after the message pane: its text (a string id), shown while its key is locked.
struct IndicatorDefinition {
    int textId;
    LockKey key;
};
inline constexpr std::size_t kIndicatorCount = 3;
std::span<const IndicatorDefinition, kIndicatorCount> Indicators();

// What each window does for the application's commands.
struct AppCommandHandlers {
    std::function<void()> about;
    std::function<void()> radioInfo;
    std::function<void()> programEsn;
    std::function<void()> configuration;
    std::function<void()> programRegionalId;
    std::function<void()> esnRegistry;
    std::function<void()> productionLine;
    // Closes the main window, which ends the window's loop.
    std::function<void()> exit;
};

// Routes the application's commands to handlers, in the order of its message map.
void AddAppCommands(CCommandMap& map, AppCommandHandlers handlers);

}  // namespace varnel
