// JPEG files into the image document.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/status.h"
#include "converter/model/document.h"
#include "converter/model/read_options.h"

namespace vz {

// Decodes the file's bytes into the document: grey pictures as 256 greys, colour ones
// (YCbCr, RGB, CMYK, YCCK) as true colour.
//
// kOk with the whole picture. kPartial when the data broke off or went bad after the
// picture had started: the rows decoded so far are kept and the rest stays black (a
// picture of several scans, progressive or not, keeps what its complete scans gave).
// Memory grows with the rows decoded, so a short file that claims a huge picture costs
// little: when what was decoded is a small part of a picture that would take much
// memory, the answer is kDamaged and no picture. kNotThisFormat, kUnsupported, kTooLarge (more than
// maxPixels, or beyond the document limit), kOutOfMemory and kDamaged leave the document empty.
Status readJpeg(size_t size, const uint8_t* data, ImageDocument& doc,
                const ReadOptions& options = {});

}  // namespace vz
