// JPG files into the image document.
#pragma once

#include <string>

#include "base/status.h"
#include "converter/model/document.h"

namespace vz {

// Opens and decodes the file itself. kCannotOpen when it cannot be opened; kOk with the
// whole picture; kPartial when decoding failed after the picture had started: the rows
// decoded so far are kept and the rest stays black. Any other status leaves the
// document empty.
Status readJpg(const std::string& utf8Path, ImageDocument& doc);

}  // namespace vz
