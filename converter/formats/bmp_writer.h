// Writing the document as a BMP file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/status.h"
#include "converter/model/document.h"

namespace vz {

// The document as an uncompressed BMP file in its own bit depth, rows bottom-up, with
// the given colour table (none for true colour). Empty when the document holds no
// picture, or when no memory can be had for the file.
std::vector<uint8_t> encodeBmp(const ImageDocument& doc,
                               const std::vector<ColourValue>& colourTable);

// The same file written to a path (through writeFileSafely), its rows straight from the
// document: kNotApplicable when the document holds no picture, else the write's status.
Status writeBmpFile(const std::string& utf8Path, const ImageDocument& doc,
                    const std::vector<ColourValue>& colourTable);

}  // namespace vz
