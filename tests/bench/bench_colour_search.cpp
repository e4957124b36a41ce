// Times, in the process, the search for the best colour sets and the refined dither on
// 256 x 240 pictures (the test photos fitted by ImageMagick, a colour gradient and a
// plasma), with one thread and with two: the best of RUNS runs of each, as wall-clock
// time and, with one thread, as the processor time the process used (which other work on
// a shared machine disturbs less). Targets, on one thread's processor time:
//   4-colour sets (perceptual): under 0.5 s;
//   interlaced pairs (perceptual): under 2 s;
//   refined dither to 16 colours: under 1 s.
// Usage: bench_colour_search [runs [convert]]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "bench_pictures.h"
#include "converter/colour/colour_set_search.h"
#include "converter/colour/conversions.h"
#include "converter/colour/refined_dither.h"
#include "converter/formats/bmp.h"
#include "converter/model/file_io.h"

namespace {

bool fittedPhoto(const std::string& convert, const std::string& source, const std::string& bmp,
                 vz::ImageDocument& doc) {
  const std::string command = convert + " '" + source +
                              "' -resize 256x240 -type TrueColor 'BMP3:" + bmp +
                              "' >/dev/null 2>&1";
  std::vector<uint8_t> bytes;
  return std::system(command.c_str()) == 0 && vz::readPictureFile(bmp, bytes).ok() &&
         vz::readBmp(bytes.size(), bytes.data(), doc) == vz::StatusCode::kOk;
}

struct Times {
  double wall = 1e30, processor = 1e30;  // seconds; negative when a run failed
};

// The best wall-clock and processor times of `runs` calls of `work`.
Times bestTimes(int runs, const std::function<bool()>& work) {
  Times best;
  for (int i = 0; i < runs; ++i) {
    const auto begin = std::chrono::steady_clock::now();
    const std::clock_t processorBegin = std::clock();
    if (!work()) return {-1, -1};
    const double processor = static_cast<double>(std::clock() - processorBegin) / CLOCKS_PER_SEC;
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - begin;
    best.wall = std::min(best.wall, wall.count());
    best.processor = std::min(best.processor, processor);
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const std::string convert = argc > 2 ? argv[2] : "convert";
  char folder[] = "/tmp/vizorka-colour-search-XXXXXX";
  if (!mkdtemp(folder)) return 1;

  std::vector<std::pair<std::string, vz::ImageDocument>> pictures;
  const std::string data = VIZORKA_TESTDATA_DIR "/jpeg/";
  for (const auto& photo :
       std::vector<std::pair<std::string, std::string>>{{"rose", "testorig.jpg"},
                                                        {"bird", "shira_bird8.bmp"},
                                                        {"scene", "vgl_6434_0018a.bmp"}}) {
    vz::ImageDocument doc;
    if (!fittedPhoto(convert, data + photo.second, std::string(folder) + "/" + photo.first + ".bmp",
                     doc))
      return 1;
    pictures.emplace_back(photo.first, std::move(doc));
  }
  pictures.emplace_back("gradient", bench::colourGradient(256, 240));
  pictures.emplace_back("plasma", bench::plasma(256, 240));
  std::system((std::string("rm -rf '") + folder + "'").c_str());

  bool met = true;
  const auto report = [&](const char* what, const std::string& picture, int threads, Times times,
                          double target) {
    if (threads == 1) {
      const bool ok = times.processor >= 0 && times.processor < target;
      met = met && ok;
      std::printf("%-28s %-9s 1 thread   wall %7.3f s  processor %7.3f s  (target < %.1f s) %s\n",
                  what, picture.c_str(), times.wall, times.processor, target,
                  ok ? "met" : "MISSED");
    } else {
      met = met && times.wall >= 0;
      std::printf("%-28s %-9s %d threads  wall %7.3f s\n", what, picture.c_str(), threads,
                  times.wall);
    }
    std::fflush(stdout);
  };
  for (const auto& [name, picture] : pictures) {
    for (int threads : {1, 2}) {
      vz::EffectSettings settings;
      settings.ditherAlgorithm = vz::kPerceptual;
      vz::ColourSetTarget four;
      four.choose = {false, true, true};
      report("4-colour sets", name, threads,
             bestTimes(runs,
                       [&] {
                         vz::EffectSettings trial = settings;
                         return vz::chooseColourSets(picture, trial, four, threads).ok();
                       }),
             0.5);
      settings.interlacedFourColour = true;
      report("interlaced pairs", name, threads,
             bestTimes(runs,
                       [&] {
                         vz::EffectSettings trial = settings;
                         return vz::chooseColourSets(picture, trial, four, threads).ok();
                       }),
             2.0);
      report("refined dither, 16 colours", name, threads,
             bestTimes(runs,
                       [&] {
                         vz::ImageDocument doc = picture;
                         vz::refinedDither(doc, vz::EffectSettings{}, vz::kDitherSixteenColours, 1,
                                           1, threads);
                         return doc.colourMode == vz::ColourMode::kColours16;
                       }),
             1.0);
    }
  }
  return met ? 0 : 1;
}
