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

const std::vector<PictureFormat> kFormats = {
    {"BMP", {"BMP"}, isBmp, readBmp, false, false},
    {"PCX", {"PCX"}, isPcx, readPcx, false, false},
    {"GIF", {"GIF"}, isGif, readGif, false, false},
    {"JPEG", {"JPG", "JPEG", "JPE", "JFIF"}, isJpeg, readJpeg, false, true},
    {"PNG", {"PNG"}, isPng, readPng, false, true},
    {"KEP", {"KEP"}, nullptr, readKep, true, false},
    {"VID", {"VID"}, nullptr, readVid, true, false},
    {"R16", {"R16"}, nullptr, readR16, true, false},
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
