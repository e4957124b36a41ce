// vizorka-cli: the converter's commands, headless. Opens one picture, runs the steps
// given on the command line left to right, and reports or writes the result.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "converter/colour/conversions.h"
#include "converter/commands/commands.h"
#include "converter/commands/save.h"
#include "converter/formats/bmp_writer.h"
#include "converter/formats/tvc/kep_writer.h"
#include "converter/model/app_state.h"
#include "converter/model/file_io.h"
#include "converter/view/crop.h"
#include "converter/view/render.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitNoPicture = 1;
constexpr int kExitUsage = 2;
constexpr int kExitWriteFailed = 3;

const char* const kUsage =
    "Usage: vizorka-cli INPUT [STEP]...\n"
    "Opens INPUT (BMP, PCX, GIF, JPG, KEP, VID, R16) and runs the steps left to right.\n"
    "  --as-kep                 read an unknown extension as a 4-colour KEP file\n"
    "Settings:\n"
    "  --algorithm fs|ordered   --predistort on|off   --interlace on|off\n"
    "  --colours I0,...,I9      --threshold N\n"
    "Save options:\n"
    "  --coding plain|rle       --format kep|sprite|sprite-mask\n"
    "  --mask-colour I          --palette-file on|off\n"
    "Commands:\n"
    "  --nearest 2|4|16   --dither 2|4|16   --grey 4|16|256   --halve h|v\n"
    "  --crop X,Y,W,H     --save FILE\n"
    "  --info             one line of JSON describing the document\n"
    "  --export FILE.bmp  the document as an uncompressed BMP\n"
    "Exit status: 0 done, 1 no picture in INPUT, 2 usage error, 3 a file could not be written.\n";

class CliPrompts : public vz::UserPrompts {
 public:
  explicit CliPrompts(bool answerYes) : answerYes_(answerYes) {}
  void showError(const std::string& text, const std::string& caption) override {
    std::cerr << caption << ": " << text << "\n";
  }
  bool askYesNo(const std::string& text, const std::string& caption) override {
    if (!answerYes_)
      std::cerr << caption << ": " << text << "\n(give --as-kep to read it as a KEP file)\n";
    return answerYes_;
  }

 private:
  bool answerYes_;
};

struct UsageError {
  std::string message;
};

using Step = std::function<int(vz::AppState&)>;  // returns an exit status

std::vector<long> parseNumbers(const std::string& text, const std::string& option) {
  std::vector<long> numbers;
  std::stringstream stream(text);
  std::string item;
  while (std::getline(stream, item, ',')) {
    char* end = nullptr;
    const long value = std::strtol(item.c_str(), &end, 10);
    if (item.empty() || *end != '\0') throw UsageError{option + ": not a number: " + item};
    numbers.push_back(value);
  }
  if (!text.empty() && text.back() == ',') throw UsageError{option + ": trailing comma"};
  return numbers;
}

long parseNumber(const std::string& text, const std::string& option, long low, long high) {
  const std::vector<long> numbers = parseNumbers(text, option);
  if (numbers.size() != 1 || numbers[0] < low || numbers[0] > high)
    throw UsageError{option + ": expected a number " + std::to_string(low) + ".." +
                     std::to_string(high)};
  return numbers[0];
}

bool parseOnOff(const std::string& text, const std::string& option) {
  if (text == "on") return true;
  if (text == "off") return false;
  throw UsageError{option + ": expected on or off"};
}

int choice(const std::string& text, const std::string& option,
           const std::vector<std::string>& allowed) {
  for (size_t i = 0; i < allowed.size(); ++i)
    if (text == allowed[i]) return static_cast<int>(i);
  std::string list;
  for (const std::string& a : allowed) list += (list.empty() ? "" : "|") + a;
  throw UsageError{option + ": expected " + list};
}

