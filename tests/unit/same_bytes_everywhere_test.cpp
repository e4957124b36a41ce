// Every conversion gives the same bytes on every processor and with or without the SSE2
// forms of the vector helpers: the digests below were made by the x86 SSE2 build, and the
// plain forms (aarch64, or VIZORKA_NO_SIMD) must reproduce them. The pictures are made
// with integer arithmetic only, so that they are the same everywhere too.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "converter/colour/conversions.h"
#include "converter/colour/resize.h"

namespace vz {
namespace {

uint64_t fnv1a(const uint8_t* bytes, size_t size, uint64_t hash = 14695981039346656037ULL) {
  for (size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 1099511628211ULL;
  return hash;
}

// The pixels, the palette and the shape, so that a change in any shows.
uint64_t documentDigest(const ImageDocument& doc) {
  uint64_t hash = fnv1a(doc.pixels.data(), doc.pixels.size());
  for (ColourValue colour : doc.palette) {
    const uint8_t bytes[3] = {redOf(colour), greenOf(colour), blueOf(colour)};
    hash = fnv1a(bytes, 3, hash);
  }
  for (int32_t value : {doc.width, doc.height, doc.rowStride, paletteEntries(doc.colourMode),
                        static_cast<int32_t>(doc.interlaced)}) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    hash = fnv1a(bytes, 4, hash);
  }
  return hash;
}

// A photo-like true-colour picture: smooth ramps in every direction with noise on top,
// tall enough for the perceptual dither's strips and the dithers' row groups.
ImageDocument photoLikePicture() {
  std::mt19937 random(25);
  ImageDocument doc;
  const int32_t width = 173, height = 600;
  allocatePicture(doc, width, height, ColourMode::kTrueColour);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* p = doc.row(y) + 3 * x;
      const int noise = static_cast<int>(random() % 25) - 12;
      p[0] = static_cast<uint8_t>(std::clamp(x * 255 / (width - 1) + noise, 0, 255));
      p[1] = static_cast<uint8_t>(std::clamp(y * 255 / (height - 1) - noise, 0, 255));
      p[2] = static_cast<uint8_t>(std::clamp((x + 2 * y) % 320 - 32 + noise, 0, 255));
    }
  return doc;
}

// The same picture through a 256-colour palette of random colours.
ImageDocument palettePicture() {
  std::mt19937 random(52);
  ImageDocument doc;
  allocatePicture(doc, 97, 61, ColourMode::kColours256);
  for (ColourValue& entry : doc.palette) entry = random() & 0xFFFFFF;
  for (int32_t y = 0; y < doc.height; ++y)
    for (int32_t x = 0; x < doc.width; ++x) doc.row(y)[x] = static_cast<uint8_t>(random());
  return doc;
}

struct Pinned {
  const char* name;
  std::function<void(ImageDocument&)> convert;
  uint64_t trueColourDigest;
  uint64_t paletteDigest;
};

TEST(SameBytesEverywhere, EveryConversionGivesItsPinnedDigest) {
  EffectSettings interlaced;
  interlaced.interlacedFourColour = true;
  const EffectSettings plain;
  const auto resize = [](int32_t width, int32_t height, ResizeMode mode) {
    return [=](ImageDocument& doc) { ASSERT_TRUE(resizePicture(doc, {width, height, mode}).ok()); };
  };
  const Pinned pinned[] = {
      {"nearest 16", [&](ImageDocument& d) { nearestColourConversion(d, plain, 16); },
       0xadeac862f5463425, 0xfc5bf81f7f9f8f00},
      {"nearest 4", [&](ImageDocument& d) { nearestColourConversion(d, plain, 4); },
       0x287a1a0908c66db1, 0x5f86a38b421ad2ef},
      {"ordered 16", [&](ImageDocument& d) { orderedDither(d, plain, kDitherSixteenColours); },
       0x333618eaa0e89f5e, 0x3f1666c28862e190},
      {"fs 2", [&](ImageDocument& d) { floydSteinbergDither(d, plain, kDitherTwoColours); },
       0xa76abebbce2d5d5d, 0x577a765db031a1c7},
      {"fs 4 interlaced",
       [&](ImageDocument& d) { floydSteinbergDither(d, interlaced, kDitherFourColours); },
       0x6a0f379bda5db3f0, 0xbf9597d6d027bdd6},
      {"fs 16", [&](ImageDocument& d) { floydSteinbergDither(d, plain, kDitherSixteenColours, 3); },
       0x86bdbc19540ad93a, 0x4c07bfe737b2016b},
      {"perceptual 2", [&](ImageDocument& d) { perceptualDither(d, plain, kDitherTwoColours); },
       0x4a6b4be9645bc0a6, 0x2a56b0015346313d},
      {"perceptual 4 interlaced",
       [&](ImageDocument& d) { perceptualDither(d, interlaced, kDitherFourColours); },
       0x8cc5daba45ba2c6d, 0x837f4ea6091da0ef},
      {"perceptual 16",
       [&](ImageDocument& d) { perceptualDither(d, plain, kDitherSixteenColours, 2); },
       0x5548b1ead58c901f, 0xbcdcc93c1e670883},
      {"grey 16", [](ImageDocument& d) { greyConversion(d, kSixteenGreys); }, 0x8e25170ac808da13,
       0x2fc810d0491fd696},
      {"halve", [](ImageDocument& d) { halve(d, kHalveHorizontally); }, 0x54db55ed500e9d35,
       0x5f86a38b421ad2ef},
      {"resize down", resize(64, 64, ResizeMode::kFit), 0x6e581a8e63a7c092, 0x670972f71c70a22e},
      {"resize up", resize(211, 650, ResizeMode::kStretch), 0x2c22252c4de9adf3, 0xa9f27b9caf754594},
      {"resize fill", resize(50, 31, ResizeMode::kFill), 0x9b0f9536d128db4c, 0x501dc2bd295da20f},
  };
  const ImageDocument pictures[] = {photoLikePicture(), palettePicture()};
  for (const Pinned& p : pinned) {
    SCOPED_TRACE(p.name);
    const uint64_t expected[] = {p.trueColourDigest, p.paletteDigest};
    for (int i = 0; i < 2; ++i) {
      ImageDocument doc = pictures[i];
      p.convert(doc);
      EXPECT_EQ(documentDigest(doc), expected[i])
          << (i == 0 ? "true-colour" : "palette") << " picture: 0x" << std::hex
          << documentDigest(doc);
    }
  }
}

}  // namespace
}  // namespace vz
