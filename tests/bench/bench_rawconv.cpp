// Encoding a 10-minute 44.1 kHz stereo 16-bit WAV (made here) for the TVC:
//   ours    rawconv in.wav out.raw                (pitch 4072: 8138 Hz, 4 bits, TPDF)
//   theirs  sox in.wav -r 8138 -c 1 -b 8 out.wav  (its own rate change and dither)
// Both whole processes run in turns, each one's best wall time counts; prints both, the
// ratio, and whether rawconv met its goal of 2 s.
//   bench_rawconv [runs]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "base/file_write.h"
#include "base/little_endian.h"

namespace {

constexpr int kRate = 44100;
constexpr int kSeconds = 600;
constexpr double kGoalSeconds = 2.0;

// Music's worth of detail: a slow sweep and a chord in both channels, some noise.
std::vector<uint8_t> makeWav() {
  const size_t frames = static_cast<size_t>(kRate) * kSeconds;
  std::vector<uint8_t> file;
  file.reserve(44 + 4 * frames);
  const auto tag = [&file](const char* text) { file.insert(file.end(), text, text + 4); };
  tag("RIFF");
  vz::appendLe(file, static_cast<uint32_t>(36 + 4 * frames), 4);
  tag("WAVE");
  tag("fmt ");
  for (const auto& [value, bytes] : {std::pair<uint32_t, int>{16, 4},
                                     {1, 2},
                                     {2, 2},
                                     {kRate, 4},
                                     {4 * kRate, 4},
                                     {4, 2},
                                     {16, 2}})
    vz::appendLe(file, value, bytes);
  tag("data");
  vz::appendLe(file, static_cast<uint32_t>(4 * frames), 4);
  std::mt19937 random(1234);
  std::uniform_real_distribution<double> noise(-0.02, 0.02);
  const double pi = 3.14159265358979323846;
  double sweepPhase = 0;
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    sweepPhase += 2 * pi * (100 + 5000 * (t / kSeconds)) / kRate;
    const double chord =
        std::sin(2 * pi * 220 * t) + std::sin(2 * pi * 277.2 * t) + std::sin(2 * pi * 329.6 * t);
    for (int channel = 0; channel < 2; ++channel) {
      const double value = 0.3 * std::sin(sweepPhase + channel) + 0.15 * chord + noise(random);
      vz::appendLe(file, static_cast<uint16_t>(static_cast<int16_t>(std::lround(value * 32767))),
                   2);
    }
  }
  return file;
}

double secondsOf(const std::string& command, bool& ok) {
  const auto start = std::chrono::steady_clock::now();
  ok = ok && std::system((command + " >/dev/null 2>&1").c_str()) == 0;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                       ("vizorka-bench-rawconv-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::string in = (folder / "in.wav").string();
  if (!vz::writeFileSafely(in, makeWav()).ok()) {
    std::fprintf(stderr, "cannot write %s\n", in.c_str());
    return 1;
  }
  const std::string ourCommand =
      std::string(RAWCONV_PATH) + " " + in + " " + (folder / "out.raw").string();
  const std::string theirCommand =
      "sox " + in + " -r 8138 -c 1 -b 8 " + (folder / "sox.wav").string();
  double ourBest = 1e9, theirBest = 1e9;
  bool ok = true;
  for (int i = 0; i < runs && ok; ++i) {
    ourBest = std::min(ourBest, secondsOf(ourCommand, ok));
    theirBest = std::min(theirBest, secondsOf(theirCommand, ok));
  }
  std::filesystem::remove_all(folder);
  if (!ok) {
    std::fprintf(stderr, "a command failed:\n  %s\n  %s\n", ourCommand.c_str(),
                 theirCommand.c_str());
    return 1;
  }
  double load = 0;
  if (std::FILE* file = std::fopen("/proc/loadavg", "r")) {
    if (std::fscanf(file, "%lf", &load) != 1) load = 0;
    std::fclose(file);
  }
  std::printf("10 minutes of 44.1 kHz stereo 16-bit WAV to 8138 Hz, whole processes, best of %d:\n",
              runs);
  std::printf("  rawconv in.wav out.raw                %8.3f s (goal: under %.0f s%s)\n", ourBest,
              kGoalSeconds, ourBest < kGoalSeconds ? ", met" : ", MISSED");
  std::printf("  sox in.wav -r 8138 -c 1 -b 8 out.wav  %8.3f s\n", theirBest);
  std::printf("  ratio (sox / rawconv)                 %8.2f x\n", theirBest / ourBest);
  std::printf("  load average                          %8.2f\n", load);
  return 0;
}
