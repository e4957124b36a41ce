// JPEG files into the image document.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/status.h"
#include "converter/model/document.h"
#include "converter/model/read_status.h"

namespace vz {

struct JpegReadOptions {
  int64_t maxPixels;             // larger pictures are refused from the frame header
  bool applyOrientation = true;  // turn the picture as its EXIF orientation says
};

// Decodes the file's bytes into the document: grey pictures as 256 greys, colour ones
// (YCbCr, RGB, CMYK, YCCK) as true colour.
//
// kOk with the whole picture. kPartial when the data broke off or went bad after the
// picture had started: the rows decoded so far are kept and the rest stays black (a
// progressive picture keeps what its complete scans gave). Memory grows with the rows
// decoded, so a short file that claims a huge picture costs little: when what was decoded
// is a small part of a picture that would take much memory, the answer is kDamaged and no
// picture. kNotThisFormat, kUnsupported, kTooLarge (more than maxPixels, or beyond the
// document limit), kOutOfMemory and kDamaged leave the document empty. doc.pictureSize
// is set whenever a picture arrives.
Status readJpeg(const uint8_t* data, size_t size, ImageDocument& doc,
                const JpegReadOptions& options);

// readJpeg on the file's bytes, read with the checks of readPictureFile, at the default
// picture limit, for callers that still speak ReadStatus: kCannotOpen when the file
// cannot be read.
ReadStatus readJpg(const std::string& utf8Path, ImageDocument& doc);

}  // namespace vz
