// GIF pictures: the first image of the file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/status.h"
#include "converter/model/document.h"
#include "converter/model/picture_claim.h"
#include "converter/model/read_options.h"

namespace vz {

// Fills the document from a whole GIF file. kPartial when the image data ends before
// the picture is full; a failed read leaves the document empty.
Status readGif(size_t fileSize, const uint8_t* fileData, ImageDocument& doc,
               const ReadOptions& options = {});

// The size the descriptor of a GIF file's first image claims.
bool claimGif(size_t size, const uint8_t* head, uint64_t fileSize, PictureClaim& claim);

}  // namespace vz
