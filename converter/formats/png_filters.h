// Undoing the filters of PNG rows: each row names one of five predictors, and every byte
// was stored as its difference from that prediction.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vz {

// Undoes the filter of one row in place. row holds length bytes; prior is the row
// above, already unfiltered (zeros for the first row of a picture or pass), of the same
// length. bytesPerPixel is the distance to the byte "to the left": the bytes of one
// pixel, at least 1. False for a filter type other than 0..4 (the row is then
// unchanged).
bool unfilterRow(uint8_t filter, size_t bytesPerPixel, uint8_t* row, const uint8_t* prior,
                 size_t length);

// The same, one byte at a time: what unfilterRow does for the pixel sizes it has no
// faster way for, and the measure its faster ways are held to.
bool unfilterRowPlain(uint8_t filter, size_t bytesPerPixel, uint8_t* row, const uint8_t* prior,
                      size_t length);

}  // namespace vz
