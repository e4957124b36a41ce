#include "converter/formats/tvc/kep_redecode.h"

#include <algorithm>
#include <new>
#include <vector>

#include "converter/formats/tvc/tvc_bytes.h"
#include "converter/model/tvc_colours.h"

namespace vz {

const char* const kDecodeModeNames[kDecodeModeCount] = {"2-színű", "4-színű", "16-színű"};

namespace {
const ColourMode kDecodeModes[kDecodeModeCount] = {ColourMode::kColours2, ColourMode::kColours4,
                                                   ColourMode::kColours16};
}  // namespace

int decodeModeIndexOf(ColourMode colourMode) {
  for (int i = 0; i < kDecodeModeCount; ++i)
    if (kDecodeModes[i] == colourMode) return i;
  return -1;
}

namespace {

bool redecode(ImageDocument& doc, const KepDecodeColours& kepDecodeColours,
              const KepDecodeChoice& choice) {
  TvcLayout oldLayout;
  if (doc.interlaced || !tvcLayoutOf(doc.colourMode, false, oldLayout)) return false;
  if (choice.width == 0 || choice.height == 0 || choice.width > 0x7FFFFFFF) return false;
  if (choice.modeIndex >= kDecodeModeCount) return false;
  const ColourMode newMode = choice.modeIndex < 0 ? doc.colourMode : kDecodeModes[choice.modeIndex];

  // The TVC bytes of every row the buffer holds.
  const auto oldRowBytes = static_cast<size_t>(tvcBytesPerRow(doc.colourMode, doc.width));
  const size_t oldUnit = static_cast<size_t>(documentBytesPerTvcByte(oldLayout));
  const size_t bufferRows =
      doc.rowStride > 0 ? doc.pixels.size() / static_cast<size_t>(doc.rowStride) : 0;
  if (oldRowBytes * oldUnit > static_cast<size_t>(std::max(doc.rowStride, 0))) return false;
  std::vector<uint8_t> stream;
  stream.reserve(oldRowBytes * bufferRows);
  for (size_t y = 0; y < bufferRows; ++y) {
    const uint8_t* row = doc.row(static_cast<int32_t>(y));
    for (size_t column = 0; column < oldRowBytes; ++column)
      stream.push_back(tvcByteAt(oldLayout, row + column * oldUnit));
  }

  const auto newRowBytes = static_cast<size_t>(tvcBytesPerRow(newMode, choice.width));
  if (newRowBytes == 0 || newRowBytes > stream.size()) return false;
  const size_t completeRows = stream.size() / newRowBytes;
  const size_t storedRows = (stream.size() + newRowBytes - 1) / newRowBytes;

  ImageDocument redecoded;
  if (allocatePicture(redecoded, choice.width, static_cast<int64_t>(storedRows), newMode) <= 0)
    return false;
  TvcLayout newLayout;
  tvcLayoutOf(newMode, false, newLayout);
  const size_t newUnit = static_cast<size_t>(documentBytesPerTvcByte(newLayout));
  for (size_t i = 0; i < stream.size(); ++i) {
    uint8_t* row = redecoded.row(static_cast<int32_t>(i / newRowBytes));
    storeTvcByte(newLayout, stream[i], row + (i % newRowBytes) * newUnit);
  }

  doc.pixels = std::move(redecoded.pixels);
  doc.width = redecoded.width;
  doc.height = static_cast<int32_t>(std::min<size_t>(choice.height, completeRows));
  doc.rowStride = redecoded.rowStride;
  doc.colourMode = newMode;
  if (newMode == ColourMode::kColours16) {
    setTvcPalette(doc);
  } else {
    std::copy(kepDecodeColours.begin(), kepDecodeColours.end(), doc.palette.begin());
  }
  return true;
}

}  // namespace

bool redecodeKepPicture(ImageDocument& doc, const KepDecodeColours& kepDecodeColours,
                        const KepDecodeChoice& choice) {
  // The document changes only after every buffer has been had.
  try {
    return redecode(doc, kepDecodeColours, choice);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace vz
