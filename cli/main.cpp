// vizorka-cli: the converter's commands, headless. Opens a picture, runs the steps given
// on the command line left to right, and reports or writes the result; in batch mode it
// does so for many pictures at once. The steps are the command table's spellings.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "base/utf16.h"
#include "converter/commands/command_table.h"
#include "converter/formats/tvc/kep_writer.h"
#include "converter/model/app_state.h"
#include "converter/resources/resource.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitNoPicture = 1;
constexpr int kExitUsage = 2;
constexpr int kExitWriteFailed = 3;

class CliHost : public vz::CommandHost, public vz::UserPrompts {
 public:
  // Messages go to `errors`, each after `prefix` (the input's path in batch mode).
  CliHost(bool readUnknownAsKep, std::ostream& output, std::ostream& errors, std::string prefix)
      : readUnknownAsKep_(readUnknownAsKep),
        output_(output),
        errors_(errors),
        prefix_(std::move(prefix)) {}

  vz::UserPrompts& prompts() override { return *this; }
  void writeLine(const std::string& line) override { output_ << line << "\n"; }
  void showError(const std::string& text, const std::string& caption) override {
    errors_ << prefix_ << caption << ": " << text << "\n";
  }
  // The only question is whether to read an unknown extension as a KEP file.
  bool askYesNo(const std::string& text, const std::string& caption) override {
    if (!readUnknownAsKep_)
      errors_ << prefix_ << caption << ": " << text
              << "\n(give --as-kep to read it as a KEP file)\n";
    return readUnknownAsKep_;
  }
  void report(const std::string& text) { errors_ << "vizorka-cli: " << text << "\n"; }

 private:
  bool readUnknownAsKep_;
  std::ostream& output_;
  std::ostream& errors_;
  std::string prefix_;
};

struct Step {
  const vz::Command* command;
  vz::StepValue value;
};

struct CommandLine {
  bool batch = false;
  unsigned jobs = 0;  // 0: one per hardware thread
  bool readUnknownAsKep = false;
  std::vector<Step> steps;
  std::vector<std::string> inputs;
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
      "       vizorka-cli --batch [--jobs N] [STEP]... -- INPUT...\n"
      "       vizorka-cli --help\n"
      "Opens INPUT (BMP, PCX, GIF, JPG, PNG, KEP, VID, R16) and runs the steps left to right,\n"
      "starting from the program's start settings. --batch does so for every INPUT, N at a\n"
      "time, each on one thread (default: the inputs share every hardware thread); in file\n"
      "names {name} stands for the input's name without folder and extension.\n";
  const auto line = [&text](const std::string& spelling, const std::string& help) {
    text += "  " + spelling + std::string(spelling.size() < 33 ? 33 - spelling.size() : 1, ' ') +
            help + "\n";
  };
  line("--as-kep", "read an unknown extension as a 4-colour KEP file");
  for (const vz::Command& command : vz::commandTable()) {
    if (!command.option || !command.help) continue;
    std::string spelling = command.option;
    if (command.word)
      spelling += " " + wordsOf(rowsOf(command.option));
    else if (command.valueHint)
      spelling += " " + std::string(command.valueHint);
    line(spelling, command.help);
  }
  return text +
         "Exit status: 0 done, 1 no picture in INPUT (or no memory for a resized one), 2 usage "
         "error, 3 a file could not be written.\n";
}

