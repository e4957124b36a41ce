#include "converter/formats/jpeg/jpeg_output.h"

#include <cstring>

namespace vz {

namespace {

int16_t truncate16(uint32_t value) {
  return static_cast<int16_t>(static_cast<uint16_t>(value));
}

uint8_t clampByte(int32_t value) {
  return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

}  // namespace

void JpegRowOutput::allocate(const JpegFrame& frame, const JpegMcuGeometry& geometry,
                             JpegBlockPool& pool) {
  layout_ = geometry.layout;
  colourSpace_ = frame.colourSpace;
  width_ = frame.width;
  componentCount_ = frame.componentCount;
  vMax_ = geometry.vMax;
  mcusPerRow_ = geometry.mcusPerRow;
  blocksPerMcu_ = geometry.blocksPerMcu;
  const size_t lineBytes = static_cast<size_t>((width_ + 15) / 16 * 16) * bytesPerPixel();
  lines_[0] = pool.take<uint8_t>(lineBytes);
  lines_[1] = pool.take<uint8_t>(lineBytes);
  samples_ = pool.take<uint8_t>(static_cast<size_t>(mcusPerRow_) * blocksPerMcu_ * 64);
  colourTables_ = pool.take<JpegColourTables>();
  buildColourTables(*colourTables_);
  if (layout_ != JpegLayout::kGeneral) return;
  for (int c = 0; c < componentCount_; ++c) {
    const JpegComponent& component = frame.components[c];
    Sampling& sampling = sampling_[c];
    sampling.h = component.h;
    sampling.v = component.v;
    sampling.firstBlock = component.firstBlockInMcu;
    sampling.columnOffsets = pool.take<int32_t>(static_cast<size_t>(width_));
    for (int32_t x = 0; x < width_; ++x) {
      const int32_t sample =
          static_cast<int32_t>(static_cast<int64_t>(x) * component.h / geometry.hMax);
      const int32_t blockColumn = sample / 8;
      const int32_t mcu = blockColumn / component.h;
      sampling.columnOffsets[x] =
          64 * (mcu * blocksPerMcu_ + blockColumn % component.h) + sample % 8;
    }
  }
}

void JpegRowOutput::transformRow(const JpegCoefficientRow& row, const JpegScanLayout& layout,
                                 bool fastPath) {
  for (int mcu = 0; mcu < mcusPerRow_; ++mcu) {
    for (int i = 0; i < layout.blocksPerMcu; ++i) {
      const int block = mcu * blocksPerMcu_ + layout.blocks[i].offset;
      const int16_t* coefficients = row.coefficients + 64 * block;
      uint8_t* samples = samples_ + 64 * block;
      if (!fastPath) {
        std::memcpy(scratch_, coefficients, sizeof scratch_);
        integerInverseDct(scratch_, samples);
      } else if (row.lastIndex[block] == 1) {
        // Only a DC coefficient: every sample of the transform comes out the same.
        const int16_t dc = truncate16(static_cast<uint32_t>(coefficients[0]) *
                                      static_cast<uint32_t>(layout.blocks[i].quantisation[0]));
        std::memset(samples, clampByte((dc >> 5) + 128), 64);
      } else {
        fastInverseDct(coefficients, layout.blocks[i].quantisation, samples);
      }
    }
  }
}

const uint8_t* JpegRowOutput::pixelRow(int rowInMcu) {
  switch (layout_) {
    case JpegLayout::kGrey:
      for (int mcu = 0; mcu < mcusPerRow_; ++mcu)
        std::memcpy(lines_[0] + 8 * mcu, samples_ + 64 * mcu + 8 * rowInMcu, 8);
      return lines_[0];
    case JpegLayout::kYCbCr444:
      return colourRowOneByOne(rowInMcu);
    case JpegLayout::kYCbCr422:
      return colourRowSideBySide(rowInMcu);
    case JpegLayout::kYCbCr440:
    case JpegLayout::kYCbCr420:
      return colourRowPair(rowInMcu);
    case JpegLayout::kGeneral:
      return generalRow(rowInMcu);
  }
  return lines_[0];
}

// Inverted CMYK to RGB: each ink takes its share of the light the black ink lets through,
// R = C' x K' / 255 rounded, where C' = 255 - C as stored.
const uint8_t* JpegRowOutput::generalRow(int r) {
  const uint8_t* lines[4] = {};
  const int32_t* columns[4] = {};
  for (int c = 0; c < componentCount_; ++c) {
    const Sampling& sampling = sampling_[c];
    const int32_t line = r * sampling.v / vMax_;
    lines[c] = samples_ + 64 * (sampling.firstBlock + line / 8 * sampling.h) + 8 * (line % 8);
    columns[c] = sampling.columnOffsets;
  }
  const JpegColourTables& tables = *colourTables_;
  const auto fromYCbCr = [&tables](int32_t y, uint8_t cb, uint8_t cr, uint8_t* out) {
    out[0] = clampByte(y + tables.crToRed[cr]);
    out[1] = clampByte(y + ((tables.cbToGreen[cb] + tables.crToGreen[cr]) >> 16));
    out[2] = clampByte(y + tables.cbToBlue[cb]);
  };
  const auto throughBlack = [](int32_t light, int32_t black) {
    return static_cast<uint8_t>((light * black + 127) / 255);
  };
  uint8_t* out = lines_[0];
  for (int32_t x = 0; x < width_; ++x, out += 4) {
    const uint8_t first = lines[0][columns[0][x]];
    const uint8_t second = lines[1][columns[1][x]];
    const uint8_t third = lines[2][columns[2][x]];
    switch (colourSpace_) {
      case JpegColourSpace::kRgb:
        out[0] = first;
        out[1] = second;
        out[2] = third;
        break;
      case JpegColourSpace::kCmyk: {
        const uint8_t black = lines[3][columns[3][x]];
        out[0] = throughBlack(first, black);
        out[1] = throughBlack(second, black);
        out[2] = throughBlack(third, black);
        break;
      }
      case JpegColourSpace::kYcck: {
        // The YCbCr part gives the inverse of the inverted C, M and Y.
        const uint8_t black = lines[3][columns[3][x]];
        uint8_t rgb[3];
        fromYCbCr(first, second, third, rgb);
        for (int i = 0; i < 3; ++i) out[i] = throughBlack(255 - rgb[i], black);
        break;
      }
      default:
        fromYCbCr(first, second, third, out);
    }
    out[3] = 0;
  }
  return lines_[0];
}

const uint8_t* JpegRowOutput::colourRowOneByOne(int r) {
  for (int mcu = 0; mcu < mcusPerRow_; ++mcu) {
    const uint8_t* mcuSamples = samples_ + 64 * 3 * mcu + 8 * r;
    convertEightPixels(mcuSamples, mcuSamples + 64, mcuSamples + 128, false, *colourTables_,
                       lines_[0] + 32 * mcu);
  }
  return lines_[0];
}

const uint8_t* JpegRowOutput::colourRowSideBySide(int r) {
  for (int mcu = 0; mcu < mcusPerRow_; ++mcu) {
    const uint8_t* mcuSamples = samples_ + 64 * 4 * mcu;
    const uint8_t* cb = mcuSamples + 128 + 8 * r;
    const uint8_t* cr = mcuSamples + 192 + 8 * r;
    convertEightPixels(mcuSamples + 8 * r, cb, cr, true, *colourTables_, lines_[0] + 64 * mcu);
    convertEightPixels(mcuSamples + 64 + 8 * r, cb + 4, cr + 4, true, *colourTables_,
                       lines_[0] + 64 * mcu + 32);
  }
  return lines_[0];
}

// Even rows convert the pair; odd rows hand out the second row made with it.
const uint8_t* JpegRowOutput::colourRowPair(int r) {
  if (r % 2 == 1) return lines_[1];
  const bool quarterChroma = layout_ == JpegLayout::kYCbCr420;
  const int lumaBlocks = quarterChroma ? 4 : 2;
  const int blocksWide = quarterChroma ? 2 : 1;
  const int mcuPixels = 8 * blocksWide;
  const int lumaRow = r % 8;
  const int lumaBlockRow = r / 8;
  for (int mcu = 0; mcu < mcusPerRow_; ++mcu) {
    const uint8_t* mcuSamples = samples_ + 64 * (lumaBlocks + 2) * mcu;
    const uint8_t* cb = mcuSamples + 64 * lumaBlocks + 8 * (r >> 1);
    const uint8_t* cr = cb + 64;
    for (int b = 0; b < blocksWide; ++b) {
      const uint8_t* y = mcuSamples + 64 * (lumaBlockRow * blocksWide + b) + 8 * lumaRow;
      const int offset = 4 * (mcuPixels * mcu + 8 * b);
      convertEightPixels(y, cb + 4 * b, cr + 4 * b, quarterChroma, *colourTables_,
                         lines_[0] + offset);
      convertEightPixels(y + 8, cb + 4 * b, cr + 4 * b, quarterChroma, *colourTables_,
                         lines_[1] + offset);
    }
  }
  return lines_[0];
}

}  // namespace vz
