#include "converter/formats/growing_picture.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace vz {

namespace {

constexpr int64_t kPartialPictureFloor = int64_t{128} << 20;

int64_t fullRows(const ImageDocument& picture) {
  return std::max<int64_t>(picture.height, 1);
}

}  // namespace

int64_t rowsWithRoom(const ImageDocument& picture) {
  return picture.rowStride > 0 ? static_cast<int64_t>(picture.pixels.size()) / picture.rowStride
                               : 0;
}

bool reachRows(ImageDocument& picture, int64_t rows) {
  const int64_t room = rowsWithRoom(picture);
  if (rows <= room) return true;
  const int64_t height = fullRows(picture);
  int64_t grown = std::max(rows, 2 * room);
  if (4 * grown > height) grown = height;
  std::vector<uint8_t> larger;
  if (!allocateZeroed(larger, static_cast<size_t>(grown) * static_cast<size_t>(picture.rowStride)))
    return false;
  if (!picture.pixels.empty())
    std::memcpy(larger.data(), picture.pixels.data(), picture.pixels.size());
  picture.pixels.swap(larger);
  return true;
}

Status startGrowingPicture(ImageDocument& picture, int64_t width, int64_t height,
                           ColourMode colourMode, int64_t maxPixels, uint64_t firstBytes) {
  const Status status = checkPictureForReading(width, height, colourMode, maxPixels);
  if (!status.ok()) return status;
  picture.pixels = std::vector<uint8_t>();
  picture.width = static_cast<int32_t>(width);
  picture.height = static_cast<int32_t>(height);
  picture.rowStride = static_cast<int32_t>(rowStrideFor(colourMode, width));
  picture.colourMode = colourMode;
  const uint64_t firstRows = firstBytes / static_cast<uint64_t>(picture.rowStride) + 1;
  if (!reachRows(picture, static_cast<int64_t>(std::min<uint64_t>(firstRows, height))))
    return StatusCode::kOutOfMemory;
  return StatusCode::kOk;
}

Status endBrokenPicture(ImageDocument& picture, int64_t rowsWithData, const std::string& reason) {
  const int64_t fullBytes = int64_t{picture.rowStride} * picture.height;
  if (fullBytes > std::max(kPartialPictureFloor, 2 * int64_t{picture.rowStride} * rowsWithData))
    return Status(StatusCode::kDamaged, reason);
  if (!reachRows(picture, picture.height)) return StatusCode::kOutOfMemory;
  return Status(StatusCode::kPartial, reason);
}

std::string atRow(int64_t row, int64_t height) {
  return " at row " + std::to_string(row) + " of " + std::to_string(height);
}

std::string sizeText(int64_t width, int64_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

}  // namespace vz
