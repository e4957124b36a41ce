#include "converter/formats/jpeg/jpeg_reader.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "converter/formats/jpeg/jpeg_decoder.h"
#include "converter/model/orientation.h"

namespace vz {

namespace {

// The program's default picture limit, 16384 x 16384 pixels.

// A broken picture keeps its full size, the rows without data black, when that takes at
// most this much memory or at most twice what the rows with data take; otherwise it is
// refused rather than let a few bytes of data claim gigabytes.
constexpr int64_t kPartialPictureFloor = int64_t{128} << 20;

// The most picture bytes one byte of Huffman-coded data can give: a block takes at least
// two bits, and an MCU of 16 x 16 blocks of pixels at least 9 blocks. Arithmetic-coded
// data can give more: the picture then grows as its rows arrive.
constexpr int64_t kPictureBytesPerDataByte = 2048;

std::string sizeText(int64_t width, int64_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

std::string describeFailure(const JpegDecoder& decoder, JpegError error) {
  const JpegFrame& frame = decoder.frame();
  switch (error) {
    case JpegError::kUnsupportedComponentCount:
      return "JPEG with " + std::to_string(frame.componentCount) + " components not supported";
    case JpegError::kUnsupportedSampling:
      for (int i = 0; i < frame.componentCount; ++i) {
        const JpegComponent& component = frame.components[i];
        if (component.h < 1 || component.h > 4 || component.v < 1 || component.v > 4)
          return "JPEG sampling " + std::to_string(component.h) + "x" +
                 std::to_string(component.v) + " not supported";
      }
      break;
    case JpegError::kCorruptData:
      return frame.arithmetic ? "corrupt arithmetic-coded data" : "corrupt Huffman data";
    default:
      break;
  }
  return describeJpegError(error);
}

// Why no picture started.
Status statusOf(const JpegDecoder& decoder) {
  const JpegError error = decoder.errorCode();
  StatusCode code = StatusCode::kDamaged;
  switch (error) {
    case JpegError::kNoStartOfImage:
      code = StatusCode::kNotThisFormat;
      break;
    case JpegError::kUnsupportedFrame:
    case JpegError::kBadPrecision:
    case JpegError::kUnsupportedComponentCount:
    case JpegError::kUnsupportedSampling:
      code = StatusCode::kUnsupported;
      break;
    case JpegError::kNoFreeSlot:
    case JpegError::kOutOfMemory:
      code = StatusCode::kOutOfMemory;
      break;
    default:
      break;
  }
  return Status(code, describeFailure(decoder, error));
}

// Why the picture is incomplete, after 'rows' rows of one decoded row by row.
std::string describeDamage(const JpegDecoder& decoder, int32_t rows) {
  if (decoder.buffered()) {
    // The scans ended whole: there is no place to name.
    if (decoder.damage() == JpegError::kComponentWithoutScan)
      return describeFailure(decoder, decoder.damage());
    const std::string where =
        (decoder.damageWithinScan() ? " in scan " : " after scan ") +
        std::to_string(decoder.completeScans() + (decoder.damageWithinScan() ? 1 : 0)) +
        (decoder.frame().progressive ? " of the progressive picture"
                                     : " of the sequential picture");
    return decoder.dataEnded() ? "data ends" + where
                               : describeFailure(decoder, decoder.damage()) + where;
  }
  const std::string where =
      " at row " + std::to_string(rows) + " of " + std::to_string(decoder.height());
  return decoder.dataEnded() ? "data ends" + where
                             : describeFailure(decoder, decoder.errorCode()) + where;
}

// Room for 'rows' rows in 'pixels', whose rows stay; the new ones are zero.
bool makeRoomForRows(std::vector<uint8_t>& pixels, size_t stride, int32_t rows) {
  const size_t size = stride * static_cast<size_t>(rows);
  if (pixels.size() >= size) return true;
  std::vector<uint8_t> larger;
  if (!allocateZeroed(larger, size)) return false;
  if (!pixels.empty()) std::memcpy(larger.data(), pixels.data(), pixels.size());
  pixels.swap(larger);
  return true;
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
  // The decoder holds some 8 KB of state: keep it off the stack.
  std::unique_ptr<JpegDecoder> decoder(new (std::nothrow) JpegDecoder(&stream, true));
  if (!decoder) return Status(StatusCode::kOutOfMemory, "out of memory");
  if (decoder->errorCode() != JpegError::kNone) return statusOf(*decoder);

  const int32_t width = decoder->width();
  const int32_t height = decoder->height();
  const bool grey = decoder->componentCount() == 1;
  const ColourMode colourMode = grey ? ColourMode::kColours256 : ColourMode::kTrueColour;
  const int64_t stride = rowStrideFor(colourMode, width);
  if (static_cast<int64_t>(width) * height > options.maxPixels || stride < 0 ||
      height > kMaxPictureBytes / stride)
    return Status(StatusCode::kTooLarge,
                  "picture " + sizeText(width, height) + " is over the limit");
  if (decoder->start() != JpegError::kNone) return statusOf(*decoder);

  const int64_t fullBytes = stride * height;
  const auto keepsFullSize = [&](int32_t rowsWithData) {
    return fullBytes <= std::max(kPartialPictureFloor, 2 * stride * rowsWithData);
  };
  const bool broken = decoder->damage() != JpegError::kNone;
  if (broken && !keepsFullSize(decoder->rowsReached()))
    return Status(StatusCode::kDamaged, describeDamage(*decoder, 0));

  ImageDocument picture;
  picture.width = width;
  picture.height = height;
  picture.rowStride = static_cast<int32_t>(stride);
  picture.colourMode = colourMode;
  if (grey) {
    for (int i = 0; i < 256; ++i)
      picture.palette[i] =
          makeColour(static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i));
  }
  // Room for the rows the data can hold at most, and more as they arrive.
  const int64_t rowsTheDataCanHold =
      static_cast<int64_t>(size) * kPictureBytesPerDataByte / stride + 1;
  int32_t rowsWithRoom = static_cast<int32_t>(std::min<int64_t>(height, rowsTheDataCanHold));
  if (!makeRoomForRows(picture.pixels, static_cast<size_t>(stride), rowsWithRoom))
    return Status(StatusCode::kOutOfMemory, "out of memory");

  int32_t rows = 0;
  for (; rows < height; ++rows) {
    const uint8_t* row = nullptr;
    int32_t length = 0;
    if (decoder->readRow(row, length) != JpegRowResult::kRow) break;
    if (rows == rowsWithRoom) {
      rowsWithRoom = static_cast<int32_t>(std::min<int64_t>(height, 2 * int64_t{rowsWithRoom}));
      if (!makeRoomForRows(picture.pixels, static_cast<size_t>(stride), rowsWithRoom))
        return Status(StatusCode::kOutOfMemory, "out of memory");
    }
    copyRow(row, grey, width, picture.row(rows));
  }
  Status status;
  if (rows < height) {
    if (!keepsFullSize(rows)) return Status(StatusCode::kDamaged, describeDamage(*decoder, rows));
    status = Status(StatusCode::kPartial, describeDamage(*decoder, rows));
  } else if (broken) {
    status = Status(StatusCode::kPartial, describeDamage(*decoder, rows));
  }
  if (!makeRoomForRows(picture.pixels, static_cast<size_t>(stride), height))
    return Status(StatusCode::kOutOfMemory, "out of memory");
  if (options.applyOrientation) {
    const Status oriented = orientPicture(picture, decoder->orientation());
    if (!oriented.ok()) return oriented;
  }
  installPicture(doc, std::move(picture));
  return status;
}

}  // namespace vz
