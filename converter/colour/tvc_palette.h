// CMYK colour matching against the TVC colours and other candidate lists.
#pragma once

#include <array>
#include <cstdint>

#include "converter/model/document.h"
#include "converter/model/tvc_colours.h"

namespace vz {

struct Cmyk {
  double c = 0, m = 0, y = 0;
  double k = 0;  // 0..255, deliberately not scaled: darkness decides first
};

Cmyk cmykOf(ColourValue colour);
double cmykDistance(const Cmyk& a, const Cmyk& b);

// The index of the nearest of n candidates (given by their CMYK forms) in CMYK distance; ties go to
// the lowest index. The caller computes the candidates' CMYK forms once per run.
int nearestInList(ColourValue colour, const Cmyk* candidateForms, int n);

// The nearest TVC colour (index 0..15) of a colour value; black maps to 0, never 8.
int nearestTvcColour(ColourValue colour);

// Pixel counts per pixel value; true colour counts nothing.
using ColourHistogram = std::array<uint32_t, 256>;
ColourHistogram fillColourHistogram(const ImageDocument& doc);

// The CMYK forms of the 16 TVC colours, in index order.
const std::array<Cmyk, kTvcColourCount>& tvcCmykForms();

}  // namespace vz
