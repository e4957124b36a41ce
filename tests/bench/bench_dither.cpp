// Whole processes, as the user waits for them: vizorka-cli against ImageMagick's convert,
// each reading the same 4000 x 3000 true-colour BMP and writing a BMP, in the same run:
//   ours    vizorka-cli big.bmp --predistort off --algorithm fs --dither 16 --export out.bmp
//   theirs  convert big.bmp -dither FloydSteinberg -remap tvc16.ppm BMP3:out.bmp
// and likewise ordered dithering against -ordered-dither o8x8. Then batch throughput:
// 16 copies of a 1600 x 1200 picture converted by one vizorka-cli --batch, --jobs 1
// against --jobs 2. Prints the best of several wall-clock times, the ratios and the load.
// Usage: bench_dither [runs] [vizorka-cli] [convert]
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "converter/colour/tvc_palette.h"
#include "converter/formats/bmp_writer.h"
#include "converter/model/file_io.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using Command = std::vector<std::string>;

// Smooth colour fields, a few soft shapes and sensor-like noise: many distinct
// colours, as in a photograph.
vz::ImageDocument photoLikePicture(int32_t width, int32_t height) {
  vz::ImageDocument doc;
  vz::allocatePicture(doc, width, height, vz::ColourMode::kTrueColour);
  std::mt19937 random(12345);
  std::normal_distribution<double> noise(0.0, 6.0);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = doc.row(y);
    for (int32_t x = 0; x < width; ++x) {
      const double u = x / static_cast<double>(width), v = y / static_cast<double>(height);
      const double sky = 200 * (1 - v) + 40;
      const double hill = 120 + 80 * std::sin(6 * u + 3 * v) * std::cos(4 * v);
      const double sun = 255 * std::exp(-((u - 0.7) * (u - 0.7) + (v - 0.25) * (v - 0.25)) * 40);
      const double channels[3] = {sky * 0.9 + sun * 0.2 + noise(random),       // blue
                                  hill * 0.8 + sun * 0.6 + noise(random),      // green
                                  hill * 0.5 + sun + 60 * u + noise(random)};  // red
      for (int c = 0; c < 3; ++c)
        row[3 * x + c] =
            static_cast<uint8_t>(std::lround(std::fmin(255, std::fmax(0, channels[c]))));
    }
  }
  return doc;
}

bool writeBmp(const std::string& path, const vz::ImageDocument& doc) {
  return vz::writeFileSafely(path, vz::encodeBmp(doc, {})).ok();
}

// The 16 TVC colours as a 16 x 1 PPM: the palette ImageMagick remaps to.
bool writeTvcColours(const std::string& path) {
  std::ofstream file(path, std::ios::binary);
  file << "P6\n16 1\n255\n";
  for (int i = 0; i < vz::kTvcColourCount; ++i) {
    const vz::ColourValue c = vz::tvcColour(i);
    file << static_cast<char>(vz::redOf(c)) << static_cast<char>(vz::greenOf(c))
         << static_cast<char>(vz::blueOf(c));
  }
  return static_cast<bool>(file);
}

// Runs a program (no shell in between), its output thrown away; the wall-clock
// seconds, or -1 when it cannot be run or fails.
double runOnce(const Command& command) {
  std::vector<char*> argv;
  for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const Clock::time_point start = Clock::now();
  pid_t child = 0;
  const int error = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  if (error != 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0)
    return -1;
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string joined(const Command& command) {
  std::string text;
  for (const std::string& arg : command) text += (text.empty() ? "" : " ") + arg;
  return text;
}

// Best of `runs` for each of two commands, run in turns so that both see the same load.
bool bestOfBoth(int runs, const Command& ours, const Command& theirs, double& bestOurs,
                double& bestTheirs) {
  bestOurs = bestTheirs = 1e9;
  for (int run = 0; run < runs; ++run)
    for (int side = 0; side < 2; ++side) {
      const Command& command = side == 0 ? ours : theirs;
      const double seconds = runOnce(command);
      if (seconds < 0) {
        std::fprintf(stderr, "failed: %s\n", joined(command).c_str());
        return false;
      }
      double& best = side == 0 ? bestOurs : bestTheirs;
      best = std::min(best, seconds);
    }
  return true;
}

std::string loadAverage() {
  std::ifstream file("/proc/loadavg");
  std::string one, five, fifteen;
  file >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

void report(const char* what, const char* otherName, double ours, double theirs) {
  std::printf("%-30s ours %7.3f s   %-12s %7.3f s   ratio %5.2fx\n", what, ours, otherName, theirs,
              theirs / ours);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const std::string cli = argc > 2 ? argv[2] : VIZORKA_CLI_PATH;
  // The real program, not a wrapper script that may stand before it on the PATH.
  const std::string convert =
      argc > 3 ? argv[3] : (access("/usr/bin/convert", X_OK) == 0 ? "/usr/bin/convert" : "convert");
  char directory[] = "/tmp/bench_dither_XXXXXX";
  if (!mkdtemp(directory)) return 1;
  const std::string dir = directory;
  const std::string big = dir + "/big.bmp", palette = dir + "/tvc16.ppm";
  if (!writeBmp(big, photoLikePicture(4000, 3000)) || !writeTvcColours(palette)) return 1;

  std::vector<std::string> copies;
  const vz::ImageDocument small = photoLikePicture(1600, 1200);
  for (int i = 0; i < 16; ++i) {
    copies.push_back(dir + "/copy" + std::to_string(i) + ".bmp");
    if (!writeBmp(copies.back(), small)) return 1;
  }

  std::printf("best of %d runs; load average before: %s; %ld hardware threads\n", runs,
              loadAverage().c_str(), sysconf(_SC_NPROCESSORS_ONLN));
  const std::string out = dir + "/out.bmp";
  double ours = 0, theirs = 0;
  if (!bestOfBoth(
          runs,
          {cli, big, "--predistort", "off", "--algorithm", "fs", "--dither", "16", "--export", out},
          {convert, big, "-dither", "FloydSteinberg", "-remap", palette, "BMP3:" + out}, ours,
          theirs))
    return 1;
  report("Floyd-Steinberg, 16 colours", "ImageMagick", ours, theirs);
  if (!bestOfBoth(runs,
                  {cli, big, "--predistort", "off", "--algorithm", "ordered", "--dither", "16",
                   "--export", out},
                  {convert, big, "-ordered-dither", "o8x8", "BMP3:" + out}, ours, theirs))
    return 1;
  report("ordered 8x8, 16 colours", "ImageMagick", ours, theirs);

  Command batch = {
      cli,  "--batch",  "--jobs", "1",        "--predistort",          "off", "--algorithm",
      "fs", "--dither", "16",     "--export", dir + "/{name}.out.bmp", "--"};
  batch.insert(batch.end(), copies.begin(), copies.end());
  Command twoJobs = batch;
  twoJobs[3] = "2";
  double one = 0, two = 0;
  if (!bestOfBoth(runs, twoJobs, batch, two, one)) return 1;
  report("batch of 16, 1600 x 1200", "--jobs 1", two, one);
  std::printf("(batch: ours is --jobs 2)\nload average after: %s\n", loadAverage().c_str());

  std::remove(big.c_str());
  std::remove(palette.c_str());
  std::remove(out.c_str());
  for (const std::string& copy : copies) {
    std::remove(copy.c_str());
    const std::string name = copy.substr(copy.rfind('/') + 1);
    std::remove((dir + "/" + name.substr(0, name.size() - 4) + ".out.bmp").c_str());
  }
  rmdir(directory);
  return 0;
}
