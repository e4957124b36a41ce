// The KEP decode dialog's work: the loaded TVC picture read again with another width,
// height and colour mode.
#pragma once

#include <cstdint>

#include "converter/formats/tvc/kep_reader.h"
#include "converter/model/document.h"

namespace vz {

// The colour-mode list of the dialog, in order: "2-színű", "4-színű", "16-színű".
constexpr int kDecodeModeCount = 3;
extern const char* const kDecodeModeNames[kDecodeModeCount];

// The list entry of a colour mode (2, 4, 16), or -1.
int decodeModeIndexOf(ColourMode colourMode);

struct KepDecodeChoice {
  uint32_t width = 0;
  uint32_t height = 0;
  int modeIndex = -1;  // the list entry; -1 keeps the colour mode
};

// The picture is taken as the stream of its TVC bytes (each row's T bytes, row after
// row, through all rows of the buffer, so that nothing is lost between re-decodes) and
// cut anew into rows of the new T. Four-colour pictures count two document bytes as
// one TVC byte on either side, so that re-decoding with the same values changes
// nothing. The rows are stored with the usual stride (a multiple of 4); the buffer
// keeps every byte of the stream, the height is at most the complete rows in it.
// Palette: entries 0..3 from kepDecodeColours for 2 and 4 colours, the TVC palette for
// 16. Returns false and changes nothing for a width or height of 0, a row longer than
// the whole picture, a picture too large to hold, or a document that is no
// non-interlaced TVC picture.
bool redecodeKepPicture(ImageDocument& doc, const KepDecodeColours& kepDecodeColours,
                        const KepDecodeChoice& choice);

}  // namespace vz
