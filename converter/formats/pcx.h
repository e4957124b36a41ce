// PCX pictures.
#pragma once

#include <cstddef>
#include <cstdint>

#include "converter/model/document.h"

namespace vz {

// Fills the document from a whole PCX file; returns the picture size, 0 or less on failure.
int32_t readPcx(size_t fileSize, const uint8_t* fileData, ImageDocument& doc);

}  // namespace vz
