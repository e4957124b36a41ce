#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "converter/colour/tvc_palette.h"
#include "converter/commands/save.h"
#include "converter/formats/tvc/kep_writer.h"
#include "converter/model/file_io.h"
#include "kep_test_support.h"

namespace vz {
namespace {

using kep_test::makePicture;
using Bytes = std::vector<uint8_t>;

class RecordingPrompts : public UserPrompts {
 public:
  void showError(const std::string& text, const std::string& caption) override {
    errors.emplace_back(caption, text);
  }
  bool askYesNo(const std::string&, const std::string&) override { return false; }
  std::vector<std::pair<std::string, std::string>> errors;  // caption, text
};

SaveOptions options(uint8_t coding, uint8_t format, bool paletteFile = false,
                    uint8_t maskColour = 0) {
  SaveOptions result;
  result.saveCoding = coding;
  result.saveFormat = format;
  result.makePaletteFile = paletteFile;
  result.maskColour = maskColour;
  return result;
}

Bytes encode(const ImageDocument& doc, const SaveOptions& saveOptions) {
  KepEncoding encoding;
  EXPECT_EQ(encodeKep(doc, saveOptions, encoding), KepEncodeStatus::kOk);
  return encoding.picture;
}

// The coded picture data of a full-header file.
Bytes dataOf(const Bytes& file) {
  return Bytes(file.begin() + 16, file.end());
}

void setRow(ImageDocument& doc, int32_t y, const Bytes& bytes) {
  std::copy(bytes.begin(), bytes.end(), doc.row(y));
}

TEST(KepWriterLayout, PlainTwoColourPictureWithFullHeader) {
  ImageDocument doc = makePicture(ColourMode::kColours2, 16, 2);
  doc.palette[0] = tvcColour(0);
  doc.palette[1] = tvcColour(15);
  doc.palette[2] = tvcColour(8);  // black finds index 0 first
  doc.palette[3] = 0x123456;      // no TVC colour
  setRow(doc, 0, {0xF0, 0x0F});
  setRow(doc, 1, {0x81, 0x42});
  doc.row(1)[2] = 0xEE;  // padding is never written
  EXPECT_EQ(encode(doc, options(kPlain, kFullKepHeader)),
            (Bytes{'K',  'E',  'P',  8,   0x00, 0x55, 0x00, 0x00,  // header
                   16,   0,    2,    0,   0,    0,    0,    0,     //
                   0xF0, 0x0F, 0x81, 0x42}));
}

TEST(KepWriterLayout, FourAndSixteenColourBytes) {
  // Ten pixels a row: D = 6 document bytes, T = 3 TVC bytes; the last TVC byte's two
  // rightmost pixels come from the row padding as it stands.
  ImageDocument four = makePicture(ColourMode::kColours4, 10, 1);
  setRow(four, 0, {0x12, 0x30, 0x00, 0x00, 0x33, 0x21});
  const Bytes fourFile = encode(four, options(kPlain, kFullKepHeader));
  EXPECT_EQ(fourFile[3], 9);
  EXPECT_EQ(fourFile[8], 10);
  // Pixels 1,2,3,0 -> colour bit 0 at bits 7..4, colour bit 1 at bits 3..0.
  EXPECT_EQ(dataOf(fourFile), (Bytes{0xA6, 0x00, 0xDE}));

  ImageDocument sixteen = makePicture(ColourMode::kColours16, 8, 1);
  setRow(sixteen, 0, {0xF0, 0x0F, 0x12, 0x8C});
  const Bytes sixteenFile = encode(sixteen, options(kPlain, kFullKepHeader));
  EXPECT_EQ(sixteenFile[3], 10);
  EXPECT_EQ(dataOf(sixteenFile), (Bytes{0xAA, 0x55, 0x06, 0xD0}));
}

TEST(KepWriterRle, LongRunsSplitAtSixtyThree) {
  ImageDocument doc = makePicture(ColourMode::kColours2, 800, 1);
  std::fill(doc.pixels.begin(), doc.pixels.begin() + 100, 0x5A);
  const Bytes file = encode(doc, options(kRle, kFullKepHeader));
  EXPECT_EQ(file[3], 4);
  EXPECT_EQ(dataOf(file), (Bytes{0x3F, 0x5A, 0x25, 0x5A}));
}

TEST(KepWriterRle, MarkerTagCarriesAcrossRowsAndWraps) {
  ImageDocument doc = makePicture(ColourMode::kColours2, 24, 4);
  setRow(doc, 0, {0x12, 0x34, 0x52});  // leaves the tag at 0x80
  setRow(doc, 1, {0x9A, 0x11, 0xC5});  // 0x80 and 0xC0 run bytes, then the tag wraps to 0
  setRow(doc, 2, {0xC1, 0xC1, 0x3F});  // a run of two ignores the top bits, keeps the tag
  setRow(doc, 3, {0x3F, 0x3F, 0x3F});  // runs never join the previous row's last byte
  EXPECT_EQ(dataOf(encode(doc, options(kRle, kFullKepHeader))),
            (Bytes{0x01, 0x12, 0x34, 0x41, 0x52,  //
                   0x81, 0x9A, 0x11, 0xC1, 0xC5,  //
                   0x02, 0xC1, 0x01, 0x3F,        //
                   0x43, 0x3F}));
}

TEST(KepWriterRle, FourColourUnitsAreBytePairs) {
  ImageDocument doc = makePicture(ColourMode::kColours4, 16, 1);
  // Pairs 1,2 equal; pair 3 differs only in its second byte.
  setRow(doc, 0, {0x11, 0x22, 0x11, 0x22, 0x11, 0x23, 0x00, 0x00});
  EXPECT_EQ(dataOf(encode(doc, options(kRle, kFullKepHeader))),
            (Bytes{0x02, 0xC3, 0xD3, 0x01, 0x00}));
}

TEST(KepWriterInterlaced, PaletteHalvesFollowTheTopLeftPixel) {
  ImageDocument doc = makePicture(ColourMode::kColours16, 4, 2);
  doc.interlaced = true;
  doc.palette[1] = tvcColour(1);
  doc.palette[2] = tvcColour(2);
  doc.palette[5] = tvcColour(5);
  doc.palette[6] = tvcColour(6);
  setRow(doc, 0, {0x12, 0x30});
  setRow(doc, 1, {0x56, 0x74});  // odd rows use values 4..7, written as 0..3 are
  Bytes file = encode(doc, options(kPlain, kFullKepHeader));
  EXPECT_EQ(file[3], 11);
  EXPECT_EQ(Bytes(file.begin() + 4, file.begin() + 8), (Bytes{0x01, 0x04, 0x11, 0x14}));
  EXPECT_EQ(dataOf(file), (Bytes{0xA6, 0xA6}));

  doc.row(0)[0] = 0x52;  // top-left pixel 5: the halves swap
  file = encode(doc, options(kRle, kFullKepHeader));
  EXPECT_EQ(file[3], 7);
  EXPECT_EQ(Bytes(file.begin() + 4, file.begin() + 8), (Bytes{0x11, 0x14, 0x01, 0x04}));
}

// The sprite header holds the row bytes and the height in one byte each: 255 is the
// largest size it can state, and a larger sprite is refused rather than written with a
// header that contradicts its data.
TEST(KepWriterSprite, HeadersHoldSizesUpTo255) {
  const struct {
    int32_t width, height;  // 2 colours: 8 pixels a byte
    KepEncodeStatus status;
  } cases[] = {
      {8 * 255, 255, KepEncodeStatus::kOk},
      {8 * 255 + 1, 255, KepEncodeStatus::kTooLargeForSprite},
      {8, 256, KepEncodeStatus::kTooLargeForSprite},
      {8 * 263, 300, KepEncodeStatus::kTooLargeForSprite},
  };
  for (const auto& c : cases) {
    ImageDocument doc = makePicture(ColourMode::kColours2, c.width, c.height);
    doc.palette[1] = tvcColour(15);
    for (SaveFormat format : {kSpriteExport, kSpriteWithMask}) {
      KepEncoding encoding;
      ASSERT_EQ(encodeKep(doc, options(kPlain, format, true), encoding), c.status) << c.width;
      if (c.status != KepEncodeStatus::kOk) continue;
      const bool masked = format == kSpriteWithMask;
      const size_t header = masked ? 4 : 2;
      EXPECT_EQ(Bytes(encoding.picture.begin() + header - 2, encoding.picture.begin() + header),
                (Bytes{255, 255}));
      EXPECT_EQ(encoding.picture.size(), header + (masked ? 2u : 1u) * 255u * 255u);
      if (masked) {
        EXPECT_EQ(Bytes(encoding.picture.begin(), encoding.picture.begin() + 2),
                  (Bytes{255 * 255 & 0xFF, 255 * 255 >> 8}));
      }
      EXPECT_EQ(encoding.palette, (Bytes{0x00, 0x55, 0x00, 0x00}));
    }
  }
  KepEncoding full;
  ImageDocument doc = makePicture(ColourMode::kColours2, 16, 2);
  ASSERT_EQ(encodeKep(doc, options(kPlain, kFullKepHeader, true), full), KepEncodeStatus::kOk);
  EXPECT_TRUE(full.palette.empty()) << "the palette file belongs to the sprite forms";
}

TEST(KepWriterMask, SixteenColoursCompareValuesWithTheMaskIndex) {
  ImageDocument doc = makePicture(ColourMode::kColours16, 8, 1);
  setRow(doc, 0, {0x3A, 0xA3, 0xAA, 0x33});
  const Bytes file = encode(doc, options(kRle, kSpriteWithMask, false, 10));
  EXPECT_EQ(Bytes(file.end() - 4, file.end()), (Bytes{0x55, 0xAA, 0xFF, 0x00}));
}

TEST(KepWriterMask, FewerColoursCompareThePaletteColourWithTheMaskColour) {
  ImageDocument two = makePicture(ColourMode::kColours2, 8, 1);
  two.palette[0] = tvcColour(15);
  two.palette[1] = tvcColour(0);
  setRow(two, 0, {0xA5});
  // Index 8 is black as well: the pixels whose colour is black are marked.
  Bytes file = encode(two, options(kPlain, kSpriteWithMask, false, 8));
  EXPECT_EQ(file.back(), 0xA5);
  file = encode(two, options(kPlain, kSpriteWithMask, false, 15));
  EXPECT_EQ(file.back(), 0x5A);

  ImageDocument four = makePicture(ColourMode::kColours4, 4, 1);
  four.palette[0] = tvcColour(0);
  four.palette[1] = tvcColour(10);
  four.palette[2] = tvcColour(14);
  four.palette[3] = tvcColour(15);
  setRow(four, 0, {0x21, 0x02});  // pixels 2,1,0,2
  file = encode(four, options(kPlain, kSpriteWithMask, false, 14));
  EXPECT_EQ(file.back(), 0x80 | 0x08 | 0x10 | 0x01);

  ImageDocument interlaced = makePicture(ColourMode::kColours16, 4, 2);
  interlaced.interlaced = true;
  interlaced.palette[6] = tvcColour(11);
  setRow(interlaced, 1, {0x46, 0x66});  // pixels 4,6,6,6: the last three are magenta
  file = encode(interlaced, options(kPlain, kSpriteWithMask, false, 11));
  EXPECT_EQ(Bytes(file.end() - 2, file.end()), (Bytes{0x00, 0x77}));
}

TEST(KepWriterRefusal, OnlyTvcColourModesAndSixteenBitHeaderSizes) {
  KepEncoding encoding;
  ImageDocument trueColour = makePicture(ColourMode::kTrueColour, 4, 4);
  EXPECT_EQ(encodeKep(trueColour, options(kPlain, kFullKepHeader), encoding),
            KepEncodeStatus::kNotTvcPicture);
  ImageDocument grey = makePicture(ColourMode::kColours256, 4, 4);
  EXPECT_EQ(encodeKep(grey, options(kPlain, kSpriteExport), encoding),
            KepEncodeStatus::kNotTvcPicture);
  ImageDocument shortBuffer = makePicture(ColourMode::kColours16, 8, 4);
  shortBuffer.pixels.resize(8);
  EXPECT_EQ(encodeKep(shortBuffer, options(kPlain, kFullKepHeader), encoding),
            KepEncodeStatus::kNotTvcPicture);

  ImageDocument wide = makePicture(ColourMode::kColours2, 65536, 1);
  EXPECT_EQ(encodeKep(wide, options(kPlain, kFullKepHeader), encoding),
            KepEncodeStatus::kTooLargeForHeader);
  EXPECT_EQ(encodeKep(wide, options(kPlain, kSpriteExport), encoding),
            KepEncodeStatus::kTooLargeForSprite);
}

TEST(PalettePath, ReplacesOrAddsTheExtension) {
  EXPECT_EQ(palettePathFor("kepek/kutya.kep"), "kepek/kutya.PAL");
  EXPECT_EQ(palettePathFor("C:\\a.b\\macska.KEP"), "C:\\a.b\\macska.PAL");
  EXPECT_EQ(palettePathFor("C:\\a.b\\macska"), "C:\\a.b\\macska.PAL");
  EXPECT_EQ(palettePathFor("a.dir/sprite"), "a.dir/sprite.PAL");
  EXPECT_EQ(palettePathFor("x.tar.kep"), "x.tar.PAL");
}

TEST(SaveKepFile, WritesThePictureAndThePaletteBesideIt) {
  const std::filesystem::path folder = kep_test::freshFolder();
  AppState state;
  state.document = makePicture(ColourMode::kColours4, 8, 2);
  state.document.palette[1] = tvcColour(10);
  state.filePath = (folder / "árvíztűrő.kep").string();
  state.saveOptions = options(kRle, kSpriteExport, true);
  RecordingPrompts prompts;
  ASSERT_TRUE(saveKepFile(state, state.filePath, prompts).ok());
  EXPECT_TRUE(prompts.errors.empty());
  Bytes picture, palette;
  ASSERT_TRUE(readWholeFile(state.filePath, picture));
  ASSERT_TRUE(readWholeFile((folder / "árvíztűrő.PAL").string(), palette));
  EXPECT_EQ(palette, (Bytes{0x00, 0x44, 0x00, 0x00}));
  EXPECT_EQ(picture, (Bytes{2, 2, 0x02, 0x00, 0x02, 0x00}));
}

TEST(SaveKepFile, ReportsFilesThatCannotBeWritten) {
  const std::filesystem::path folder = kep_test::freshFolder();
  AppState state;
  state.document = makePicture(ColourMode::kColours2, 8, 1);
  RecordingPrompts prompts;

  state.filePath = (folder / "no-such-folder" / "a.kep").string();
  EXPECT_FALSE(saveKepFile(state, state.filePath, prompts).ok());
  ASSERT_EQ(prompts.errors.size(), 1u);
  EXPECT_EQ(prompts.errors[0].first, "Mentés");

  // A folder where the palette file should go: the picture is saved first, then the
  // palette fails and is reported.
  std::filesystem::create_directory(folder / "b.PAL");
  state.filePath = (folder / "b.kep").string();
  state.saveOptions = options(kPlain, kSpriteExport, true);
  EXPECT_FALSE(saveKepFile(state, state.filePath, prompts).ok());
  ASSERT_EQ(prompts.errors.size(), 2u);
  EXPECT_EQ(prompts.errors[1].first, "Mentés");
  EXPECT_TRUE(std::filesystem::exists(folder / "b.kep"));
  EXPECT_TRUE(std::filesystem::is_directory(folder / "b.PAL"));

  // A picture named like its own palette file would replace it.
  state.filePath = (folder / "d.pal").string();
  EXPECT_FALSE(saveKepFile(state, state.filePath, prompts).ok());
  ASSERT_EQ(prompts.errors.size(), 3u);
  EXPECT_FALSE(std::filesystem::exists(folder / "d.pal"));
  EXPECT_FALSE(std::filesystem::exists(folder / "d.PAL"));
  state.saveOptions.makePaletteFile = false;
  EXPECT_TRUE(saveKepFile(state, state.filePath, prompts).ok());

  state.document = makePicture(ColourMode::kTrueColour, 8, 1);
  state.filePath = (folder / "c.kep").string();
  EXPECT_FALSE(saveKepFile(state, state.filePath, prompts).ok());
  ASSERT_EQ(prompts.errors.size(), 4u);
  EXPECT_EQ(prompts.errors[3].first, "Mentés");
  EXPECT_FALSE(std::filesystem::exists(folder / "c.kep"));
}

}  // namespace
}  // namespace vz
