// The JPEG decoder on arbitrary bytes, both transforms: never a read past the data,
// never a crash or a hang, and every row it hands out has the promised length.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "converter/formats/jpeg/jpeg_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte picks the transform and how many bytes each stream read returns.
  const bool fastPath = (data[0] & 1) != 0;
  const int chunk = 1 + (data[0] >> 1) * 64;
  // A copy of exactly the given size, so that any over-read hits the sanitizer.
  const std::vector<uint8_t> file(data + 1, data + size);
  vz::JpegMemoryStream stream(file.data(), file.size(), chunk);
  auto decoder = std::make_unique<vz::JpegDecoder>(&stream, fastPath);
  // Large frames decode slowly under the sanitizers; their headers have been parsed.
  if (static_cast<int64_t>(decoder->width()) * decoder->height() > 1 << 18) return 0;
  if (decoder->start() != vz::JpegError::kNone) return 0;
  const int32_t expected = decoder->width() * decoder->bytesPerPixel();
  const uint8_t* row = nullptr;
  int32_t length = 0;
  int32_t rows = 0;
  while (decoder->readRow(row, length) == vz::JpegRowResult::kRow) {
    if (length != expected || ++rows > decoder->height()) __builtin_trap();
    volatile uint8_t sink = row[length - 1];
    (void)sink;
  }
  return 0;
}
