#include "converter/formats/jpeg/jpeg_reader.h"

#include <cstring>
#include <memory>

#include "converter/formats/jpeg/jpeg_decoder.h"
#include "converter/formats/jpeg/jpeg_stream.h"

namespace vz {

int32_t readJpg(const std::string& utf8Path, ImageDocument& doc, UserPrompts& prompts) {
  JpegFileStream stream;
  if (!stream.open(utf8Path)) {
    prompts.showError(texts::kCannotOpen, texts::kOpenCaption);
    return 0;
  }
  // The decoder holds some 60 KB of state: keep it off the stack.
  std::unique_ptr<JpegDecoder> decoder(new (std::nothrow) JpegDecoder(&stream, true));
  if (!decoder || decoder->errorCode() != 0 || decoder->start() != 0) {
    prompts.showError(texts::kDecodeFailed, texts::kOpenCaption);
    return 0;
  }

  const int32_t width = decoder->width();
  const int32_t height = decoder->height();
  const bool grey = decoder->componentCount() == 1;
  // Zeroed, so that rows a failure leaves undelivered stay black.
  const int32_t size = allocatePicture(doc, width, height, grey ? 256 : kTrueColour);
  if (size == 0) {
    releasePicture(doc);
    prompts.showError(texts::kDecodeFailed, texts::kOpenCaption);
    return 0;
  }
  if (grey) {
    for (int i = 0; i < 256; ++i) doc.palette[i] = makeColour(i, i, i);
  }

  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = nullptr;
    int32_t length = 0;
    if (decoder->readRow(row, length) != 0) break;
    uint8_t* out = doc.row(y);
    if (grey) {
      std::memcpy(out, row, static_cast<size_t>(width));
    } else {
      for (int32_t x = 0; x < width; ++x) {
        out[3 * x] = row[4 * x + 2];
        out[3 * x + 1] = row[4 * x + 1];
        out[3 * x + 2] = row[4 * x];
      }
    }
  }
  if (decoder->errorCode() != 0) prompts.showError(texts::kDecodeFailed, texts::kOpenCaption);
  return size;
}

}  // namespace vz
