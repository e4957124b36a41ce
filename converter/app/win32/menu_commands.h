// The menu items' numbers (resource.h) and the commands they run. Kept free of
// <windows.h>, so that the unit tests can hold the menu and the command table together.
#pragma once

#include <utility>
#include <vector>

#include "converter/commands/command_id.h"

namespace vz {

// Every menu item and its command.
const std::vector<std::pair<int, CommandId>>& menuCommands();

// The command of a menu number; false for a number that is no menu item.
bool commandOfMenuItem(int menuId, CommandId& id);

// The menu number of a command; 0 for a command-line step that has no menu item.
int menuItemOf(CommandId id);

}  // namespace vz
