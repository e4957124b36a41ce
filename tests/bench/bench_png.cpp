// Decoding speed: our PNG reader against libpng, on a 4000 x 3000 photo-like RGB picture
// made at run time by ImageMagick (plasma), stored twice: with ImageMagick's own choice
// of row filters, and with Paeth on every row.
//
//   build/native/bench_png [runs]
//
// "vizorka-cli" is the whole process `vizorka-cli FILE --info`: start-up, reading the
// file, decoding into the document. "pngtopam" is netpbm's libpng program, PAM to
// /dev/null: its process, libpng and zlib. In the same process, readPng (file already
// in memory) is compared with libpng's simplified reader into a fresh buffer of blue,
// green, red bytes. Each time is the best of the runs.
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "converter/formats/png_reader.h"
#include "converter/model/file_io.h"

namespace {

bool decodeWithLibpng(const std::vector<uint8_t>& file) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return false;
  image.format = PNG_FORMAT_BGR;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  const bool ok = png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) != 0;
  png_image_free(&image);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const char* tmp = std::getenv("TMPDIR");
  const std::string base = std::string(tmp != nullptr ? tmp : "/tmp") + "/vizorka_bench_png";
  const std::string cli = VIZORKA_CLI_PATH;

  struct Kind {
    const char* name;
    const char* options;
  };
  // -quality 74: zlib level 7 and filter 4 (Paeth) on every row.
  for (const Kind& kind : {Kind{"ImageMagick's filters", ""}, Kind{"Paeth", "-quality 74"}}) {
    const std::string png = base + ".png";
    const std::string make = std::string("convert -seed 7 -size 4000x3000 plasma:fractal ") +
                             "-type TrueColor -depth 8 " + kind.options + " " + png;
    if (std::system(make.c_str()) != 0) return 1;
    std::vector<uint8_t> file;
    if (vz::readPictureFile(png, file) != vz::StatusCode::kOk) return 1;

    const double process = bench::bestSeconds(
        runs, [&] { return std::system((cli + " " + png + " --info >/dev/null").c_str()) == 0; });
    const double pngtopam = bench::bestSeconds(
        runs, [&] { return std::system(("pngtopam " + png + " >/dev/null").c_str()) == 0; });
    const double reader = bench::bestSeconds(runs, [&] {
      vz::ImageDocument doc;
      return vz::readPng(file.size(), file.data(), doc) == vz::StatusCode::kOk;
    });
    const double libpng = bench::bestSeconds(runs, [&] { return decodeWithLibpng(file); });
    std::printf(
        "%s (%.1f MB): vizorka-cli %.1f ms, pngtopam %.1f ms; readPng %.1f ms, libpng %.1f ms\n",
        kind.name, file.size() / 1e6, 1000 * process, 1000 * pngtopam, 1000 * reader,
        1000 * libpng);
    std::printf("  vizorka-cli/pngtopam %.2f  readPng/libpng %.2f\n", process / pngtopam,
                reader / libpng);
    std::remove(png.c_str());
  }
  return 0;
}
