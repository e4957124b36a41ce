// Grey-scale conversions, halving and the palette remap.
#include "converter/colour/conversion_support.h"
#include "converter/colour/conversions.h"

namespace vz {

namespace {

// Grey levels of the colours each grey conversion installs, in palette order.
const uint8_t kFourGreyLevels[4] = {0, 150, 76, 255};
const uint8_t kFourGreyTvcIndices[4] = {0, 12, 10, 15};  // black, bright green, bright red, white

bool trueColourOr256(const ImageDocument& doc) {
  return doc.colourMode == ColourMode::kTrueColour || doc.colourMode == ColourMode::kColours256;
}

Status needsTrueColourOr256() {
  return Status(StatusCode::kNotApplicable, "grey levels need a true-colour or 256-colour picture");
}

// The 256-grey rule adds green and red first and blue last, unlike the grey level.
uint8_t grey256Of(int red, int green, int blue) {
  double sum = green * 0.59 + red * 0.3;
  sum += blue * 0.11;
  return static_cast<uint8_t>(sum);
}

}  // namespace

Status greyConversion(ImageDocument& doc, int kind, int threads) {
  if (kind != kFourGreys && kind != kSixteenGreys)
    return Status(StatusCode::kNotApplicable, "no such grey scale");
  if (!hasConvertiblePicture(doc) || !trueColourOr256(doc)) return needsTrueColourOr256();
  const uint8_t* greyTable = kind == kFourGreys ? kFourGreyLevels : kTvcGreyLevels.data();
  const int tableSize = kind == kFourGreys ? 4 : kTvcColourCount;
  // The nearest grey depends on the grey level alone.
  uint8_t indexOfGrey[256];
  for (int g = 0; g < 256; ++g) {
    int best = 0;
    for (int i = 1; i < tableSize; ++i)
      if ((g - greyTable[i]) * (g - greyTable[i]) < (g - greyTable[best]) * (g - greyTable[best]))
        best = i;
    indexOfGrey[g] = static_cast<uint8_t>(best);
  }

  const int32_t stride = static_cast<int32_t>(rowStrideFor(ColourMode::kColours16, doc.width));
  std::vector<uint8_t> out;
  if (!allocateZeroed(out, static_cast<size_t>(stride) * static_cast<size_t>(doc.height)))
    return StatusCode::kOutOfMemory;
  const GreyLevelTable& grey = greyLevelTable();
  forEachRowBand(doc.height, threads, [&](int32_t begin, int32_t end) {
    for (int32_t y = begin; y < end; ++y) {
      PackedRowWriter writer(out.data() + static_cast<size_t>(y) * stride, 4);
      forEachPixelColour(doc, doc.row(y), [&](int32_t, uint8_t r, uint8_t g, uint8_t b) {
        writer.append(indexOfGrey[grey.of(r, g, b)]);
      });
      writer.finish();
    }
  });
  if (kind == kFourGreys) {
    installPixels(doc, std::move(out), stride, ColourMode::kColours4);
    setPaletteFromTvcIndices(doc, 0, kFourGreyTvcIndices, 4);
  } else {
    installPixels(doc, std::move(out), stride, ColourMode::kColours16);
    setTvcPalette(doc);
  }
  return StatusCode::kOk;
}

Status grey256Conversion(ImageDocument& doc, int threads) {
  if (!hasConvertiblePicture(doc) || !trueColourOr256(doc)) return needsTrueColourOr256();
  if (doc.colourMode == ColourMode::kTrueColour) {
    const int32_t stride = static_cast<int32_t>(rowStrideFor(ColourMode::kColours256, doc.width));
    std::vector<uint8_t> out;
    if (!allocateZeroed(out, static_cast<size_t>(stride) * static_cast<size_t>(doc.height)))
      return StatusCode::kOutOfMemory;
    forEachRowBand(doc.height, threads, [&](int32_t begin, int32_t end) {
      for (int32_t y = begin; y < end; ++y) {
        const uint8_t* in = doc.row(y);
        uint8_t* row = out.data() + static_cast<size_t>(y) * stride;
        for (int32_t x = 0; x < doc.width; ++x)
          row[x] = grey256Of(in[3 * x + 2], in[3 * x + 1], in[3 * x]);
      }
    });
    installPixels(doc, std::move(out), stride, ColourMode::kColours256);
  } else {
    uint8_t greyOfEntry[256];
    for (size_t i = 0; i < 256; ++i)
      greyOfEntry[i] = static_cast<uint8_t>(greyLevel(doc.palette[i]));
    for (int32_t y = 0; y < doc.height; ++y) {
      uint8_t* row = doc.row(y);
      for (int32_t x = 0; x < doc.width; ++x) row[x] = greyOfEntry[row[x]];
    }
  }
  for (uint32_t i = 0; i < 256; ++i) doc.palette[i] = i * 0x010101u;
  return StatusCode::kOk;
}

Status halve(ImageDocument& doc, int direction, int threads) {
  if (!hasConvertiblePicture(doc) || doc.colourMode != ColourMode::kTrueColour)
    return Status(StatusCode::kNotApplicable, "halving needs a true-colour picture");
  const int32_t stride = doc.rowStride;
  std::vector<uint8_t> out;
  if (direction == kHalveVertically) {
    const int32_t height = doc.height / 2;
    // A single row stays: halving must never leave a picture without pixels.
    if (height == 0) return StatusCode::kOk;
    if (!allocateZeroed(out, static_cast<size_t>(stride) * static_cast<size_t>(height)))
      return StatusCode::kOutOfMemory;
    forEachRowBand(height, threads, [&](int32_t begin, int32_t end) {
      for (int32_t y = begin; y < end; ++y) {
        const uint8_t* upper = doc.row(2 * y);
        const uint8_t* lower = doc.row(2 * y + 1);
        uint8_t* row = out.data() + static_cast<size_t>(y) * stride;
        for (int32_t i = 0; i < stride; ++i)
          row[i] = static_cast<uint8_t>((upper[i] + lower[i]) / 2);
      }
    });
    doc.pixels = std::move(out);
    doc.height = height;
  } else if (direction == kHalveHorizontally) {
    const int32_t width = doc.width / 2;
    if (width == 0) return StatusCode::kOk;
    const int32_t newStride = static_cast<int32_t>(rowStrideFor(ColourMode::kTrueColour, width));
    if (!allocateZeroed(out, static_cast<size_t>(newStride) * static_cast<size_t>(doc.height)))
      return StatusCode::kOutOfMemory;
    forEachRowBand(doc.height, threads, [&](int32_t begin, int32_t end) {
      for (int32_t y = begin; y < end; ++y) {
        const uint8_t* in = doc.row(y);
        uint8_t* row = out.data() + static_cast<size_t>(y) * newStride;
        for (int32_t x = 0; x < width; ++x, in += 6, row += 3)
          for (int channel = 0; channel < 3; ++channel)
            row[channel] = static_cast<uint8_t>((in[channel] + in[3 + channel]) / 2);
      }
    });
    installPixels(doc, std::move(out), newStride, ColourMode::kTrueColour);
    doc.width = width;
  } else {
    return Status(StatusCode::kNotApplicable, "no such direction");
  }
  return StatusCode::kOk;
}

Status paletteRemap(ImageDocument& doc, const std::array<uint8_t, 4>& remap) {
  const ColourMode mode = doc.colourMode;
  if (!hasConvertiblePicture(doc) ||
      (mode != ColourMode::kColours2 && mode != ColourMode::kColours4))
    return Status(StatusCode::kNotApplicable, "renumbering needs a 2- or 4-colour picture");
  const int used = mode == ColourMode::kColours2 ? 2 : 4;
  const uint8_t valueMask = mode == ColourMode::kColours2 ? 1 : 3;
  bool identity = true;
  for (int i = 0; i < used; ++i) identity = identity && remap[static_cast<size_t>(i)] == i;
  if (identity) return StatusCode::kOk;

  uint8_t byteTable[256];
  for (int b = 0; b < 256; ++b) {
    if (mode == ColourMode::kColours2) {
      // Each bit becomes remap[bit]: the exchange (1, 0) inverts the byte.
      const uint8_t ones = (remap[1] & 1) ? static_cast<uint8_t>(b) : 0;
      const uint8_t zeros = (remap[0] & 1) ? static_cast<uint8_t>(~b) : 0;
      byteTable[b] = static_cast<uint8_t>(ones | zeros);
    } else {
      byteTable[b] =
          static_cast<uint8_t>((remap[static_cast<size_t>((b >> 4) & 3)] & valueMask) << 4 |
                               (remap[static_cast<size_t>(b & 3)] & valueMask));
    }
  }
  const int32_t bytes = mode == ColourMode::kColours2 ? (doc.width + 7) / 8 : (doc.width + 1) / 2;
  for (int32_t y = 0; y < doc.height; ++y) {
    uint8_t* row = doc.row(y);
    for (int32_t i = 0; i < bytes; ++i) row[i] = byteTable[row[i]];
  }
  const std::array<ColourValue, 256> old = doc.palette;
  for (int i = 0; i < used; ++i)
    doc.palette[remap[static_cast<size_t>(i)] & valueMask] = old[static_cast<size_t>(i)];
  return StatusCode::kOk;
}

}  // namespace vz
