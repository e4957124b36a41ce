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

#include "base/file_identity.h"
#include "base/file_write.h"
#include "base/memory_budget.h"
#include "base/utf16.h"
#include "converter/commands/command_table.h"
#include "converter/formats/picture_formats.h"
#include "converter/formats/tvc/kep_writer.h"
#include "converter/model/app_state.h"
#include "converter/model/file_io.h"

namespace {

// Exit statuses; where several apply, the highest wins.
constexpr int kExitOk = 0;
constexpr int kExitNoPicture = 1;
constexpr int kExitUsage = 2;
constexpr int kExitWriteFailed = 3;
constexpr int kExitCannotRun = 4;
constexpr int kExitDamaged = 5;

// The command line's side of the commands: no dialogs and no message boxes. The window's
// Hungarian messages are not printed; every failure comes back as a status, which the
// steps' loop reports in English.
class CliHost : public vz::CommandHost, public vz::UserPrompts {
 public:
  CliHost(bool readUnknownAsKep, std::ostream& output)
      : readUnknownAsKep_(readUnknownAsKep), output_(output) {}

  vz::UserPrompts& prompts() override { return *this; }
  void writeLine(const std::string& line) override { output_ << line << "\n"; }
  void showError(const std::string&, const std::string&) override {}
  // The only question is whether to read an unknown extension as a KEP file.
  bool askYesNo(const std::string&, const std::string&) override { return readUnknownAsKep_; }

