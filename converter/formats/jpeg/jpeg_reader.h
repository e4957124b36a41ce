// JPEG files into the image document.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/status.h"
#include "converter/model/document.h"
#include "converter/model/read_options.h"

namespace vz {

// kOk with the whole picture; kPartial when decoding failed after the picture had
// started: the rows decoded so far are kept and the rest stays black. Any other status
// leaves the document empty.
Status readJpeg(size_t size, const uint8_t* data, ImageDocument& doc,
                const ReadOptions& options = {});

}  // namespace vz
