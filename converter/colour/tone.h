// Tone: brightness, contrast, gamma and saturation, applied in that order.
//
// With a channel's value v (0..255) read as x = v / 255:
//  1. brightness B (-100..100) shifts it:   y = clamp(x + B / 100);
//  2. contrast C (-100..100) scales it about mid-grey:
//                                          z = clamp(1/2 + (y - 1/2) * (100 + C) / (100 - C)),
//     so that C and -C undo each other's slope; at C = 100, z is 0 below mid-grey, 1
//     above it and 1/2 on it;
//  3. gamma G (0.20..5.00, in hundredths) bends it:  w = z ^ (1 / G);
//  4. the channel becomes round(255 * w), halves rounding up.
// clamp() keeps a value within 0..1. Steps 1 to 4 act on each channel alone, so they
// make one 256-entry table. Then
//  5. saturation S (0..200 %) moves each channel of the pixel (r, g, b) from step 4
//     about its grey level q = greyLevelOf(r, g, b):
//        c' = clamp(q + round((c - q) * S / 100)), halves rounding up, within 0..255.
// Settings 0, 0, 1.00, 100 change no value.
//
// The table is exact: steps 1, 2 and 4 in whole numbers; the power of step 3 in double
// precision only where it lies far from a rounding boundary (any libm's error is far
// smaller), and otherwise by comparing whole-number powers. So every machine makes the
// same bytes.
#pragma once

#include <array>
#include <cstdint>

#include "converter/model/document.h"

namespace vz {

struct ToneSettings {
  int32_t brightness = 0;         // -100..100
  int32_t contrast = 0;           // -100..100
  int32_t gammaHundredths = 100;  // 20..500: gamma 0.20..5.00
  int32_t saturation = 100;       // per cent, 0..200
};

inline bool operator==(const ToneSettings& a, const ToneSettings& b) {
  return a.brightness == b.brightness && a.contrast == b.contrast &&
         a.gammaHundredths == b.gammaHundredths && a.saturation == b.saturation;
}
inline bool operator!=(const ToneSettings& a, const ToneSettings& b) {
  return !(a == b);
}

// Each setting within its range.
bool isValidTone(const ToneSettings& settings);

// The settings that change nothing.
bool isNeutralTone(const ToneSettings& settings);

// The five steps for one group of (valid) settings.
class ToneMap {
 public:
  explicit ToneMap(const ToneSettings& settings);

  // Steps 1 to 4 for one channel value.
  uint8_t channel(uint8_t value) const { return channel_[value]; }
  // All five steps.
  ColourValue apply(ColourValue colour) const;
  // All five steps on `count` pixels of blue, green, red bytes, in place.
  void applyToBgr(uint8_t* pixels, int32_t count) const;

 private:
  std::array<uint8_t, 256> channel_{};
  // round((c - q) * S / 100) for c - q from -255 to 255.
  std::array<int16_t, 511> saturationShift_{};
  bool keepsSaturation_ = true;
};

// Tones the pixels of a true-colour picture, or the palette entries of an indexed one,
// sharing rows among `threads` threads (the same bytes for any number). Nothing changes
// for settings out of range, neutral settings or a document without a picture.
void applyTone(ImageDocument& doc, const ToneSettings& settings, int threads = 1);

}  // namespace vz
