// The JPEG decoder on arbitrary bytes, both transforms: never a read past the data,
// never a crash or a hang, and every row it hands out has the promised length. Then the
// reader on the same bytes, turning the picture as its EXIF says: a picture it gives has
// the size its header names, turned or not, and a buffer that holds it.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "converter/formats/jpeg/jpeg_decoder.h"
#include "converter/formats/jpeg/jpeg_reader.h"

namespace {

// Large frames decode slowly under the sanitizers; their headers have been parsed.
constexpr int64_t kMaxPixels = 1 << 18;

void readWholePicture(const std::vector<uint8_t>& file, int32_t width, int32_t height) {
  vz::ImageDocument doc;
  const vz::Status status = vz::readJpeg(file.size(), file.data(), doc, {kMaxPixels, true});
  if (status != vz::StatusCode::kOk && status != vz::StatusCode::kPartial) {
    if (doc.holdsPicture() || !doc.pixels.empty()) __builtin_trap();
    return;
  }
  const bool turned = doc.width != width;
  if (doc.width != (turned ? height : width) || doc.height != (turned ? width : height) ||
      doc.pixels.size() != static_cast<size_t>(doc.rowStride) * doc.height ||
      doc.pictureSize() != static_cast<int32_t>(doc.pixels.size()))
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte picks the transform and how many bytes each stream read returns.
  const bool fastPath = (data[0] & 1) != 0;
  const int chunk = 1 + (data[0] >> 1) * 64;
  // A copy of exactly the given size, so that any over-read hits the sanitizer.
  const std::vector<uint8_t> file(data + 1, data + size);
  vz::JpegMemoryStream stream(file.data(), file.size(), chunk);
  auto decoder = std::make_unique<vz::JpegDecoder>(&stream, fastPath);
  const int32_t width = decoder->width();
  const int32_t height = decoder->height();
  if (static_cast<int64_t>(width) * height > kMaxPixels) return 0;
  if (decoder->start() != vz::JpegError::kNone) return 0;
  const int32_t expected = width * decoder->bytesPerPixel();
  const uint8_t* row = nullptr;
  int32_t length = 0;
  int32_t rows = 0;
  while (decoder->readRow(row, length) == vz::JpegRowResult::kRow) {
    if (length != expected || ++rows > height) __builtin_trap();
    volatile uint8_t sink = row[length - 1];
    (void)sink;
  }
  decoder.reset();
  readWholePicture(file, width, height);
  return 0;
}
