// Decoding speed: our JPEG reader against libjpeg-turbo's djpeg and stb_image, on a
// 4000 x 3000 picture made at run time (4:2:0, quality 90), baseline and progressive.
//
//   build/native/bench_jpeg [runs]
//
// djpeg runs as a process (-dct fast -nosmooth, PPM to /dev/null), so its time includes
// process start-up and output formatting; ours and stb_image's include reading the file.
// "decoder" streams the rows as djpeg does; "readJpeg" also fills the document (a zeroed
// 36 MB buffer, B, G, R order), as stb_image fills its buffer. "djpeg to memory" writes its
// PPM into a file in /dev/shm, so that it too puts the whole picture into fresh memory:
// that is the fair partner of readJpeg.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <memory>

#include "bench_timing.h"
#include "converter/formats/jpeg/jpeg_decoder.h"
#include "converter/formats/jpeg/jpeg_reader.h"
#include "converter/model/file_io.h"

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#endif
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#include <stb/stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

// Gradients, stripes and noise: something between a photograph and a drawing.
bool writePicture(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  std::fprintf(file, "P6\n%d %d\n255\n", kWidth, kHeight);
  std::vector<uint8_t> row(3 * kWidth);
  uint32_t state = 1;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      state = state * 1664525u + 1013904223u;
      const int noise = static_cast<int>(state >> 28) - 8;
      const int stripe = ((x / 40 + y / 30) % 2) * 50;
      row[3 * x] = static_cast<uint8_t>(std::clamp(x * 200 / kWidth + stripe + noise, 0, 255));
      row[3 * x + 1] = static_cast<uint8_t>(std::clamp(y * 200 / kHeight + noise, 0, 255));
      row[3 * x + 2] = static_cast<uint8_t>(std::clamp(((x ^ y) & 0xFF) / 2 + stripe, 0, 255));
    }
    std::fwrite(row.data(), 1, row.size(), file);
  }
  return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const char* tmp = std::getenv("TMPDIR");
  const std::string base = std::string(tmp != nullptr ? tmp : "/tmp") + "/vizorka_bench_jpeg";
  if (!writePicture(base + ".ppm")) return 1;

  struct Kind {
    const char* name;
    const char* options;
  };
  for (const Kind& kind : {Kind{"baseline", ""}, Kind{"progressive", "-progressive"}}) {
    const std::string jpeg = base + "_" + kind.name + ".jpg";
    const std::string make = std::string("cjpeg -quality 90 -sample 2x2 ") + kind.options +
                             " -outfile " + jpeg + " " + base + ".ppm";
    if (std::system(make.c_str()) != 0) return 1;

    const double decoder = bench::bestSeconds(runs, [&] {
      std::vector<uint8_t> file;
      if (!vz::readWholeFile(jpeg, file)) return false;
      vz::JpegMemoryStream stream(file.data(), file.size());
      auto jpegDecoder = std::make_unique<vz::JpegDecoder>(&stream, true);
      if (jpegDecoder->start() != vz::JpegError::kNone) return false;
      const uint8_t* row = nullptr;
      int32_t length = 0;
      int32_t rows = 0;
      while (jpegDecoder->readRow(row, length) == vz::JpegRowResult::kRow) ++rows;
      return rows == kHeight;
    });
    const double ours = bench::bestSeconds(runs, [&] {
      std::vector<uint8_t> file;
      if (!vz::readWholeFile(jpeg, file)) return false;
      vz::ImageDocument doc;
      return vz::readJpeg(file.size(), file.data(), doc, vz::ReadOptions{int64_t{1} << 28, true})
          .ok();
    });
    const double djpeg = bench::bestSeconds(runs, [&] {
      const std::string command = "djpeg -dct fast -nosmooth -outfile /dev/null " + jpeg;
      return std::system(command.c_str()) == 0;
    });
    const std::string inMemory = "/dev/shm/vizorka-bench-jpeg.ppm";
    const double djpegToMemory = bench::bestSeconds(runs, [&] {
      std::remove(inMemory.c_str());
      const std::string command = "djpeg -dct fast -nosmooth -outfile " + inMemory + " " + jpeg;
      return std::system(command.c_str()) == 0;
    });
    std::remove(inMemory.c_str());
    const double stb = bench::bestSeconds(runs, [&] {
      int width = 0, height = 0, channels = 0;
      stbi_uc* pixels = stbi_load(jpeg.c_str(), &width, &height, &channels, 3);
      stbi_image_free(pixels);
      return pixels != nullptr;
    });
    std::printf(
        "%s: decoder %.1f ms, readJpeg %.1f ms, djpeg %.1f ms, djpeg to memory %.1f ms, "
        "stb_image %.1f ms\n",
        kind.name, 1000 * decoder, 1000 * ours, 1000 * djpeg, 1000 * djpegToMemory, 1000 * stb);
    std::printf(
        "  decoder/djpeg %.2f  decoder/stb %.2f  readJpeg/djpeg-to-memory %.2f  readJpeg/stb "
        "%.2f\n",
        decoder / djpeg, decoder / stb, ours / djpegToMemory, ours / stb);
    std::remove(jpeg.c_str());
  }
  std::remove((base + ".ppm").c_str());
  return 0;
}
