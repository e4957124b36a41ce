// Effect settings and save options: program-wide, in memory for one run.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vz {

// kRefined: the perceptual result, then improved pixel by pixel while that lowers the
// error the eye sees.
enum DitherAlgorithm : uint8_t { kFloydSteinberg = 0, kOrdered = 1, kPerceptual = 2, kRefined = 3 };

// The three colour sets, in colourChoices' order.
enum ColourSetId : int { kTwoColourSetId = 0, kFourColourSetId = 1, kEvenLineSetId = 2 };

struct EffectSettings {
  uint8_t ditherAlgorithm = kFloydSteinberg;
  // Three colour sets of TVC palette indices: [0..1] the 2-colour set, [2..5] the
  // 4-colour set, [6..9] the even-line (interlaced) 4-colour set.
  std::array<uint8_t, 10> colourChoices{0, 15, 0, 10, 14, 15, 0, 11, 7, 15};
  // Sets chosen afresh for each picture just before a conversion uses them (the best
  // colours for it), by ColourSetId; their colourChoices then hold the last choice.
  std::array<bool, 3> autoColourSets{};
  uint8_t threshold = 128;  // 2-colour nearest conversion
  bool preDistortion = true;
  bool interlacedFourColour = false;
  int32_t cropWidth = 256;
  int32_t cropHeight = 240;
};

constexpr int kTwoColourSet = 0;
constexpr int kFourColourSet = 2;
constexpr int kEvenLineSet = 6;

// Resets the colour choices and the 2-colour threshold, and nothing else.
void applySettingsDefaults(EffectSettings& settings);

enum SaveCoding : uint8_t { kPlain = 0, kRle = 1 };
enum SaveFormat : uint8_t { kFullKepHeader = 0, kSpriteExport = 1, kSpriteWithMask = 2 };

struct SaveOptions {
  uint8_t saveCoding = kPlain;
  uint8_t saveFormat = kFullKepHeader;
  bool makePaletteFile = false;
  uint8_t maskColour = 0;  // TVC palette index
};

// The KEP file plain Save writes without asking, and the options it writes it with: the
// last Save as, or the KEP file the picture was opened from. No path: Save asks as Save
// as does.
struct SaveTarget {
  std::string path;
  SaveOptions options;
};

}  // namespace vz
