// vizorka-cli: the converter's commands, headless. Opens one picture, runs the steps
// given on the command line left to right, and reports or writes the result. The steps
// are the command table's command-line spellings.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "base/utf16.h"
#include "converter/commands/command_table.h"
#include "converter/model/app_state.h"
#include "converter/model/file_io.h"
#include "converter/resources/resource.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitNoPicture = 1;
constexpr int kExitUsage = 2;
constexpr int kExitWriteFailed = 3;

class CliHost : public vz::CommandHost, public vz::UserPrompts {
 public:
  explicit CliHost(bool readUnknownAsKep) : readUnknownAsKep_(readUnknownAsKep) {}

  vz::UserPrompts& prompts() override { return *this; }
  void writeLine(const std::string& line) override { std::cout << line << "\n"; }
  void showError(const std::string& text, const std::string& caption) override {
    std::cerr << caption << ": " << text << "\n";
  }
  // The only question is whether to read an unknown extension as a KEP file.
  bool askYesNo(const std::string& text, const std::string& caption) override {
    if (!readUnknownAsKep_)
      std::cerr << caption << ": " << text << "\n(give --as-kep to read it as a KEP file)\n";
    return readUnknownAsKep_;
  }

 private:
  bool readUnknownAsKep_;
};

struct Step {
  const vz::Command* command;
  vz::StepValue value;
};

struct CommandLine {
  std::string input;
  bool readUnknownAsKep = false;
  std::vector<Step> steps;
};

// The rows of an option, in table order.
std::vector<const vz::Command*> rowsOf(const std::string& option) {
  std::vector<const vz::Command*> rows;
  for (const vz::Command& command : vz::commandTable())
    if (command.option && option == command.option) rows.push_back(&command);
  return rows;
}

std::string wordsOf(const std::vector<const vz::Command*>& rows) {
  std::string words;
  for (const vz::Command* row : rows) words += (words.empty() ? "" : "|") + std::string(row->word);
  return words;
}

std::string usage() {
  std::string text =
      "Usage: vizorka-cli INPUT [STEP]...\n"
      "       vizorka-cli --help\n"
      "Opens INPUT (BMP, PCX, GIF, JPG, KEP, VID, R16) and runs the steps left to right,\n"
      "starting from the program's start settings.\n";
  const auto line = [&text](const std::string& spelling, const std::string& help) {
    text += "  " + spelling + std::string(spelling.size() < 33 ? 33 - spelling.size() : 1, ' ') +
            help + "\n";
  };
  line("--as-kep", "read an unknown extension as a 4-colour KEP file");
  std::vector<std::string> listed;
  for (const vz::Command& command : vz::commandTable()) {
    if (!command.option || !command.help) continue;
    const std::vector<const vz::Command*> rows = rowsOf(command.option);
    std::string spelling = command.option;
    if (command.word)
      spelling += " " + wordsOf(rows);
    else if (command.valueHint)
      spelling += " " + std::string(command.valueHint);
    line(spelling, command.help);
  }
  return text +
         "Exit status: 0 done, 1 no picture in INPUT (or no memory for a resized one), 2 usage "
         "error, 3 a file could not be written.\n";
}

// Reads the command line; false with the reason when it is not a valid one.
bool parseCommandLine(const std::vector<std::string>& args, CommandLine& parsed,
                      std::string& error) {
  if (args.empty() || args[0].empty() || args[0].rfind("--", 0) == 0) {
    error = "the first argument must be the input file";
    return false;
  }
  parsed.input = args[0];
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option == "--as-kep") {
      parsed.readUnknownAsKep = true;
      continue;
    }
    const std::vector<const vz::Command*> rows = rowsOf(option);
    if (rows.empty()) {
      error = "unknown option: " + option;
      return false;
    }
    const vz::Command* row = rows.front();
    Step step{row, {}};
    if (row->word || row->parse) {
      if (i + 1 >= args.size()) {
        error = option + ": missing value";
        return false;
      }
      const std::string& value = args[++i];
      if (row->word) {
        step.command = nullptr;
        for (const vz::Command* candidate : rows)
          if (value == candidate->word) step.command = candidate;
        if (!step.command) {
          error = option + ": expected " + wordsOf(rows);
          return false;
        }
      } else if (std::string reason; !row->parse(value, step.value, reason)) {
        error = option + ": " + reason;
        return false;
      }
    }
    parsed.steps.push_back(step);
  }
  return true;
}

int exitStatusOf(vz::CommandOutcome outcome) {
  switch (outcome) {
    case vz::CommandOutcome::kNoPicture:
      return kExitNoPicture;
    case vz::CommandOutcome::kWriteFailed:
      return kExitWriteFailed;
    default:
      return kExitOk;
  }
}

int run(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") {
      std::cout << usage();
      return kExitOk;
    }
  }
  CommandLine commandLine;
  std::string error;
  if (!parseCommandLine(args, commandLine, error)) {
    std::cerr << "vizorka-cli: " << error << "\n\n" << usage();
    return kExitUsage;
  }

  CliHost host(commandLine.readUnknownAsKep);
  auto state = std::make_unique<vz::AppState>();
  vz::StepValue input;
  input.text = commandLine.input;
  vz::runCommandStep(*state, host, *vz::menuCommand(ID_FILE_OPEN), input);
  if (!state->document.holdsPicture()) {
    std::cerr << "vizorka-cli: " << commandLine.input << " gives no picture\n";
    return kExitNoPicture;
  }
  for (const Step& step : commandLine.steps) {
    const int status =
        exitStatusOf(vz::runCommandStep(*state, host, *step.command, step.value).outcome);
    if (status != kExitOk) return status;
  }
  return kExitOk;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(vz::wideToUtf8(argv[i]));
  return run(args);
}
#else
int main(int argc, char** argv) {
  return run(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
