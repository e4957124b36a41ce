// PCX pictures.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/status.h"
#include "converter/model/document.h"
#include "converter/model/picture_claim.h"
#include "converter/model/read_options.h"

namespace vz {

// Fills the document from a whole PCX file: 1 bit, four 1-bit planes, 4 and 8 bits, and
// three 8-bit planes. kPartial when the data ends before the last row; a failed read
// leaves the document empty.
Status readPcx(size_t fileSize, const uint8_t* fileData, ImageDocument& doc,
               const ReadOptions& options = {});

// The size a PCX file's window claims.
bool claimPcx(size_t size, const uint8_t* head, uint64_t fileSize, PictureClaim& claim);

}  // namespace vz
