// The command table: every command once, with its menu identifier (from the resource
// header the menu is built from), its vizorka-cli spelling, its handler, and when its
// menu item is enabled. The window dispatches through it, vizorka-cli parses through it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "converter/commands/command_host.h"
#include "converter/commands/commands.h"
#include "converter/model/app_state.h"

namespace vz {

// A command-line value, parsed before anything runs.
struct StepValue {
  std::string text;              // as given (a file name)
  std::vector<int64_t> numbers;  // the numbers of a numeric value
};

struct CommandCall {
  AppState& state;
  CommandHost& host;
  int argument;            // the table row's own argument
  const StepValue* value;  // the command line's value; null when run from the menu
};

struct Command {
  int menuId;          // the menu item, or 0 for a command-line step only
  const char* option;  // the vizorka-cli option, or nullptr for the menu only
  // The value that selects this row among the rows of its option ("16" of --dither),
  // or nullptr when the option takes a parsed value or none.
  const char* word;
  // Checks and parses the option's value; nullptr when it takes none (or a word). On
  // failure returns false with the reason in `error`.
  bool (*parse)(const std::string& text, StepValue& value, std::string& error);
  const char* valueHint;  // the value in the usage text ("FILE"); words list themselves
  const char* help;       // the usage text's explanation (on an option's first row)
  ViewUpdate (*run)(CommandCall& call);
  int argument;
  bool (*enabled)(const AppState& state);  // nullptr: always enabled
};

const std::vector<Command>& commandTable();

// The row of a menu identifier, or nullptr.
const Command* menuCommand(int menuId);

// Whether the menu item (and its shortcut) is enabled now.
bool commandEnabled(const Command& command, const AppState& state);

// Runs the command of a menu identifier as the menu does, keeping the undo history;
// unknown identifiers do nothing.
ViewUpdate runMenuCommand(AppState& state, CommandHost& host, int menuId);

// Whether the row's value is the name of a file the command writes.
bool writesNamedFile(const Command& command);

// Runs a row with a command-line value.
ViewUpdate runCommandStep(AppState& state, CommandHost& host, const Command& command,
                          const StepValue& value);

}  // namespace vz
