// rawconv: a RIFF/WAVE file to an RW4 raw sound file, or any file, as rawplay reads it,
// back to a mono 8-bit WAV file. The input's first bytes choose the direction.
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "base/file_write.h"
#include "base/utf16.h"
#include "converter/model/file_io.h"
#include "sound/codec.h"
#include "sound/rw4.h"
#include "sound/wav_reader.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitInputRefused = 1;
constexpr int kExitUsage = 2;
constexpr int kExitWriteFailed = 3;

constexpr long kHighestRateAsked = 10000000;
constexpr double kLargestGainDb = 100;

const char kUsage[] =
    "Usage: rawconv IN.wav OUT.raw [--rate HZ | --pitch N] [--dither none|tpdf|shaped]\n"
    "                              [--gain DB | --normalize]\n"
    "       rawconv IN.raw OUT.wav\n"
    "       rawconv --help\n"
    "A RIFF/WAVE input (PCM of 8 to 32 bits or float, any channels, 1 Hz to 768 kHz) is\n"
    "encoded into an RW4 file of 4-bit samples; any other input is read as rawplay reads it\n"
    "and decoded into a mono 8-bit WAV file at its rate.\n"
    "  --rate HZ        the pitch whose rate is nearest HZ\n"
    "  --pitch N        the pitch, 0..4095; the rate is 195312.5 / (4096 - N) (default 4072)\n"
    "  --dither MODE    none, tpdf (triangular, the default) or shaped (tpdf with the noise\n"
    "                   moved above 2 kHz)\n"
    "  --gain DB        amplify by DB decibels (-100..100)\n"
    "  --normalize      amplify the peak to full scale\n"
    "Exit status: 0 done, 1 input unreadable or refused, 2 usage error, 3 the output could\n"
    "not be written.\n";

struct CommandLine {
  std::string input;
  std::string output;
  sound::EncodeOptions options;
  bool encodingOptionsGiven = false;
};

bool parseWhole(const std::string& text, long lowest, long highest, long& value) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  value = std::stol(text);
  return value >= lowest && value <= highest;
}

bool parseGain(const std::string& text, double& gainDb) {
  char* end = nullptr;
  gainDb = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' && std::isfinite(gainDb) &&
         std::fabs(gainDb) <= kLargestGainDb;
}

// Reads the command line; false with the reason when it is not a valid one.
bool parseCommandLine(const std::vector<std::string>& args, CommandLine& parsed,
                      std::string& error) {
  std::vector<std::string> files;
  bool gainGiven = false, normalizeGiven = false, rateGiven = false, pitchGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.rfind("--", 0) != 0) {
      files.push_back(arg);
      continue;
    }
    parsed.encodingOptionsGiven = true;
    if (arg == "--normalize") {
      parsed.options.normalize = normalizeGiven = true;
      continue;
    }
    if (arg != "--rate" && arg != "--pitch" && arg != "--dither" && arg != "--gain") {
      error = "unknown option: " + arg;
      return false;
    }
    if (i + 1 >= args.size()) {
      error = arg + ": missing value";
      return false;
    }
    const std::string& value = args[++i];
    long number = 0;
    if (arg == "--rate") {
      if (!parseWhole(value, 1, kHighestRateAsked, number)) {
        error = "--rate: expected a whole number of hertz, 1.." + std::to_string(kHighestRateAsked);
        return false;
      }
      parsed.options.pitch = sound::pitchNearestRate(static_cast<int>(number));
      rateGiven = true;
    } else if (arg == "--pitch") {
      if (!parseWhole(value, sound::kLowestPitch, sound::kHighestPitch, number)) {
        error = "--pitch: expected a whole number, 0..4095";
        return false;
      }
      parsed.options.pitch = static_cast<int>(number);
      pitchGiven = true;
    } else if (arg == "--dither") {
      if (value == "none") {
        parsed.options.dither = sound::Dither::kNone;
      } else if (value == "tpdf") {
        parsed.options.dither = sound::Dither::kTpdf;
      } else if (value == "shaped") {
        parsed.options.dither = sound::Dither::kShaped;
      } else {
        error = "--dither: expected none|tpdf|shaped";
        return false;
      }
    } else {
      if (!parseGain(value, parsed.options.gainDb)) {
        error = "--gain: expected a number of decibels, -100..100";
        return false;
      }
      gainGiven = true;
    }
  }
  if (rateGiven && pitchGiven) {
    error = "--rate and --pitch exclude each other";
    return false;
  }
  if (gainGiven && normalizeGiven) {
    error = "--gain and --normalize exclude each other";
    return false;
  }
  if (files.size() != 2) {
    error = files.size() < 2 ? "an input and an output file are needed" : "too many files";
    return false;
  }
  parsed.input = files[0];
  parsed.output = files[1];
  return true;
}

void report(const std::string& file, const std::string& reason) {
  std::cerr << "rawconv: " << file << ": " << reason << "\n";
}

// Every file rawconv writes goes through here: a failed write leaves the old file as it was.
vz::Status writeOutput(const std::string& path, const std::vector<uint8_t>& bytes) {
  return vz::writeFileSafely(path, bytes);
}

void printSound(int pitch, int sampleRate, size_t samples) {
  std::cout << "pitch " << pitch << ", rate " << sampleRate << " Hz, " << samples << " samples\n";
}

int run(const std::vector<std::string>& args) {
  for (const std::string& arg : args)
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return kExitOk;
    }
  CommandLine commandLine;
  std::string error;
  if (!parseCommandLine(args, commandLine, error)) {
    std::cerr << "rawconv: " << error << "\n\n" << kUsage;
    return kExitUsage;
  }
  std::vector<uint8_t> input;
  if (!vz::readWholeFile(commandLine.input, input)) {
    report(commandLine.input, "cannot be read");
    return kExitInputRefused;
  }

  std::vector<uint8_t> output;
  if (sound::looksLikeWave(input.data(), input.size())) {
    sound::EncodedSound encoded;
    const vz::Status status =
        sound::encodeWavToRw4(input.data(), input.size(), commandLine.options, encoded);
    if (!status.ok()) {
      report(commandLine.input, status.reason());
      return kExitInputRefused;
    }
    printSound(encoded.pitch, encoded.sampleRate, encoded.samples);
    if (encoded.clipped > 0)
      report(commandLine.input, std::to_string(encoded.clipped) + " of " +
                                    std::to_string(encoded.samples) + " samples clipped");
    output = std::move(encoded.file);
  } else {
    // Encoding options on a file that is no WAV file mean that it is not the file meant.
    if (commandLine.encodingOptionsGiven) {
      report(commandLine.input,
             "not a RIFF/WAVE file, so it would be decoded, and the encoding options do not "
             "apply");
      return kExitInputRefused;
    }
    sound::DecodedSound decoded;
    const vz::Status status = sound::decodeToWav(input.data(), input.size(), decoded);
    if (!status.ok()) {
      report(commandLine.input, status.reason());
      return kExitInputRefused;
    }
    printSound(decoded.pitch, decoded.sampleRate, decoded.samples);
    output = std::move(decoded.file);
  }
  input = std::vector<uint8_t>();
  if (const vz::Status written = writeOutput(commandLine.output, output); !written.ok()) {
    report(commandLine.output, written.reason());
    return kExitWriteFailed;
  }
  return kExitOk;
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
