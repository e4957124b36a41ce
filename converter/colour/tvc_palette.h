// The TVC's 16 colours, its hardware colour bytes, and CMYK colour matching.
#pragma once

#include <array>
#include <cstdint>

#include "converter/model/document.h"

namespace vz {

constexpr int kTvcColourCount = 16;

// Index bits: blue 1, red 2, green 4, intensity 8; a channel that is on is 0x91, or
// 0xFF with intensity. Index 8 is black, like index 0.
extern const std::array<ColourValue, kTvcColourCount> kTvcPalette;
// The grey level of each TVC colour, in index order.
extern const std::array<uint8_t, kTvcColourCount> kTvcGreyLevels;

inline ColourValue tvcColour(int index) {
  return kTvcPalette[static_cast<size_t>(index & 15)];
}

// The TVC's colour byte: index bit k at byte bit 2k.
uint8_t hardwareByteOf(int tvcIndex);
// The TVC index whose bits 0..3 are the byte's bits 0, 2, 4, 6 (other bits ignored).
int tvcIndexOfHardwareByte(uint8_t hardwareByte);

// The first TVC index whose colour equals the value exactly, or -1.
int tvcIndexOf(ColourValue colour);

struct Cmyk {
  double c = 0, m = 0, y = 0;
  double k = 0;  // 0..255, deliberately not scaled: darkness decides first
};

Cmyk cmykOf(ColourValue colour);
double cmykDistance(const Cmyk& a, const Cmyk& b);

struct NearestMatch {
  int index = 0;
  int redDifference = 0;  // colour minus the chosen candidate, -255..255
  int greenDifference = 0;
  int blueDifference = 0;
  int greyDifference = 0;
};

// Nearest of n candidates in CMYK distance; ties go to the lowest index. The caller
// computes the candidates' CMYK forms once per run.
NearestMatch nearestInList(ColourValue colour, const ColourValue* candidates,
                           const Cmyk* candidateForms, int n);

// The nearest TVC colour (index 0..15) of a colour value; black maps to 0, never 8.
int nearestTvcColour(ColourValue colour);

// Index of the grey table entry nearest to the grey level of (red, green, blue);
// squared integer difference, ties to the lowest index.
int nearestGrey(int red, int green, int blue, const uint8_t* greyTable, int n);

// Pixel counts per pixel value; true colour counts nothing.
using ColourHistogram = std::array<uint32_t, 256>;
ColourHistogram fillColourHistogram(const ImageDocument& doc);

// The CMYK forms of the 16 TVC colours, in index order.
const std::array<Cmyk, kTvcColourCount>& tvcCmykForms();

}  // namespace vz
