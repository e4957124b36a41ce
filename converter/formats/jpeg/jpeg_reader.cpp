#include "converter/formats/jpeg/jpeg_reader.h"

#include <cstring>
#include <memory>

#include "converter/formats/jpeg/jpeg_decoder.h"
#include "converter/formats/jpeg/jpeg_stream.h"

namespace vz {

namespace {

// Why no picture started.
Status statusOf(JpegError error) {
  switch (error) {
    case JpegError::kNoStartOfImage:
      return StatusCode::kNotThisFormat;
    case JpegError::kArithmeticCoding:
    case JpegError::kUnsupportedFrame:
    case JpegError::kBadPrecision:
    case JpegError::kUnsupportedComponentCount:
    case JpegError::kUnsupportedSampling:
      return StatusCode::kUnsupported;
    case JpegError::kNoFreeSlot:
    case JpegError::kOutOfMemory:
      return StatusCode::kOutOfMemory;
    default:
      return StatusCode::kDamaged;
  }
}

void copyRow(const uint8_t* row, bool grey, int32_t width, uint8_t* out) {
  if (grey) {
    std::memcpy(out, row, static_cast<size_t>(width));
    return;
  }
  for (int32_t x = 0; x < width; ++x) {
    out[3 * x] = row[4 * x + 2];
    out[3 * x + 1] = row[4 * x + 1];
    out[3 * x + 2] = row[4 * x];
  }
}

}  // namespace

Status readJpeg(size_t size, const uint8_t* data, ImageDocument& doc, const ReadOptions& options) {
  releasePicture(doc);
  JpegMemoryStream stream(data, size);
  // The decoder holds some 30 KB of state: keep it off the stack.
  std::unique_ptr<JpegDecoder> decoder(new (std::nothrow) JpegDecoder(&stream, true));
  if (!decoder) return StatusCode::kOutOfMemory;
  if (decoder->errorCode() != JpegError::kNone || decoder->start() != 0)
    return statusOf(decoder->errorCode());

  const int32_t width = decoder->width();
  const int32_t height = decoder->height();
  if (height > 0 && width > options.maxPixels / height) return pictureOverTheLimit(width, height);
  const bool grey = decoder->componentCount() == 1;
  // Zeroed, so that rows a failure leaves undelivered stay black.
  if (allocatePicture(doc, width, height,
                      grey ? ColourMode::kColours256 : ColourMode::kTrueColour) == 0) {
    releasePicture(doc);
    return StatusCode::kOutOfMemory;
  }
  if (grey) {
    for (int i = 0; i < 256; ++i) doc.palette[i] = makeColour(i, i, i);
  }
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = nullptr;
    int32_t length = 0;
    if (decoder->readRow(row, length) != 0) break;
    copyRow(row, grey, width, doc.row(y));
  }
  return decoder->errorCode() == JpegError::kNone ? StatusCode::kOk : StatusCode::kPartial;
}

}  // namespace vz