 private:
  bool readUnknownAsKep_;
  std::ostream& output_;
};

struct Step {
  const vz::Command* command;
  vz::StepValue value;
};

struct CommandLine {
  bool batch = false;
  unsigned jobs = 0;  // 0: one per hardware thread
  bool readUnknownAsKep = false;
  vz::ReadOptions readOptions;
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
      "Opens INPUT (BMP, PCX, GIF, JPEG, PNG, KEP, VID, R16: by its content where it has a\n"
      "signature, else by its extension) and runs the steps left to right, starting from the\n"
      "program's start settings. --batch does so for every INPUT, N at a time, each on one\n"
      "thread (default: the inputs share every hardware thread); in file names {name} stands\n"
      "for the input's name without folder and extension.\n";
  // An option too wide for the column has its words on the next line, in the column.
  const auto line = [&text](const std::string& spelling, const std::string& help) {
    constexpr size_t kColumn = 33;
    text += "  " + spelling +
            (spelling.size() < kColumn ? std::string(kColumn - spelling.size(), ' ')
                                       : "\n" + std::string(kColumn + 2, ' ')) +
            help + "\n";
  };
  line("--as-kep", "read an unknown extension as a 4-colour KEP file");
  line("--max-pixels N", "refuse pictures of more than N pixels (default 268435456)");
  line("--orientation apply|keep", "turn photos upright by their EXIF orientation, or not");
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
         "Exit status (where several apply, the highest): 0 every step ran; 1 INPUT gives no\n"
         "picture; 2 usage error, or an output would overwrite an input; 3 a file could not be\n"
         "written; 4 a step cannot run on this picture (nothing after it runs); 5 INPUT was\n"
         "damaged: part of the picture was kept, the steps ran.\n";
}

bool parseCount(const std::string& text, size_t maxDigits, int64_t& number) {
  if (text.empty() || text.size() > maxDigits ||
      text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  number = std::stoll(text);
  return number > 0;
}

// Reads one step or program option at args[i] (moving i past its value); false with the
// reason.
bool parseStep(const std::vector<std::string>& args, size_t& i, CommandLine& parsed,
               std::string& error) {
  const std::string& option = args[i];
  if (option == "--as-kep") {
    parsed.readUnknownAsKep = true;
    return true;
  }
  if (option == "--max-pixels" || option == "--orientation") {
    if (i + 1 >= args.size()) {
      error = option + ": missing value";
      return false;
    }
    const std::string& value = args[++i];
    int64_t pixels = 0;
    if (option == "--max-pixels" && parseCount(value, 18, pixels)) {
      parsed.readOptions.maxPixels = pixels;
      return true;
    }
    if (option == "--orientation" && (value == "apply" || value == "keep")) {
      parsed.readOptions.applyOrientation = value == "apply";
      return true;
    }
    error = option == "--max-pixels" ? "--max-pixels: expected a positive number"
                                     : "--orientation: expected apply or keep";
    return false;
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

// Reads the command line; false with the reason when it is not a valid one.
bool parseCommandLine(const std::vector<std::string>& args, CommandLine& parsed,
                      std::string& error) {
  if (!args.empty() && args[0] == "--batch") {
    parsed.batch = true;
    size_t i = 1;
    for (; i < args.size() && args[i] != "--"; ++i) {
      if (args[i] == "--jobs") {
        int64_t jobs = 0;
        if (i + 1 >= args.size() || !parseCount(args[i + 1], 4, jobs)) {
          error = "--jobs: expected a positive number";
          return false;
        }
        parsed.jobs = static_cast<unsigned>(jobs);
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

// The input's file name without its folder and its last extension.
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
    if (!step.command->writesFile) continue;
    std::string& text = step.value.text;
    for (size_t at = text.find("{name}"); at != std::string::npos;
         at = text.find("{name}", at + name.size()))
      text.replace(at, 6, name);
  }
  return own;
}

// The exit status of a step that did not run through.
int exitStatusOfStep(const vz::Command& command, const vz::Status& status) {
  switch (status.code()) {
    case vz::StatusCode::kOk:
      return kExitOk;
    case vz::StatusCode::kOverwritesInput:
      return kExitUsage;
    case vz::StatusCode::kNotApplicable:
      return kExitCannotRun;
    default:
      return command.writesFile ? kExitWriteFailed : kExitCannotRun;
  }
}

// Opens the input and runs the steps, each conversion on `threads` threads (0: one per
// hardware thread). Failures go to `errors`, one line each; the exit status a single run
// would give.
int convert(const std::string& input, const CommandLine& commandLine,
            const std::vector<Step>& steps, unsigned threads, std::ostream& output,
            std::ostream& errors) {
  CliHost host(commandLine.readUnknownAsKep, output);
  auto state = std::make_unique<vz::AppState>();
  state->conversionThreads = threads;
  state->readOptions = commandLine.readOptions;
  vz::StepValue path;
  path.text = input;
  const vz::Status opened =
      vz::runCommandStep(*state, host, vz::commandRow(vz::CommandId::kOpen), path).status;
  if (!vz::givesPicture(opened)) {
    std::string reason = opened.reason();
    if (opened == vz::StatusCode::kUnsupported && !commandLine.readUnknownAsKep &&
        reason.rfind("unknown format", 0) == 0)
      reason += " (give --as-kep to read it as a KEP file)";
    errors << "vizorka-cli: " << input << ": " << reason << "\n";
    return kExitNoPicture;
  }
  int status = kExitOk;
  if (opened == vz::StatusCode::kPartial) {
    errors << "vizorka-cli: " << input << ": " << opened.reason() << "\n";
    status = kExitDamaged;
  }
  for (const Step& step : steps) {
    const vz::Status result = vz::runCommandStep(*state, host, *step.command, step.value).status;
    if (result.ok()) continue;
    // A file that could not be written is named; a step that could not run, by its option.
    const bool writing = step.command->writesFile && result != vz::StatusCode::kNotApplicable;
    const std::string subject = writing ? step.value.text : std::string(step.command->option);
    errors << "vizorka-cli: " << subject << ": " << result.reason() << "\n";
    return std::max(status, exitStatusOfStep(*step.command, result));
  }
  return status;
}

// The names a step may write: its file, and for a save the palette file beside it.
std::vector<std::string> filesWritten(const Step& step) {
  if (!step.command->writesFile || vz::namesStandardOutput(step.value.text)) return {};
  if (step.command->id == vz::CommandId::kSaveAs)
    return {step.value.text, vz::palettePathFor(step.value.text)};
  return {step.value.text};
}

// A file as two spellings of it compare equal: the file itself where it exists (a hard
// link, a path through a symbolic link), else its folder and its name.
std::string fileKey(const std::string& path) {
  const auto describe = [](const vz::FileIdentity& id) {
    return std::to_string(id.device) + ":" + std::to_string(id.file);
  };
  if (const auto identity = vz::fileIdentity(path)) return describe(*identity);
  const std::filesystem::path name = std::filesystem::u8path(path);
  std::string folder = name.parent_path().u8string();
  if (folder.empty()) folder = ".";
  std::string file = name.filename().u8string();
#ifdef _WIN32
  std::transform(file.begin(), file.end(), file.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
#endif
  if (const auto identity = vz::fileIdentity(folder)) return describe(*identity) + "/" + file;
  return std::filesystem::absolute(name).lexically_normal().u8string();
}

// An output over an input, or two inputs writing one file, is refused before anything
// is read or written: exit 2.
int checkOutputs(const CommandLine& commandLine, std::string& error) {
  std::set<std::pair<uint64_t, uint64_t>> inputs;
  for (const std::string& input : commandLine.inputs)
    if (const auto identity = vz::fileIdentity(input))
      inputs.insert({identity->device, identity->file});
  for (const std::string& input : commandLine.inputs)
    for (const Step& step : stepsFor(commandLine.steps, input))
      for (const std::string& file : filesWritten(step)) {
        const auto identity = vz::fileIdentity(file);
        if (identity && inputs.count({identity->device, identity->file})) {
          error = file + ": would overwrite the input";
          return kExitUsage;
        }
      }
  std::set<std::string> written;
  for (const std::string& input : commandLine.inputs) {
    std::set<std::string> own;
    for (const Step& step : stepsFor(commandLine.steps, input))
      for (const std::string& file : filesWritten(step)) {
        const std::string key = fileKey(file);
        if (written.count(key)) {
          error = "two inputs would write " + file;
          return kExitUsage;
        }
        own.insert(key);
      }
    written.insert(own.begin(), own.end());
  }
  return kExitOk;
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

const char* meaningOf(int status) {
  switch (status) {
    case kExitNoPicture:
      return "no picture";
    case kExitWriteFailed:
      return "not written";
    case kExitCannotRun:
      return "a step could not run";
    case kExitDamaged:
      return "damaged";
    default:
      return "usage";
  }
}

// A batch holds at most half the memory the system lets it use at once (see
// vz::usableMemoryBytes), or this much where the system does not say.
constexpr uint64_t kBudgetWhenUnknown = uint64_t{2} << 30;

// How much of a file is looked at for the size its header claims.
constexpr size_t kClaimHeadBytes = size_t{1} << 20;

// A conservative bound of the memory one input of a batch holds at once, from its
// header's claim before it is read: the file, and 16 bytes for every pixel claimed (the
// picture, a decoder's own buffers such as a progressive JPEG's coefficients, and one
// conversion's new picture), plus 4 bytes for every pixel of a --resize target. A file
// whose header claims nothing that can be read counts as the largest picture the limit
// lets through; one that claims more is refused from its header and needs little.
uint64_t memoryNeed(const std::string& input, const CommandLine& commandLine) {
  vz::PictureFile file;
  if (!file.open(input).ok()) return 0;
  std::vector<uint8_t> head(
      static_cast<size_t>(std::min<int64_t>(file.size(), static_cast<int64_t>(kClaimHeadBytes))));
  if (!file.readAt(0, head.data(), head.size()).ok()) return 0;
  const auto fileSize = static_cast<uint64_t>(file.size());
  const vz::PictureFormat* format = vz::formatOfContent(head.size(), head.data());
  std::string extension;
  if (!format && vz::extensionOf(vz::fileNameOf(input), extension))
    format = vz::formatOfExtension(extension);
  if (!format && commandLine.readUnknownAsKep) format = &vz::kepFormat();
  const int64_t limit = commandLine.readOptions.maxPixels;
  vz::PictureClaim claim;
  int64_t pixels = limit;
  if (format && format->claim(head.size(), head.data(), fileSize, claim))
    pixels = claim.width <= 0 || claim.height <= 0 || claim.width > limit / claim.height
                 ? 0
                 : claim.width * claim.height;
  uint64_t need = fileSize + 16 * static_cast<uint64_t>(pixels);
  for (const Step& step : commandLine.steps)
    if (step.command->id == vz::CommandId::kResize)
      need += 4 * static_cast<uint64_t>(step.value.numbers[0] * step.value.numbers[1]);
  return need;
}

int runBatch(const CommandLine& commandLine) {
  const size_t count = commandLine.inputs.size();
  const unsigned hardware = std::max(1u, std::thread::hardware_concurrency());
  unsigned jobs = commandLine.jobs ? commandLine.jobs : hardware;
  jobs = static_cast<unsigned>(std::clamp<size_t>(jobs, 1, count));
  // --jobs N converts N inputs at once, each on one thread. By default the inputs share
  // the hardware threads; when there are fewer inputs than threads, each takes its share.
  const unsigned threads = commandLine.jobs ? 1 : std::max(1u, hardware / jobs);

  // Inputs wait for room in the budget rather than run out of memory side by side.
  const uint64_t usable = vz::usableMemoryBytes();
  vz::MemoryBudget budget(usable != 0 ? usable / 2 : kBudgetWhenUnknown);

  std::vector<BatchResult> results(count);
  std::mutex mutex;
  std::condition_variable finished;
  std::atomic<size_t> next{0};
  const auto work = [&] {
    for (size_t i = next++; i < count; i = next++) {
      std::ostringstream output, errors;
      const std::string& input = commandLine.inputs[i];
      const vz::MemoryReservation reservation(budget, memoryNeed(input, commandLine));
      const int status =
          convert(input, commandLine, stepsFor(commandLine.steps, input), threads, output, errors);
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
  size_t reported = 0, failed = 0, damaged = 0;
  int status = kExitOk;
  std::vector<std::pair<int, std::string>> unfinished;  // inputs that did not end 0
  while (reported < count) {
    std::unique_lock<std::mutex> lock(mutex);
    finished.wait_for(lock, std::chrono::milliseconds(200), [&] { return results[reported].done; });
    bool progress = false;
    for (; reported < count && results[reported].done; ++reported, progress = true) {
      BatchResult& result = results[reported];
      std::cout << result.output << std::flush;
      if (terminal && !result.errors.empty()) std::cerr << "\r\x1b[K";
      std::cerr << result.errors;
      if (result.status == kExitDamaged)
        ++damaged;
      else if (result.status != kExitOk)
        ++failed;
      if (result.status != kExitOk)
        unfinished.emplace_back(result.status, commandLine.inputs[reported]);
      status = std::max(status, result.status);
      result.output.clear();
      result.errors.clear();
    }
    if (terminal && (progress || reported < count)) {
      const double elapsed = seconds();
      std::fprintf(stderr, "\r%zu/%zu done, %zu failed, %.1f s, %.1f pictures/s\x1b[K", reported,
                   count, failed, elapsed,
                   elapsed > 0 ? static_cast<double>(reported) / elapsed : 0.0);
      std::fflush(stderr);
    }
  }
  for (std::thread& worker : workers) worker.join();
  if (terminal) std::cerr << "\n";
  char summary[160];
  std::snprintf(summary, sizeof summary,
                "vizorka-cli: %zu converted, %zu damaged (part kept), %zu failed, %.1f s\n",
                count - failed - damaged, damaged, failed, seconds());
  std::cerr << summary;
  for (const auto& [inputStatus, input] : unfinished)
    std::cerr << "vizorka-cli: " << input << ": status " << inputStatus << ", "
              << meaningOf(inputStatus) << "\n";
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
  if (!parseCommandLine(args, commandLine, error)) {
    std::cerr << "vizorka-cli: " << error << "\n\n" << usage();
    return kExitUsage;
  }
  if (checkOutputs(commandLine, error) != kExitOk) {
    std::cerr << "vizorka-cli: " << error << "\n";
    return kExitUsage;
  }
  if (commandLine.batch) return runBatch(commandLine);
  return convert(commandLine.inputs[0], commandLine, commandLine.steps, 0, std::cout, std::cerr);
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  vz::prepareSafeWrites();
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(vz::wideToUtf8(argv[i]));
  return run(args);
}
#else
int main(int argc, char** argv) {
  vz::prepareSafeWrites();
  return run(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
