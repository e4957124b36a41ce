// Decoding speed of readGif against giflib's DGifSlurp on the same 4000 x 3000,
// 256-colour GIF, made here with giflib's encoder. Both decode from memory. Prints
// the processor times and the ratio (ours / giflib).
#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>
#include <vector>

#include "converter/formats/gif.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
constexpr int kRuns = 7;

struct MemoryReader {
  const std::vector<uint8_t>* data;
  size_t pos;
};

int writeToVector(GifFileType* gif, const GifByteType* bytes, int count) {
  auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
  out->insert(out->end(), bytes, bytes + count);
  return count;
}

int readFromMemory(GifFileType* gif, GifByteType* bytes, int count) {
  auto* in = static_cast<MemoryReader*>(gif->UserData);
  const size_t take = std::min(static_cast<size_t>(count), in->data->size() - in->pos);
  std::memcpy(bytes, in->data->data() + in->pos, take);
  in->pos += take;
  return static_cast<int>(take);
}

// Smooth colour fields; with noise they code like a dithered photograph, without it
// like a drawing with long runs.
std::vector<uint8_t> makePixels(bool noisy) {
  std::mt19937 random(1234);
  std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      double value = 128 + 60 * std::sin(x / 97.0) + 60 * std::cos(y / 71.0 + x / 213.0);
      if (noisy)
        value += static_cast<int>(random() % 7) - 3;
      else
        value = std::floor(value / 8) * 8;
      pixels[static_cast<size_t>(y) * kWidth + x] =
          static_cast<uint8_t>(std::clamp(value, 0.0, 255.0));
    }
  return pixels;
}

std::vector<uint8_t> encodeGif(std::vector<uint8_t>& pixels) {
  std::vector<uint8_t> file;
  int error = 0;
  GifFileType* gif = EGifOpen(&file, writeToVector, &error);
  GifColorType colours[256];
  for (int i = 0; i < 256; ++i)
    colours[i] = {static_cast<GifByteType>(i), static_cast<GifByteType>(255 - i),
                  static_cast<GifByteType>(i * 7)};
  ColorMapObject* map = GifMakeMapObject(256, colours);
  bool ok = gif && EGifPutScreenDesc(gif, kWidth, kHeight, 8, 0, map) == GIF_OK &&
            EGifPutImageDesc(gif, 0, 0, kWidth, kHeight, false, nullptr) == GIF_OK;
  for (int y = 0; ok && y < kHeight; ++y)
    ok = EGifPutLine(gif, &pixels[static_cast<size_t>(y) * kWidth], kWidth) == GIF_OK;
  if (gif) EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  if (!ok) file.clear();
  return file;
}

// Processor time of the process (other programs on a shared machine count less than
// in wall time); the two decoders take turns, and each one's best run counts.
template <typename Ours, typename Theirs>
void bestSeconds(Ours ours, Theirs theirs, double& ourBest, double& theirBest) {
  ourBest = theirBest = 1e9;
  for (int run = 0; run < kRuns; ++run) {
    std::clock_t start = std::clock();
    ours();
    ourBest = std::min(ourBest, static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
    start = std::clock();
    theirs();
    theirBest = std::min(theirBest, static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
  }
}

bool benchOne(const char* name, bool noisy) {
  std::vector<uint8_t> pixels = makePixels(noisy);
  const std::vector<uint8_t> file = encodeGif(pixels);
  if (file.empty()) {
    std::fprintf(stderr, "giflib could not encode the picture\n");
    return false;
  }

  vz::ImageDocument doc;
  bool ours = true;
  bool theirs = true;
  double ourSeconds = 0;
  double giflibSeconds = 0;
  bestSeconds([&] { ours = vz::readGif(file.size(), file.data(), doc) == vz::StatusCode::kOk; },
              [&] {
                MemoryReader reader{&file, 0};
                int error = 0;
                GifFileType* gif = DGifOpen(&reader, readFromMemory, &error);
                theirs =
                    gif && DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0 &&
                    std::memcmp(gif->SavedImages[0].RasterBits, pixels.data(), pixels.size()) == 0;
                if (gif) DGifCloseFile(gif, &error);
              },
              ourSeconds, giflibSeconds);
  for (int y = 0; ours && y < kHeight; ++y)
    ours = std::memcmp(doc.row(y), &pixels[static_cast<size_t>(y) * kWidth], kWidth) == 0;
  if (!ours || !theirs) {
    std::fprintf(stderr, "%s: a decode differs from the picture (ours %d, giflib %d)\n", name, ours,
                 theirs);
    return false;
  }
  std::printf("%-8s %dx%d, %zu bytes: readGif %.1f ms, giflib %.1f ms, ratio %.2f\n", name, kWidth,
              kHeight, file.size(), ourSeconds * 1e3, giflibSeconds * 1e3,
              ourSeconds / giflibSeconds);
  return true;
}

}  // namespace

int main() {
  const bool photo = benchOne("photo", true);
  const bool drawing = benchOne("drawing", false);
  return photo && drawing ? 0 : 1;
}
