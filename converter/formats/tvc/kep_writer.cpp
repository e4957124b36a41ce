#include "converter/formats/tvc/kep_writer.h"

#include <algorithm>
#include <array>
#include <new>
#include <stdexcept>

#include "base/little_endian.h"
#include "converter/formats/tvc/tvc_bytes.h"
#include "converter/model/tvc_colours.h"

namespace vz {

namespace {

constexpr uint8_t kPlainModeBase = 8;
constexpr uint8_t kRleModeBase = 4;
constexpr int kLongestRun = 63;
constexpr uint8_t kTagStep = 0x40;
constexpr uint8_t kTagBits = 0xC0;

// Geometry of the picture as the writer sees it.
struct KepLayout {
  int kind = 0;
  TvcLayout layout = TvcLayout::kTwoColours;
  size_t rowBytes = 0;  // T, TVC bytes per row
  size_t height = 0;
};

bool kepLayoutOf(const ImageDocument& doc, KepLayout& out) {
  // An interlaced picture is written as such whatever else is set; only colour modes
  // whose rows are wide enough for its byte pairs can hold one.
  if (doc.interlaced &&
      (doc.colourMode == ColourMode::kColours16 || doc.colourMode == ColourMode::kColours4)) {
    out.kind = kTvcFourInterlaced;
  } else if (doc.colourMode == ColourMode::kColours2) {
    out.kind = kTvcTwoColours;
  } else if (doc.colourMode == ColourMode::kColours4) {
    out.kind = kTvcFourColours;
  } else if (doc.colourMode == ColourMode::kColours16) {
    out.kind = kTvcSixteenColours;
  } else {
    return false;
  }
  out.layout = out.kind == kTvcTwoColours       ? TvcLayout::kTwoColours
               : out.kind == kTvcSixteenColours ? TvcLayout::kSixteenColours
                                                : TvcLayout::kFourColours;
  const ColourMode rowMode =
      out.kind == kTvcFourInterlaced ? ColourMode::kColours4 : doc.colourMode;
  out.rowBytes = static_cast<size_t>(tvcBytesPerRow(rowMode, doc.width));
  out.height = doc.height > 0 ? static_cast<size_t>(doc.height) : 0;
  // Every row read must lie inside the buffer.
  const size_t documentRowBytes =
      out.rowBytes * static_cast<size_t>(documentBytesPerTvcByte(out.layout));
  if (out.height > 0 && documentRowBytes > 0) {
    if (doc.rowStride < 0 || documentRowBytes > static_cast<size_t>(doc.rowStride)) return false;
    if (doc.pixels.size() <
        static_cast<size_t>(doc.rowStride) * (out.height - 1) + documentRowBytes)
      return false;
  }
  return true;
}

uint8_t hardwareByteOfColour(ColourValue colour) {
  const int index = tvcIndexOf(colour);
  return index < 0 ? 0 : hardwareByteOf(index);
}

void appendPlainRow(const KepLayout& kep, const uint8_t* row, std::vector<uint8_t>& out) {
  const int unitSize = documentBytesPerTvcByte(kep.layout);
  for (size_t column = 0; column < kep.rowBytes; ++column)
    out.push_back(tvcByteAt(kep.layout, row + column * static_cast<size_t>(unitSize)));
}

// One row in RLE. A unit is the document byte, or byte pair, that makes one TVC byte;
// runs never cross the row's end, while the marker tag goes on into the next row.
void appendRleRow(const KepLayout& kep, const uint8_t* row, uint8_t& tag,
                  std::vector<uint8_t>& out) {
  const size_t unitSize = static_cast<size_t>(documentBytesPerTvcByte(kep.layout));
  const size_t units = kep.rowBytes;
  size_t position = 0;
  while (position < units) {
    const uint8_t* unit = row + position * unitSize;
    size_t run = 1;
    while (run < kLongestRun && position + run < units &&
           std::equal(unit, unit + unitSize, row + (position + run) * unitSize))
      ++run;
    const uint8_t value = tvcByteAt(kep.layout, unit);
    if (run == 1 && (value & kTagBits) != tag) {
      out.push_back(value);
    } else {
      out.push_back(static_cast<uint8_t>(run | tag));
      out.push_back(value);
      if (run == 1) tag = static_cast<uint8_t>(tag + kTagStep);
    }
    position += run;
  }
}

// The background mask of one row: every bit of a pixel that shows the mask colour set.
// Sixteen-colour pixels compare their value (the TVC index) with the mask colour; the
// other kinds compare the colour their palette entry holds with the mask's TVC colour.
void appendMaskRow(const KepLayout& kep, const uint8_t* row, const std::array<bool, 16>& marked,
                   std::vector<uint8_t>& out) {
  for (size_t column = 0; column < kep.rowBytes; ++column) {
    int maskByte = 0;
    switch (kep.layout) {
      case TvcLayout::kTwoColours:
        for (int k = 0; k < 8; ++k)
          if (marked[(row[column] >> (7 - k)) & 1]) maskByte |= 1 << (7 - k);
        break;
      case TvcLayout::kFourColours: {
        const uint8_t* pair = row + 2 * column;
        const int pixels[4] = {pair[0] >> 4, pair[0] & 0x0F, pair[1] >> 4, pair[1] & 0x0F};
        for (int k = 0; k < 4; ++k)
          if (marked[static_cast<size_t>(pixels[k])]) maskByte |= 1 << (7 - k) | 1 << (3 - k);
        break;
      }
      case TvcLayout::kSixteenColours:
        if (marked[row[column] >> 4]) maskByte |= 0xAA;
        if (marked[row[column] & 0x0F]) maskByte |= 0x55;
        break;
    }
    out.push_back(static_cast<uint8_t>(maskByte));
  }
}

}  // namespace

bool saveOptionsOfKepFile(size_t fileSize, const uint8_t* fileData, SaveOptions& options) {
  if (fileSize < 4 || fileData[0] != 'K' || fileData[1] != 'E' || fileData[2] != 'P') return false;
  const uint8_t modeByte = fileData[3];
  if (modeByte < kRleModeBase || modeByte >= kPlainModeBase + 4) return false;
  options = SaveOptions();
  options.saveCoding = modeByte < kPlainModeBase ? kRle : kPlain;
  return true;
}

KepEncodeStatus encodeKep(const ImageDocument& doc, const SaveOptions& options,
                          KepEncoding& encoding) {
  encoding = KepEncoding();
  KepLayout kep;
  if (!kepLayoutOf(doc, kep)) return KepEncodeStatus::kNotTvcPicture;
  const bool rle = options.saveCoding == kRle;
  const uint8_t modeByte = static_cast<uint8_t>(kep.kind + (rle ? kRleModeBase : kPlainModeBase));

  std::array<uint8_t, 4> paletteBytes{};
  for (size_t i = 0; i < paletteBytes.size(); ++i)
    paletteBytes[i] = hardwareByteOfColour(doc.palette[i]);

  std::vector<uint8_t>& out = encoding.picture;
  const size_t rowBytes = kep.rowBytes;
  if (options.saveFormat == kFullKepHeader) {
    // A width or height past 16 bits would give a header that no longer matches the data.
    if (doc.width > 0xFFFF || doc.height > 0xFFFF) return KepEncodeStatus::kTooLargeForHeader;
    std::array<uint8_t, 4> headerColours = paletteBytes;
    if (kep.kind == kTvcFourInterlaced) {
      // Colours 0 and 3 of both halves are black and white by definition; the half
      // that the top-left pixel uses comes first.
      const bool startsInSecondHalf = !doc.pixels.empty() && ((doc.pixels[0] >> 4) & 4) != 0;
      const size_t first = startsInSecondHalf ? 5 : 1;
      const size_t second = startsInSecondHalf ? 1 : 5;
      headerColours = {
          hardwareByteOfColour(doc.palette[first]), hardwareByteOfColour(doc.palette[first + 1]),
          hardwareByteOfColour(doc.palette[second]), hardwareByteOfColour(doc.palette[second + 1])};
    }
    out = {'K', 'E', 'P', modeByte};
    out.insert(out.end(), headerColours.begin(), headerColours.end());
    appendLe(out, static_cast<uint32_t>(doc.width), 2);
    appendLe(out, static_cast<uint32_t>(kep.height), 2);
    out.insert(out.end(), 4, 0);
  } else {
    // A header byte that cut the size would make a TVC program read the data wrongly.
    if (rowBytes > 0xFF || kep.height > 0xFF) return KepEncodeStatus::kTooLargeForSprite;
    if (options.makePaletteFile) encoding.palette.assign(paletteBytes.begin(), paletteBytes.end());
    if (options.saveFormat == kSpriteWithMask)
      appendLe(out, static_cast<uint32_t>(rowBytes * kep.height), 2);
    out.push_back(static_cast<uint8_t>(rowBytes));
    out.push_back(static_cast<uint8_t>(kep.height));
  }

  const bool withMask = options.saveFormat == kSpriteWithMask;
  const size_t dataBytes = rowBytes * kep.height;
  try {
    out.reserve(out.size() + (rle ? 2 * dataBytes : dataBytes) + (withMask ? dataBytes : 0));
  } catch (const std::bad_alloc&) {
    return KepEncodeStatus::kOutOfMemory;
  } catch (const std::length_error&) {
    return KepEncodeStatus::kOutOfMemory;
  }

  uint8_t tag = 0;
  for (size_t y = 0; y < kep.height; ++y) {
    const uint8_t* row = doc.row(static_cast<int32_t>(y));
    if (rle)
      appendRleRow(kep, row, tag, out);
    else
      appendPlainRow(kep, row, out);
  }
  if (withMask) {
    std::array<bool, 16> marked{};
    const ColourValue maskColour = tvcColour(options.maskColour);
    for (size_t value = 0; value < marked.size(); ++value)
      marked[value] = kep.kind == kTvcSixteenColours ? value == (options.maskColour & 0x0Fu)
                                                     : doc.palette[value] == maskColour;
    for (size_t y = 0; y < kep.height; ++y)
      appendMaskRow(kep, doc.row(static_cast<int32_t>(y)), marked, out);
  }
  return KepEncodeStatus::kOk;
}

std::string palettePathFor(const std::string& picturePath) {
  const size_t nameStart = picturePath.find_last_of("\\/");
  const size_t dot = picturePath.find_last_of('.');
  const bool hasExtension =
      dot != std::string::npos && (nameStart == std::string::npos || dot > nameStart);
  return (hasExtension ? picturePath.substr(0, dot) : picturePath) + ".PAL";
}

}  // namespace vz
