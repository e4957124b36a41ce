// The command table: every command once, with its identity, its vizorka-cli spelling,
// its handler, and when its menu item is enabled. The window dispatches through it (its
// menu numbers map to the identities in app/win32), vizorka-cli parses through it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "converter/commands/command_host.h"
#include "converter/commands/command_id.h"
#include "converter/commands/commands.h"
#include "converter/model/app_state.h"

namespace vz {

// A command-line value, parsed before anything runs; also the path Open is given.
struct StepValue {
  std::string text;              // as given (a file name)
  std::vector<int64_t> numbers;  // the numbers of a numeric value
};

struct CommandCall {
  AppState& state;
  CommandHost& host;
  int argument;            // the table row's own argument
  const StepValue* value;  // the command line's value (or Open's path); null from the menu
};

using CommandHandler = CommandResult (*)(CommandCall& call);

// When a menu item is enabled, and in a few words what it needs otherwise.
struct EnablingRule {
  bool (*holds)(const AppState& state) = nullptr;  // nullptr: always
  const char* requirement = "";
};
// Checks and parses an option's value; false with the reason in `error`.
using ValueParser = bool (*)(const std::string& text, StepValue& value, std::string& error);

struct Command {
  CommandId id;
  CommandHandler run;
  int argument = 0;
  EnablingRule enabled;
  const char* option = nullptr;  // the vizorka-cli option; nullptr for the menu only
  // The value that selects this row among the rows of its option ("16" of --dither);
  // nullptr when the option takes a parsed value or none.
  const char* word = nullptr;
  ValueParser parse = nullptr;      // nullptr: no value (or a word)
  const char* valueHint = nullptr;  // the value in the usage text ("FILE")
  const char* help = nullptr;       // the usage text (on an option's first row)
  bool writesFile = false;          // the value names a file the command writes

  Command(CommandId identity, CommandHandler handler) : id(identity), run(handler) {}
  Command& withArgument(int value) {
    argument = value;
    return *this;
  }
  Command& enabledWhen(const EnablingRule& rule) {
    enabled = rule;
    return *this;
  }
  // An option selected by one of its words: "--dither" "16".
  Command& onCommandLine(const char* name, const char* selectingWord) {
    option = name;
    word = selectingWord;
    return *this;
  }
  // An option with a value, or none (parser nullptr).
  Command& onCommandLine(const char* name, ValueParser parser = nullptr,
                         const char* hint = nullptr) {
    option = name;
    parse = parser;
    valueHint = hint;
    return *this;
  }
  Command& explained(const char* text) {
    help = text;
    return *this;
  }
  Command& writingItsFile() {
    writesFile = true;
    return *this;
  }
};

const std::vector<Command>& commandTable();

// The row of a command.
const Command& commandRow(CommandId id);

// Whether the menu item (and its shortcut) is enabled now.
bool commandEnabled(const Command& command, const AppState& state);
bool commandEnabled(CommandId id, const AppState& state);

// Runs a command as the window does, keeping the undo history. `value` is Open's path
// (a dropped file, the program's argument) or null.
CommandResult runWindowCommand(AppState& state, CommandHost& host, CommandId id,
                               const StepValue* value = nullptr);

// Runs a row with a command-line value.
CommandResult runCommandStep(AppState& state, CommandHost& host, const Command& command,
                             const StepValue& value);

}  // namespace vz
