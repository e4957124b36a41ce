// Times our 16-colour Floyd-Steinberg and ordered dithering of a 4000 x 3000 photo-like
// picture against ImageMagick's on the same picture and the same 16 TVC colours.
// Usage: bench_dither [path of ImageMagick's convert]
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "converter/colour/conversions.h"
#include "converter/colour/tvc_palette.h"
#include "converter/model/app_state.h"
#include "converter/commands/commands.h"

namespace {

constexpr int32_t kWidth = 4000;
constexpr int32_t kHeight = 3000;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Smooth colour fields, a few soft shapes and sensor-like noise: many distinct
// colours, as in a photograph.
vz::ImageDocument photoLikePicture() {
  vz::ImageDocument doc;
  doc.pictureSize = vz::allocatePicture(doc, kWidth, kHeight, vz::kTrueColour);
  std::mt19937 random(12345);
  std::normal_distribution<double> noise(0.0, 6.0);
  for (int32_t y = 0; y < kHeight; ++y) {
    uint8_t* row = doc.row(y);
    for (int32_t x = 0; x < kWidth; ++x) {
      const double u = x / static_cast<double>(kWidth), v = y / static_cast<double>(kHeight);
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

bool writePpm(const std::string& path, const vz::ImageDocument& doc) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  std::fprintf(file, "P6\n%d %d\n255\n", doc.width, doc.height);
  std::string line(static_cast<size_t>(doc.width) * 3, '\0');
  for (int32_t y = 0; y < doc.height; ++y) {
    const uint8_t* row = doc.row(y);
    for (int32_t x = 0; x < doc.width; ++x) {
      line[3 * x] = static_cast<char>(row[3 * x + 2]);
      line[3 * x + 1] = static_cast<char>(row[3 * x + 1]);
      line[3 * x + 2] = static_cast<char>(row[3 * x]);
    }
    std::fwrite(line.data(), 1, line.size(), file);
  }
  return std::fclose(file) == 0;
}

vz::ImageDocument tvcColoursPicture() {
  vz::ImageDocument doc;
  doc.pictureSize = vz::allocatePicture(doc, vz::kTvcColourCount, 1, vz::kTrueColour);
  for (int i = 0; i < vz::kTvcColourCount; ++i) {
    const vz::ColourValue c = vz::tvcColour(i);
    doc.row(0)[3 * i] = vz::blueOf(c);
    doc.row(0)[3 * i + 1] = vz::greenOf(c);
    doc.row(0)[3 * i + 2] = vz::redOf(c);
  }
  return doc;
}

// Each measurement is the best of a few runs: the machine is shared.
constexpr int kRuns = 3;

double timeCommand(const std::string& command) {
  double best = 1e9;
  for (int run = 0; run < kRuns; ++run) {
    const Clock::time_point start = Clock::now();
    if (std::system(command.c_str()) != 0) {
      std::fprintf(stderr, "failed: %s\n", command.c_str());
      return -1;
    }
    best = std::min(best, secondsSince(start));
  }
  return best;
}

template <typename Run>
double timeOurs(const vz::ImageDocument& picture, Run run) {
  double best = 1e9;
  for (int r = 0; r < kRuns; ++r) {
    vz::AppState state;
    state.document = picture;
    const Clock::time_point start = Clock::now();
    run(state);
    best = std::min(best, secondsSince(start));
  }
  return best;
}

void report(const char* what, double ours, double theirs) {
  std::printf("%-34s ours %7.3f s   ImageMagick %7.3f s   ratio %5.1fx\n", what, ours, theirs,
              theirs / ours);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string convert =
      argc > 1 ? argv[1] : (access("/usr/bin/convert", X_OK) == 0 ? "/usr/bin/convert" : "convert");
  char directory[] = "/tmp/bench_dither_XXXXXX";
  if (!mkdtemp(directory)) return 1;
  const std::string dir = directory;
  const vz::ImageDocument picture = photoLikePicture();
  if (!writePpm(dir + "/in.ppm", picture) || !writePpm(dir + "/tvc16.ppm", tvcColoursPicture()))
    return 1;
  std::printf("picture %d x %d, true colour; 16 TVC colours; best of %d runs\n", kWidth, kHeight,
              kRuns);

  const double oursFs = timeOurs(picture, [](vz::AppState& s) {
    vz::floydSteinbergDither(s.document, s.effects, vz::kDitherSixteenColours);
  });
  const double theirsFs =
      timeCommand(convert + " " + dir + "/in.ppm -dither FloydSteinberg -remap " + dir +
                  "/tvc16.ppm " + dir + "/fs.ppm");
  report("Floyd-Steinberg, 16 colours", oursFs, theirsFs);

  const double oursOrdered = timeOurs(picture, [](vz::AppState& s) {
    vz::orderedDither(s.document, s.effects, vz::kDitherSixteenColours);
  });
  const double theirsOrdered =
      timeCommand(convert + " " + dir + "/in.ppm -ordered-dither o8x8 " + dir + "/ordered.ppm");
  report("ordered 8x8, 16 colours", oursOrdered, theirsOrdered);

  const double command = timeOurs(picture, [](vz::AppState& s) {
    s.effects.preDistortion = false;
    vz::ditherCommand(s, vz::kDitherSixteenColours);
  });
  const double commandHalved =
      timeOurs(picture, [](vz::AppState& s) { vz::ditherCommand(s, vz::kDitherSixteenColours); });
  std::printf("dither command 16 colours (Floyd-Steinberg): %.3f s; with pre-distortion %.3f s\n",
              command, commandHalved);

  for (const char* name : {"in.ppm", "tvc16.ppm", "fs.ppm", "ordered.ppm"})
    std::remove((dir + "/" + name).c_str());
  rmdir(directory);
  return 0;
}
