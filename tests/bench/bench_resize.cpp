// Resizing a 4000 x 3000 true-colour BMP (made here) to fit 256 x 240, in linear light:
//   ours    vizorka-cli in.bmp --resize 256,240
//   theirs  convert in.bmp -colorspace RGB -filter Box -resize 256x240 -colorspace sRGB out.bmp
// Both whole processes run in turns, each one's best wall time counts; prints both and
// the ratio, then the best in-process time of resizePicture alone and how far the two
// results lie apart.
//   bench_resize [runs]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "converter/colour/resize.h"
#include "converter/formats/bmp.h"
#include "converter/formats/bmp_writer.h"
#include "converter/model/file_io.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

// A photograph's worth of detail: smooth colour fields with noise.
vz::ImageDocument makePicture() {
  vz::ImageDocument doc;
  vz::allocatePicture(doc, kWidth, kHeight, vz::ColourMode::kTrueColour);
  std::mt19937 random(1234);
  for (int y = 0; y < kHeight; ++y) {
    uint8_t* row = doc.row(y);
    for (int x = 0; x < kWidth; ++x)
      for (int c = 0; c < 3; ++c) {
        const double value = 128 + 70 * std::sin(x / (61.0 + 17 * c)) * std::cos(y / 83.0) +
                             static_cast<int>(random() % 31) - 15;
        row[3 * x + c] = static_cast<uint8_t>(std::clamp(value, 0.0, 255.0));
      }
  }
  return doc;
}

double secondsOf(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool run(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("vizorka-bench-resize-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::string in = (folder / "in.bmp").string();
  const std::string ours = (folder / "ours.bmp").string();
  const std::string theirs = (folder / "theirs.bmp").string();

  const vz::ImageDocument picture = makePicture();
  if (!vz::writeFileSafely(in, vz::encodeBmp(picture, {})).ok()) {
    std::fprintf(stderr, "cannot write %s\n", in.c_str());
    return 1;
  }
  const std::string ourCommand = std::string(VIZORKA_CLI_PATH) + " " + in + " --resize 256,240";
  const std::string theirCommand =
      "convert " + in + " -colorspace RGB -filter Box -resize 256x240 -colorspace sRGB " + theirs;
  double ourBest = 1e9, theirBest = 1e9;
  bool ok = true;
  for (int i = 0; i < runs && ok; ++i) {
    ourBest = std::min(ourBest, secondsOf([&] { ok = ok && run(ourCommand); }));
    theirBest = std::min(theirBest, secondsOf([&] { ok = ok && run(theirCommand); }));
  }
  if (!ok) {
    std::fprintf(stderr, "a command failed:\n  %s\n  %s\n", ourCommand.c_str(),
                 theirCommand.c_str());
    return 1;
  }
  std::printf("%dx%d true colour to fit 256x240, whole processes, best of %d:\n", kWidth, kHeight,
              runs);
  std::printf("  vizorka-cli --resize 256,240          %8.1f ms\n", ourBest * 1e3);
  std::printf("  convert -filter Box -resize 256x240   %8.1f ms\n", theirBest * 1e3);
  std::printf("  ratio (convert / vizorka-cli)         %8.1f x\n", theirBest / ourBest);

  double resizeBest = 1e9;
  vz::ImageDocument resized;
  for (int i = 0; i < std::max(runs, 30); ++i) {
    resized = picture;
    resizeBest = std::min(resizeBest, secondsOf([&] {
                            vz::resizePicture(resized, {256, 240, vz::ResizeMode::kFit});
                          }));
  }
  std::printf("  resizePicture alone, in process       %8.1f ms (%d x %d)\n", resizeBest * 1e3,
              resized.width, resized.height);

  // How far the two results lie apart (ImageMagick's box filter is the nearest peer of
  // the area-weighted mean, not the same rule).
  vz::ImageDocument peer;
  std::vector<uint8_t> bytes;
  if (vz::readWholeFile(theirs, bytes) &&
      vz::readBmp(bytes.size(), bytes.data(), peer) == vz::StatusCode::kOk &&
      peer.width == resized.width && peer.height == resized.height) {
    int largest = 0;
    double total = 0;
    for (int y = 0; y < peer.height; ++y)
      for (int x = 0; x < 3 * peer.width; ++x) {
        const int difference = std::abs(peer.row(y)[x] - resized.row(y)[x]);
        largest = std::max(largest, difference);
        total += difference;
      }
    std::printf("  against convert: mean difference %.2f, largest %d (of 255)\n",
                total / (3.0 * peer.width * peer.height), largest);
  }
  std::filesystem::remove_all(folder);
  return 0;
}
