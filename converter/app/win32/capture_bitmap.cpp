#include "converter/app/win32/capture_bitmap.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "converter/formats/bit_fields.h"
#include "converter/formats/bmp.h"

namespace vz {

namespace {

// Header, then room for the largest colour table or the three channel masks.
constexpr size_t kInfoBlockBytes = sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD);

int32_t failCapture(ImageDocument& doc) {
  releasePicture(doc);
  return 0;
}

}  // namespace

int32_t captureBitmap(HDC dc, HBITMAP bitmap, ImageDocument& doc) {
  // First ask the device for the bitmap's format only.
  std::vector<uint8_t> block(kInfoBlockBytes, 0);
  auto* info = reinterpret_cast<BITMAPINFO*>(block.data());
  info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  if (GetDIBits(dc, bitmap, 0, 0xFFFF, nullptr, info, DIB_RGB_COLORS) == 0) return failCapture(doc);
  const BITMAPINFOHEADER answer = info->bmiHeader;
  const int32_t width = answer.biWidth;
  const int64_t height = answer.biHeight < 0 ? -static_cast<int64_t>(answer.biHeight)
                                             : static_cast<int64_t>(answer.biHeight);
  const int bits = answer.biBitCount;
  const bool indexed = bits == 1 || bits == 4 || bits == 8;
  const bool maskedDepth = bits == 16 || bits == 32;
  if (width <= 0 || height <= 0 || (!indexed && !maskedDepth && bits != 24))
    return failCapture(doc);
  const bool bitFields = maskedDepth && answer.biCompression == BI_BITFIELDS;
  if (answer.biCompression != BI_RGB && !bitFields) return failCapture(doc);

  // The rows GetDIBits writes: padded to 4 bytes, in the device's own depth.
  const int64_t rowsSize = bitmapRowsSize(width, static_cast<uint32_t>(bits), height);
  if (rowsSize < 0) return failCapture(doc);
  const int64_t sourceStride = rowsSize / height;
  std::vector<uint8_t> rows;
  if (!allocateZeroed(rows, static_cast<size_t>(rowsSize))) return failCapture(doc);

  const ColourMode colourMode = colourModeOfBitmapDepth(static_cast<uint32_t>(bits));
  std::fill(block.begin(), block.end(), 0);
  info->bmiHeader = answer;
  info->bmiHeader.biHeight = -static_cast<LONG>(height);  // top row first
  info->bmiHeader.biClrUsed = indexed ? static_cast<DWORD>(paletteEntries(colourMode)) : 0;
  if (GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), rows.data(), info, DIB_RGB_COLORS) == 0)
    return failCapture(doc);

  ImageDocument picture;
  picture.palette = doc.palette;
  const int32_t size = allocatePicture(picture, width, height, colourMode);
  if (size <= 0) return failCapture(doc);
  for (int32_t y = 0; y < picture.height; ++y) {
    const uint8_t* source = rows.data() + static_cast<size_t>(y) * sourceStride;
    if (maskedDepth) {
      ChannelMasks masks = plainChannelMasks(bits);
      if (bitFields) {
        const auto* fields = reinterpret_cast<const DWORD*>(info->bmiColors);
        masks = {fields[0], fields[1], fields[2]};
      }
      bitFieldRowToBgr(source, bits, width, masks, picture.row(y));
    } else {
      std::memcpy(picture.row(y), source, static_cast<size_t>(picture.rowStride));
    }
  }
  if (indexed) {
    for (int32_t i = 0; i < paletteEntries(colourMode); ++i) {
      const RGBQUAD entry = info->bmiColors[i];
      picture.palette[static_cast<size_t>(i)] =
          makeColour(entry.rgbRed, entry.rgbGreen, entry.rgbBlue);
    }
  }
  installPicture(doc, std::move(picture));
  return size;
}

}  // namespace vz
