// Every colour conversion on arbitrary small pictures and settings: never a read or
// write outside the buffers, and the fast code gives the plain per-pixel result.
#include <cstddef>
#include <cstdint>

#include "tests/unit/colour_reference.h"

namespace {

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  // Past the end of the input, bytes come from a generator seeded by the input, so
  // that short inputs still give varied palettes.
  uint8_t next() {
    if (position_ < size_) {
      seed_ = seed_ * 31 + data_[position_];
      return data_[position_++];
    }
    seed_ = seed_ * 6364136223846793005u + 1442695040888963407u;
    return static_cast<uint8_t>(seed_ >> 56);
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
  uint64_t seed_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in(data, size);
  static const int kEntries[] = {0, 2, 4, 8, 16, 32, 64, 128, 256};
  const auto mode = static_cast<vz::ColourMode>(kEntries[in.next() % 9]);
  const int32_t width = in.next() % 40;
  const int32_t height = in.next() % 12;
  const uint8_t operation = in.next();
  vz::EffectSettings settings;
  for (uint8_t& choice : settings.colourChoices) choice = in.next() & 15;
  settings.threshold = in.next();
  settings.interlacedFourColour = in.next() & 1;

  vz::ImageDocument doc;
  vz::allocatePicture(doc, width, height, mode);
  for (vz::ColourValue& entry : doc.palette)
    entry = vz::makeColour(in.next(), in.next(), in.next());
  for (uint8_t& byte : doc.pixels) byte = in.next();
  doc.interlaced = in.next() & 1;

  vz::ImageDocument fast = doc;
  vz::ImageDocument expected = doc;
  const int kind = (operation >> 3) % 3;
  switch (operation % 8) {
    case 0: {
      const int target = kind == 0 ? 2 : (kind == 1 ? 4 : 16);
      vz::nearestColourConversion(fast, settings, target);
      vz::reference::nearest(expected, settings, target);
      break;
    }
    case 1:
      vz::orderedDither(fast, settings, kind);
      vz::reference::ordered(expected, settings, kind);
      break;
    case 2:
      vz::floydSteinbergDither(fast, settings, kind);
      vz::reference::floydSteinberg(expected, settings, kind);
      break;
    case 3:
      vz::greyConversion(fast, 1 + kind % 2);
      vz::reference::grey(expected, 1 + kind % 2);
      break;
    case 4:
      vz::grey256Conversion(fast);
      return 0;
    case 5:
      vz::halve(fast, 1 + kind % 2);
      return 0;
    case 6:
      vz::perceptualDither(fast, settings, kind);
      return 0;
    default:
      vz::paletteRemap(fast,
                       {static_cast<uint8_t>(in.next() & 3), static_cast<uint8_t>(in.next() & 3),
                        static_cast<uint8_t>(in.next() & 3), static_cast<uint8_t>(in.next() & 3)});
      return 0;
  }
  if (fast != expected) __builtin_trap();
  return 0;
}