// Reads one step at args[i] (moving i past its value); false with the reason.
bool parseStep(const std::vector<std::string>& args, size_t& i, CommandLine& parsed,
               std::string& error) {
  const std::string& option = args[i];
  if (option == "--as-kep") {
    parsed.readUnknownAsKep = true;
    return true;
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
  return true;
}

bool parseJobs(const std::string& text, unsigned& jobs) {
  if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  jobs = static_cast<unsigned>(std::stoul(text));
  return jobs > 0;
}

// Reads the command line; false with the reason when it is not a valid one.
bool parseCommandLine(const std::vector<std::string>& args, CommandLine& parsed,
                      std::string& error) {
  if (!args.empty() && args[0] == "--batch") {
    parsed.batch = true;
    size_t i = 1;
    for (; i < args.size() && args[i] != "--"; ++i) {
      if (args[i] == "--jobs") {
        if (i + 1 >= args.size() || !parseJobs(args[i + 1], parsed.jobs)) {
          error = "--jobs: expected a positive number";
          return false;
        }
        ++i;
      } else if (args[i].rfind("--", 0) != 0) {
        error = "--batch: the inputs follow \"--\"";
        return false;
      } else if (!parseStep(args, i, parsed, error)) {
        return false;
      }
    }
    if (i >= args.size()) {
      error = "--batch: the inputs follow \"--\"";
      return false;
    }
    parsed.inputs.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
    if (parsed.inputs.empty()) {
      error = "--batch: no inputs after \"--\"";
      return false;
    }
    return true;
  }
  if (args.empty() || args[0].empty() || args[0].rfind("--", 0) == 0) {
    error = "the first argument must be the input file";
    return false;
  }
  parsed.inputs = {args[0]};
  for (size_t i = 1; i < args.size(); ++i)
    if (!parseStep(args, i, parsed, error)) return false;
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

// The input's file name without its folder and extension.
std::string nameOf(const std::string& input) {
  const std::string file = vz::fileNameOf(input);
  const size_t dot = file.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? file : file.substr(0, dot);
}

// The steps for one input of a batch: {name} replaced in the names of written files.
std::vector<Step> stepsFor(const std::vector<Step>& steps, const std::string& input) {
  std::vector<Step> own = steps;
  const std::string name = nameOf(input);
  for (Step& step : own) {
    if (!vz::writesNamedFile(*step.command)) continue;
    std::string& text = step.value.text;
    for (size_t at = text.find("{name}"); at != std::string::npos;
         at = text.find("{name}", at + name.size()))
      text.replace(at, 6, name);
  }
  return own;
}

// Opens the input and runs the steps, each conversion on `threads` threads (0: one per
// hardware thread); the exit status a single run would give.
int convert(const std::string& input, const std::vector<Step>& steps, unsigned threads,
            CliHost& host) {
  auto state = std::make_unique<vz::AppState>();
  state->conversionThreads = threads;
  vz::StepValue value;
  value.text = input;
  vz::runCommandStep(*state, host, *vz::menuCommand(ID_FILE_OPEN), value);
  if (!state->document.holdsPicture()) {
    host.report(input + " gives no picture");
    return kExitNoPicture;
  }
  for (const Step& step : steps) {
    const int status =
        exitStatusOf(vz::runCommandStep(*state, host, *step.command, step.value).outcome);
    if (status != kExitOk) return status;
  }
  return kExitOk;
}

// A path as one file is known by, so that two spellings of it compare equal.
std::string fileKey(const std::string& path) {
  std::error_code ignored;
  std::string key = std::filesystem::absolute(std::filesystem::u8path(path), ignored)
                        .lexically_normal()
                        .u8string();
#ifdef _WIN32
  std::transform(key.begin(), key.end(), key.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
#endif
  return key;
}

// Two inputs writing one file, or a step writing over an input, are refused up front.
bool checkOutputs(const CommandLine& commandLine, std::string& error) {
  std::set<std::string> inputs;
  for (const std::string& input : commandLine.inputs) inputs.insert(fileKey(input));
  std::set<std::string> written;
  for (const std::string& input : commandLine.inputs) {
    std::set<std::string> own;
    for (const Step& step : stepsFor(commandLine.steps, input)) {
      if (!vz::writesNamedFile(*step.command)) continue;
      std::vector<std::string> files = {step.value.text};
      // A save may write a palette file beside the picture.
      if (step.command->menuId == ID_FILE_SAVE_AS)
        files.push_back(vz::palettePathFor(step.value.text));
      for (const std::string& file : files) {
        const std::string key = fileKey(file);
        if (inputs.count(key)) {
          error = file + " would overwrite an input";
          return false;
        }
        if (written.count(key) && !own.count(key)) {
          error = "two inputs would write " + file;
          return false;
        }
        own.insert(key);
      }
    }
    written.insert(own.begin(), own.end());
  }
  return true;
}

bool stderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

struct BatchResult {
  bool done = false;
  int status = kExitOk;
  std::string output;
  std::string errors;
};

int runBatch(const CommandLine& commandLine) {
  const size_t count = commandLine.inputs.size();
  const unsigned hardware = std::max(1u, std::thread::hardware_concurrency());
  unsigned jobs = commandLine.jobs ? commandLine.jobs : hardware;
  jobs = static_cast<unsigned>(std::clamp<size_t>(jobs, 1, count));
  // --jobs N converts N inputs at once, each on one thread. By default the inputs share
  // the hardware threads; when there are fewer inputs than threads, each takes its share.
  const unsigned threads = commandLine.jobs ? 1 : std::max(1u, hardware / jobs);

  std::vector<BatchResult> results(count);
  std::mutex mutex;
  std::condition_variable finished;
  std::atomic<size_t> next{0};
  const auto work = [&] {
    for (size_t i = next++; i < count; i = next++) {
      std::ostringstream output, errors;
      const std::string& input = commandLine.inputs[i];
      CliHost host(commandLine.readUnknownAsKep, output, errors, input + ": ");
      const int status = convert(input, stepsFor(commandLine.steps, input), threads, host);
      std::lock_guard<std::mutex> lock(mutex);
      results[i] = {true, status, output.str(), errors.str()};
      finished.notify_one();
    }
  };
  std::vector<std::thread> workers;
  for (unsigned j = 0; j < jobs; ++j) workers.emplace_back(work);

  // Reports go out in input order, whatever order the inputs finish in.
  const bool terminal = stderrIsTerminal();
  const auto start = std::chrono::steady_clock::now();
  const auto seconds = [&start] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  size_t reported = 0, failed = 0;
  int status = kExitOk;
  while (reported < count) {
    std::unique_lock<std::mutex> lock(mutex);
    finished.wait_for(lock, std::chrono::milliseconds(200), [&] { return results[reported].done; });
    bool progress = false;
    for (; reported < count && results[reported].done; ++reported, progress = true) {
      BatchResult& result = results[reported];
      std::cout << result.output << std::flush;
      if (terminal && !result.errors.empty()) std::cerr << "\r\x1b[K";
      std::cerr << result.errors;
      if (result.status != kExitOk) ++failed;
      status = std::max(status, result.status);  // 3 (not written) before 1 (no picture)
      result.output.clear();
      result.errors.clear();
    }
    if (terminal && (progress || reported < count)) {
      const double elapsed = seconds();
      std::fprintf(stderr, "\r%zu/%zu done, %zu failed, %.1f s, %.1f pictures/s\x1b[K", reported,
                   count, failed, elapsed, elapsed > 0 ? reported / elapsed : 0.0);
      std::fflush(stderr);
    }
  }
  for (std::thread& worker : workers) worker.join();
  if (terminal) std::cerr << "\n";
  char summary[128];
  std::snprintf(summary, sizeof summary, "vizorka-cli: %zu converted, %zu failed, %.1f s\n",
                count - failed, failed, seconds());
  std::cerr << summary;
  return status;
}

int run(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--") break;
    if (arg == "--help" || arg == "-h") {
      std::cout << usage();
      return kExitOk;
    }
  }
  CommandLine commandLine;
  std::string error;
  if (!parseCommandLine(args, commandLine, error) ||
      (commandLine.batch && !checkOutputs(commandLine, error))) {
    std::cerr << "vizorka-cli: " << error << "\n\n" << usage();
    return kExitUsage;
  }
  if (commandLine.batch) return runBatch(commandLine);
  CliHost host(commandLine.readUnknownAsKep, std::cout, std::cerr, "");
  return convert(commandLine.inputs[0], commandLine.steps, 0, host);
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
