#include "converter/formats/picture_formats.h"

#include <cstring>
#include <new>

#include "converter/formats/bmp.h"
#include "converter/formats/gif.h"
#include "converter/formats/jpeg/jpeg_reader.h"
#include "converter/formats/pcx.h"
#include "converter/formats/png_reader.h"
#include "converter/formats/tvc/kep_reader.h"

namespace vz {

namespace {

bool startsWith(size_t size, const uint8_t* data, const char* prefix, size_t length) {
  return size >= length && std::memcmp(data, prefix, length) == 0;
}

bool isBmp(size_t size, const uint8_t* data) {
  return startsWith(size, data, "BM", 2);
}

bool isPng(size_t size, const uint8_t* data) {
  return startsWith(size, data, "\x89PNG\r\n\x1A\n", 8);
}

bool isGif(size_t size, const uint8_t* data) {
  return startsWith(size, data, "GIF87a", 6) || startsWith(size, data, "GIF89a", 6);
}

bool isJpeg(size_t size, const uint8_t* data) {
  return startsWith(size, data, "\xFF\xD8\xFF", 3);
}

// ZSoft's maker byte, a version it gave out (0, 2, 3, 4 or 5) and an encoding (0 or 1).
bool isPcx(size_t size, const uint8_t* data) {
  return size >= 3 && data[0] == 0x0A && (data[1] == 0 || (data[1] >= 2 && data[1] <= 5)) &&
         data[2] <= 1;
}

// The size a JPEG file's frame header claims, found by walking the segments before it.
bool claimJpeg(size_t size, const uint8_t* head, uint64_t, PictureClaim& claim) {
  if (size < 4 || head[0] != 0xFF || head[1] != 0xD8) return false;
  size_t pos = 2;
  while (size - pos >= 4) {
    if (head[pos] != 0xFF) return false;
    const uint8_t marker = head[pos + 1];
    if (marker == 0xFF) {  // a fill byte
      ++pos;
      continue;
    }
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (size - pos < 9) return false;
      claim = {head[pos + 7] << 8 | head[pos + 8], head[pos + 5] << 8 | head[pos + 6]};
      return true;
    }
    if (marker == 0xD9 || marker == 0xDA) return false;  // the end, or a scan, before a frame
    const bool standalone = marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8);
    pos += standalone ? 2 : 2 + (size_t{head[pos + 2]} << 8 | head[pos + 3]);
  }
  return false;
}

const std::vector<PictureFormat> kFormats = {
    {"BMP", {"BMP"}, isBmp, readBmp, false, false, claimBmp},
    {"PCX", {"PCX"}, isPcx, readPcx, false, false, claimPcx},
    {"GIF", {"GIF"}, isGif, readGif, false, false, claimGif},
    {"JPEG", {"JPG", "JPEG", "JPE", "JFIF"}, isJpeg, readJpeg, false, true, claimJpeg},
    {"PNG", {"PNG"}, isPng, readPng, false, true, claimPng},
    {"KEP", {"KEP"}, nullptr, readKep, true, false, claimKep},
    {"VID", {"VID"}, nullptr, readVid, true, false, claimVid},
    {"R16", {"R16"}, nullptr, readR16, true, false, claimR16},
};

}  // namespace

const std::vector<PictureFormat>& pictureFormats() {
  return kFormats;
}

Status readPicture(const PictureFormat& format, size_t size, const uint8_t* data,
                   ImageDocument& doc, const ReadOptions& options) {
  try {
    return format.read(size, data, doc, options);
  } catch (const std::bad_alloc&) {
    return failReading(doc, StatusCode::kOutOfMemory);
  }
}

const PictureFormat* formatOfContent(size_t size, const uint8_t* data) {
  for (const PictureFormat& format : kFormats)
    if (format.hasSignature && format.hasSignature(size, data)) return &format;
  return nullptr;
}

const PictureFormat* formatOfExtension(const std::string& upperExtension) {
  for (const PictureFormat& format : kFormats)
    for (const std::string& extension : format.extensions)
      if (extension == upperExtension) return &format;
  return nullptr;
}

const PictureFormat& kepFormat() {
  return *formatOfExtension("KEP");
}

std::string extensionPatterns() {
  std::string patterns;
  for (const PictureFormat& format : kFormats)
    for (const std::string& extension : format.extensions) {
      patterns += patterns.empty() ? "*." : ";*.";
      for (char c : extension) patterns += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
  return patterns;
}

}  // namespace vz
