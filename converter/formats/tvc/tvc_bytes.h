// The TVC's video bytes and how they map to document bytes. The writer, the readers
// and the re-decoding share these so that the three can never disagree.
#pragma once

#include <cstdint>

#include "converter/model/document.h"

namespace vz {

// The four picture kinds of a KEP file; the value is the kind bits of its mode byte.
enum TvcKind : int {
  kTvcTwoColours = 0,
  kTvcFourColours = 1,
  kTvcSixteenColours = 2,
  kTvcFourInterlaced = 3,
};

// The document colour mode that holds a kind: 2, 4 or 16 (interlaced pictures are 16).
ColourMode colourModeOfKind(int kind);

// TVC bytes per row for a width in colour mode 2, 4 or 16 (8, 4 or 2 pixels a byte);
// 0 for any other mode. A 4-colour interlaced picture counts as colour mode 4.
int64_t tvcBytesPerRow(ColourMode colourMode, int64_t width);

// 2 colours: the byte as it stands. 16 colours: the left pixel's bits 3..0 at byte bits
// 7, 5, 3, 1 and the right pixel's at 6, 4, 2, 0.
uint8_t tvcByteFromSixteenColours(uint8_t documentByte);
uint8_t sixteenColoursFromTvcByte(uint8_t tvcByte);

// 4 colours: one TVC byte holds four pixels, pixel k with its colour bit 0 at bit 7-k
// and its colour bit 1 at bit 3-k; the document holds them in two bytes of two
// nibbles. Colour bits 2 and 3 of a nibble do not reach the TVC byte.
uint8_t tvcByteFromFourColours(uint8_t first, uint8_t second);
void fourColoursFromTvcByte(uint8_t tvcByte, uint8_t& first, uint8_t& second);

// How a document in one of the TVC colour modes stores TVC bytes.
enum class TvcLayout { kTwoColours, kFourColours, kSixteenColours };

// The layout of a document: 2 -> two colours, 4 or an interlaced 16 -> four colours,
// 16 -> sixteen colours. False for any other colour mode.
bool tvcLayoutOf(ColourMode colourMode, bool interlaced, TvcLayout& layout);

// Document bytes per TVC byte: 2 for four colours, otherwise 1.
inline int documentBytesPerTvcByte(TvcLayout layout) {
  return layout == TvcLayout::kFourColours ? 2 : 1;
}

// The TVC byte made of the document byte(s) at unit (one or two bytes by layout).
uint8_t tvcByteAt(TvcLayout layout, const uint8_t* unit);
// Stores a TVC byte as document byte(s) at unit.
void storeTvcByte(TvcLayout layout, uint8_t tvcByte, uint8_t* unit);

}  // namespace vz