std::string infoJson(const vz::AppState& state) {
  const vz::ImageDocument& doc = state.document;
  std::ostringstream out;
  out << "{\"width\":" << doc.width << ",\"height\":" << doc.height
      << ",\"rowStride\":" << doc.rowStride << ",\"colourMode\":" << doc.colourMode
      << ",\"pictureSize\":" << doc.pictureSize << ",\"tvcPicture\":" << (doc.tvcPicture ? 1 : 0)
      << ",\"interlaced\":" << (doc.interlaced ? 1 : 0)
      << ",\"zoomX\":" << static_cast<int>(state.view.zoomX)
      << ",\"zoomY\":" << static_cast<int>(state.view.zoomY) << ",\"palette\":[";
  const vz::RenderDescription render = vz::describeRender(doc, false);
  for (size_t i = 0; i < render.colourTable.size(); ++i)
    out << (i ? "," : "") << render.colourTable[i];
  out << "]}";
  return out.str();
}

// Turns the steps of the command line into actions; settings take effect in order.
std::vector<Step> parseSteps(const std::vector<std::string>& args, bool& asKep,
                             vz::UserPrompts& prompts) {
  std::vector<Step> steps;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option == "--as-kep") {
      asKep = true;
      continue;
    }
    if (option == "--info") {
      steps.push_back([](vz::AppState& state) {
        std::cout << infoJson(state) << "\n";
        return kExitOk;
      });
      continue;
    }
    if (i + 1 >= args.size()) throw UsageError{option + ": missing value"};
    const std::string value = args[++i];
    if (option == "--algorithm") {
      const auto algorithm = static_cast<uint8_t>(choice(value, option, {"fs", "ordered"}));
      steps.push_back([algorithm](vz::AppState& s) {
        s.effects.ditherAlgorithm = algorithm;
        return kExitOk;
      });
    } else if (option == "--predistort") {
      const bool on = parseOnOff(value, option);
      steps.push_back([on](vz::AppState& s) {
        s.effects.preDistortion = on;
        return kExitOk;
      });
    } else if (option == "--interlace") {
      const bool on = parseOnOff(value, option);
      steps.push_back([on](vz::AppState& s) {
        s.effects.interlacedFourColour = on;
        return kExitOk;
      });
    } else if (option == "--colours") {
      const std::vector<long> numbers = parseNumbers(value, option);
      if (numbers.size() != 10) throw UsageError{option + ": expected ten TVC colour indices"};
      std::array<uint8_t, 10> colours{};
      for (size_t k = 0; k < 10; ++k) {
        if (numbers[k] < 0 || numbers[k] > 15) throw UsageError{option + ": indices are 0..15"};
        colours[k] = static_cast<uint8_t>(numbers[k]);
      }
      steps.push_back([colours](vz::AppState& s) {
        s.effects.colourChoices = colours;
        return kExitOk;
      });
    } else if (option == "--threshold") {
      const auto threshold = static_cast<uint8_t>(parseNumber(value, option, 0, 255));
      steps.push_back([threshold](vz::AppState& s) {
        s.effects.threshold = threshold;
        return kExitOk;
      });
    } else if (option == "--coding") {
      const auto coding = static_cast<uint8_t>(choice(value, option, {"plain", "rle"}));
      steps.push_back([coding](vz::AppState& s) {
        s.saveOptions.saveCoding = coding;
        return kExitOk;
      });
    } else if (option == "--format") {
      const auto format =
          static_cast<uint8_t>(choice(value, option, {"kep", "sprite", "sprite-mask"}));
      steps.push_back([format](vz::AppState& s) {
        s.saveOptions.saveFormat = format;
        return kExitOk;
      });
    } else if (option == "--mask-colour") {
      const auto colour = static_cast<uint8_t>(parseNumber(value, option, 0, 15));
      steps.push_back([colour](vz::AppState& s) {
        s.saveOptions.maskColour = colour;
        return kExitOk;
      });
    } else if (option == "--palette-file") {
      const bool on = parseOnOff(value, option);
      steps.push_back([on](vz::AppState& s) {
        s.saveOptions.makePaletteFile = on;
        return kExitOk;
      });
    } else if (option == "--nearest") {
      const int target = std::vector<int>{2, 4, 16}[choice(value, option, {"2", "4", "16"})];
      steps.push_back([target](vz::AppState& s) {
        vz::nearestCommand(s, target);
        return kExitOk;
      });
    } else if (option == "--dither") {
      const int kind = choice(value, option, {"2", "4", "16"});
      steps.push_back([kind](vz::AppState& s) {
        vz::ditherCommand(s, kind);
        return kExitOk;
      });
    } else if (option == "--grey") {
      const int kind = choice(value, option, {"4", "16", "256"});
      steps.push_back([kind](vz::AppState& s) {
        if (kind == 2)
          vz::grey256Command(s);
        else
          vz::greyCommand(s, kind == 0 ? vz::kFourGreys : vz::kSixteenGreys);
        return kExitOk;
      });
    } else if (option == "--halve") {
      const int direction =
          choice(value, option, {"h", "v"}) == 0 ? vz::kHalveHorizontally : vz::kHalveVertically;
      steps.push_back([direction](vz::AppState& s) {
        vz::halveCommand(s, direction);
        return kExitOk;
      });
    } else if (option == "--crop") {
      const std::vector<long> n = parseNumbers(value, option);
      if (n.size() != 4 || n[2] < 0 || n[3] < 0)
        throw UsageError{option + ": expected X,Y,W,H with W and H not negative"};
      const auto clampToInt = [](long v) {
        return static_cast<int32_t>(v < -0x7FFFFFFFL  ? -0x7FFFFFFFL
                                    : v > 0x7FFFFFFFL ? 0x7FFFFFFFL
                                                      : v);
      };
      const int32_t x0 = clampToInt(n[0]), y0 = clampToInt(n[1]);
      const int32_t x1 = clampToInt(n[0] + n[2]), y1 = clampToInt(n[1] + n[3]);
      steps.push_back([x0, y0, x1, y1](vz::AppState& s) {
        if (!vz::cropDocument(s.document, x0, y0, x1, y1))
          std::cerr << "--crop: the rectangle does not overlap the picture; nothing cut\n";
        return kExitOk;
      });
    } else if (option == "--save") {
      steps.push_back([value, &prompts](vz::AppState& s) {
        s.filePath = value;
        s.fileTitle = vz::fileNameOf(value);
        return vz::saveKepFile(s, prompts) ? kExitOk : kExitWriteFailed;
      });
    } else if (option == "--export") {
      steps.push_back([value](vz::AppState& s) {
        const std::vector<uint8_t> bmp =
            vz::encodeBmp(s.document, vz::describeRender(s.document, false).colourTable);
        if (bmp.empty()) {
          std::cerr << "--export: the document holds no picture\n";
          return kExitNoPicture;
        }
        if (!vz::writeWholeFile(value, bmp)) {
          std::cerr << "--export: cannot write " << value << "\n";
          return kExitWriteFailed;
        }
        return kExitOk;
      });
    } else {
      throw UsageError{"unknown option: " + option};
    }
  }
  return steps;
}

int run(const std::vector<std::string>& args) {
  if (args.empty() || args[0].empty() || args[0].rfind("--", 0) == 0) {
    std::cerr << kUsage;
    return kExitUsage;
  }
  bool asKep = false;
  // The prompts answer the unknown-extension question from --as-kep, known only after
  // parsing; the steps hold a reference to this object.
  CliPrompts prompts(false);
  std::vector<Step> steps;
  try {
    steps = parseSteps(args, asKep, prompts);
  } catch (const UsageError& error) {
    std::cerr << "vizorka-cli: " << error.message << "\n\n" << kUsage;
    return kExitUsage;
  }
  prompts = CliPrompts(asKep);

  auto state = std::make_unique<vz::AppState>();
  state->filePath = args[0];
  state->fileTitle = vz::fileNameOf(args[0]);
  vz::openCommand(*state, prompts);
  if (!state->document.holdsPicture()) {
    std::cerr << "vizorka-cli: " << args[0] << " gives no picture\n";
    return kExitNoPicture;
  }
  for (const Step& step : steps) {
    const int status = step(*state);
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
