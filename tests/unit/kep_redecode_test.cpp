#include <gtest/gtest.h>

#include <vector>

#include "converter/colour/tvc_palette.h"
#include "converter/commands/kep_decode_dialog_model.h"
#include "converter/commands/picture_properties.h"
#include "converter/commands/save_options_choice.h"
#include "converter/formats/tvc/kep_reader.h"
#include "converter/formats/tvc/kep_redecode.h"
#include "converter/formats/tvc/tvc_bytes.h"
#include "kep_test_support.h"

namespace vz {
namespace {

using Bytes = std::vector<uint8_t>;
using kep_test::ByteSource;
using kep_test::makePicture;

// A 2-colour picture 512 wide read from a headerless file: 64 TVC bytes a row.
ImageDocument twoColourPicture(size_t rows, KepDecodeColours& colours, Bytes& tvcBytes) {
  tvcBytes.assign(rows * 64, 0);
  ByteSource random(7);
  for (uint8_t& byte : tvcBytes) byte = random.next();
  Bytes file = {'K', 'E', 'P', 0};
  file.insert(file.end(), tvcBytes.begin(), tvcBytes.end());
  file.resize(rows * 64 + 60);  // rows count over the whole file: no extra row
  ImageDocument doc;
  EXPECT_TRUE(givesPicture(readKep(file.size(), file.data(), doc)));
  std::copy(doc.palette.begin(), doc.palette.begin() + 4, colours.begin());
  doc.tvcPicture = true;
  return doc;
}

KepDecodeChoice choice(uint32_t width, uint32_t height, int modeIndex) {
  KepDecodeChoice result;
  result.width = width;
  result.height = height;
  result.modeIndex = modeIndex;
  return result;
}

TEST(KepRedecode, TwoColourPictureAsSixteenColoursAtWidth128) {
  KepDecodeColours colours{};
  Bytes tvcBytes;
  ImageDocument doc = twoColourPicture(4, colours, tvcBytes);
  ASSERT_EQ(doc.width, 512);
  ASSERT_TRUE(
      redecodeKepPicture(doc, colours, choice(128, 4, decodeModeIndexOf(ColourMode::kColours16))));
  EXPECT_EQ(doc.colourMode, ColourMode::kColours16);
  EXPECT_EQ(doc.width, 128);
  EXPECT_EQ(doc.height, 4);
  EXPECT_EQ(doc.rowStride, 64);
  EXPECT_EQ(doc.pictureSize(), 256);
  for (size_t i = 0; i < tvcBytes.size(); ++i)
    ASSERT_EQ(doc.pixels[i], sixteenColoursFromTvcByte(tvcBytes[i])) << i;
  EXPECT_EQ(doc.palette[9], tvcColour(9));
  EXPECT_EQ(pictureKindText(doc), "TVC - 16 szín");
  EXPECT_EQ(paletteListEntries(doc).size(), 16u);
}

TEST(KepRedecode, RowsOfTBytesAreKeptAtAStrideOfFourAndNothingIsLost) {
  KepDecodeColours colours{};
  Bytes tvcBytes;
  ImageDocument doc = twoColourPicture(4, colours, tvcBytes);
  // 40 pixels in 2 colours: T = 5, so 256 bytes give 51 whole rows and a sixth of one.
  ASSERT_TRUE(
      redecodeKepPicture(doc, colours, choice(40, 100, decodeModeIndexOf(ColourMode::kColours2))));
  EXPECT_EQ(doc.rowStride, 8);
  EXPECT_EQ(doc.height, 51);
  for (size_t i = 0; i < tvcBytes.size(); ++i)
    ASSERT_EQ(doc.row(static_cast<int32_t>(i / 5))[i % 5], tvcBytes[i]) << i;
  EXPECT_EQ(doc.row(0)[5], 0) << "row padding stays zero";

  // A smaller height hides rows without dropping them: going back restores every byte.
  ASSERT_TRUE(redecodeKepPicture(doc, colours, choice(40, 10, -1)));
  EXPECT_EQ(doc.height, 10);
  ASSERT_TRUE(
      redecodeKepPicture(doc, colours, choice(512, 4, decodeModeIndexOf(ColourMode::kColours2))));
  EXPECT_EQ(doc.height, 4);
  EXPECT_EQ(Bytes(doc.pixels.begin(), doc.pixels.begin() + 256), tvcBytes);
}

TEST(KepRedecode, FourColourPicturesCountBytePairsAsOneTvcByte) {
  KepDecodeColours colours = {tvcColour(0), tvcColour(1), tvcColour(2), tvcColour(3)};
  ImageDocument doc = makePicture(ColourMode::kColours4, 10, 3);  // T = 3
  ByteSource random(11);
  for (uint8_t& byte : doc.pixels) byte = random.next() & 0x33;
  for (int32_t y = 0; y < 3; ++y) std::fill(doc.row(y) + 6, doc.row(y) + 8, 0);
  const ImageDocument before = doc;
  ASSERT_TRUE(
      redecodeKepPicture(doc, colours, choice(10, 3, decodeModeIndexOf(ColourMode::kColours4))));
  EXPECT_EQ(doc.pixels, before.pixels) << "the same values change nothing";
  EXPECT_EQ(doc.palette[2], tvcColour(2));

  // As 16 colours 6 wide (T = 3): each row's three TVC bytes, one document byte each.
  ASSERT_TRUE(
      redecodeKepPicture(doc, colours, choice(6, 3, decodeModeIndexOf(ColourMode::kColours16))));
  EXPECT_EQ(doc.rowStride, 4);
  for (int32_t y = 0; y < 3; ++y)
    for (int c = 0; c < 3; ++c)
      EXPECT_EQ(doc.row(y)[c], sixteenColoursFromTvcByte(tvcByteFromFourColours(
                                   before.row(y)[2 * c], before.row(y)[2 * c + 1])));
}

TEST(KepRedecode, RefusesWhatWouldBreakThePicture) {
  KepDecodeColours colours{};
  Bytes tvcBytes;
  ImageDocument doc = twoColourPicture(2, colours, tvcBytes);
  const ImageDocument before = doc;
  EXPECT_FALSE(redecodeKepPicture(doc, colours, choice(0, 2, 0)));
  EXPECT_FALSE(redecodeKepPicture(doc, colours, choice(64, 0, 0)));
  EXPECT_FALSE(redecodeKepPicture(doc, colours, choice(8 * 129, 1, 0)));  // a row past the data
  EXPECT_FALSE(redecodeKepPicture(doc, colours, choice(0xFFFFFFFFu, 1, 0)));
  EXPECT_EQ(doc.pixels, before.pixels);
  EXPECT_EQ(doc.width, before.width);

  ImageDocument interlaced = makePicture(ColourMode::kColours16, 8, 2);
  interlaced.interlaced = true;
  EXPECT_FALSE(redecodeKepPicture(interlaced, colours, choice(8, 2, 2)));
  ImageDocument trueColour = makePicture(ColourMode::kTrueColour, 8, 2);
  EXPECT_FALSE(redecodeKepPicture(trueColour, colours, choice(8, 2, 2)));
  ImageDocument empty;
  empty.colourMode = ColourMode::kColours4;
  EXPECT_FALSE(redecodeKepPicture(empty, colours, choice(8, 2, 1)));
}

// The decode dialog opens with the picture's own values, and its OK decodes anew at zoom
// 1 x 1 only when both fields were read and the values can decode the picture.
TEST(KepDecodeDialog, OpensWithThePictureAndOkDecodesOrChangesNothing) {
  AppState state;
  Bytes tvcBytes;
  state.document = twoColourPicture(4, state.kepDecodeColours, tvcBytes);
  state.view.zoomY = 2;
  const KepDecodeDialogModel dialog(state);
  EXPECT_EQ(dialog.width(), 512u);
  EXPECT_EQ(dialog.height(), 4u);
  EXPECT_EQ(dialog.modeIndex(), decodeModeIndexOf(ColourMode::kColours2));
  const int sixteen = decodeModeIndexOf(ColourMode::kColours16);
  const ImageDocument before = state.document;
  const struct {
    bool widthRead;
    uint32_t width;
    bool heightRead;
    uint32_t height;
  } refused[] = {
      {false, 128, true, 4}, {true, 128, false, 4}, {true, 0, true, 4}, {true, 128, true, 0}};
  for (const auto& r : refused) {
    EXPECT_FALSE(dialog.accept(state, r.widthRead, r.width, r.heightRead, r.height, sixteen));
    EXPECT_EQ(state.document, before);
    EXPECT_EQ(state.view.zoomY, 2);
  }
  ASSERT_TRUE(dialog.accept(state, true, 128, true, 4, sixteen));
  EXPECT_EQ(state.document.colourMode, ColourMode::kColours16);
  EXPECT_EQ(state.document.width, 128);
  EXPECT_EQ(state.view.zoomX, 1);
  EXPECT_EQ(state.view.zoomY, 1);
}

TEST(PictureProperties, KindTextsAndListEntries) {
  ImageDocument trueColour = makePicture(ColourMode::kTrueColour, 3, 3);
  trueColour.tvcPicture = false;
  EXPECT_EQ(pictureKindText(trueColour), "True color");
  EXPECT_TRUE(paletteListEntries(trueColour).empty());
  EXPECT_FALSE(canRedecode(trueColour));

  ImageDocument grey = makePicture(ColourMode::kColours256, 3, 3);
  grey.tvcPicture = false;
  EXPECT_EQ(pictureKindText(grey), "RGB - 256 szin");
  EXPECT_EQ(paletteListEntries(grey).size(), 256u);
  EXPECT_FALSE(canRedecode(grey));

  ImageDocument interlaced = makePicture(ColourMode::kColours16, 4, 2);
  interlaced.interlaced = true;
  EXPECT_EQ(pictureKindText(interlaced), "TVC - 4 szín (Interlaced)");
  EXPECT_EQ(paletteListEntries(interlaced).size(), 16u);
  EXPECT_FALSE(canRedecode(interlaced));

  ImageDocument four = makePicture(ColourMode::kColours4, 3, 2);
  four.palette[1] = tvcColour(10);
  four.row(0)[0] = 0x13;
  four.row(0)[1] = 0x1F;  // the nibble past the width is not counted
  EXPECT_EQ(pictureKindText(four), "TVC - 4 szín");
  EXPECT_TRUE(canRedecode(four));
  const std::vector<PaletteListEntry> entries = paletteListEntries(four);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[1].colour, tvcColour(10));
  EXPECT_EQ(entries[1].pixelCount, 2u);
}

// The save-options dialog's OK: the mask check box only counts with the sprite form.
TEST(SaveOptionsDialog, OkTurnsTheControlsIntoSaveOptions) {
  SaveOptionsChoice choice;
  choice.backgroundMask = choice.paletteFile = choice.rleCoding = true;
  choice.maskColour = 12;
  EXPECT_EQ(saveOptionsFrom(choice).saveFormat, kFullKepHeader);
  choice.spriteFormat = true;
  const SaveOptions options = saveOptionsFrom(choice);
  EXPECT_EQ(options.saveFormat, kSpriteWithMask);
  EXPECT_EQ(options.saveCoding, kRle);
  EXPECT_TRUE(options.makePaletteFile);
  EXPECT_EQ(options.maskColour, 12);
  choice.backgroundMask = false;
  EXPECT_EQ(saveOptionsFrom(choice).saveFormat, kSpriteExport);
}

}  // namespace
}  // namespace vz
