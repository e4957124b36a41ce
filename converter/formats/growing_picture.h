// Pictures whose memory grows with the rows a reader decodes rather than with the size
// its header claims, so that a few bytes claiming gigabytes cost little. The readers
// whose data can run short (PNG, run-length BMP, GIF, PCX) build their pictures so.
#pragma once

#include <cstdint>
#include <string>

#include "base/status.h"
#include "converter/model/document.h"

namespace vz {

// Checks a header's claim as allocatePictureForReading does and sets up `picture` at
// that size (width, height, row stride, colour mode), its buffer zeroed and holding only
// the rows `firstBytes` bytes are worth: at least one, at most the picture.
Status startGrowingPicture(ImageDocument& picture, int64_t width, int64_t height,
                           ColourMode colourMode, int64_t maxPixels, uint64_t firstBytes);

// How much of the picture the first room holds per byte of coded data: most pictures
// are packed less tightly than this and never grow; the others grow a few times.
constexpr uint64_t kFirstRoomPerDataByte = 8;

// Room for rows 0 .. rows - 1; kept rows stay and new ones are zero. The room at least
// doubles, and becomes the whole picture once it would hold more than a quarter of it, so
// that the last growth holds at most 1.25 times the picture at once. False when memory
// cannot be had (the picture is then as it was).
bool reachRows(ImageDocument& picture, int64_t rows);

// The rows the buffer holds now.
int64_t rowsWithRoom(const ImageDocument& picture);

// A picture that broke off after `rowsWithData` rows keeps its full size (the rows
// without data zero) when that takes at most 128 MB, or at most twice what the rows with
// data take; otherwise it is refused, rather than let a little data claim gigabytes.
// kPartial with the whole picture's room, or kDamaged, each with `reason`; kOutOfMemory.
Status endBrokenPicture(ImageDocument& picture, int64_t rowsWithData, const std::string& reason);

// " at row R of H": where decoding stopped, R counting the rows done.
std::string atRow(int64_t row, int64_t height);

// "W x H".
std::string sizeText(int64_t width, int64_t height);

}  // namespace vz
