#include <gtest/gtest.h>

#include "converter/view/layout.h"
#include "converter/view/selection.h"
#include "tests/unit/test_support.h"

namespace vz {
namespace {

// A picture whose pixel (x, y) has a value that names its column and row, so a crop
// shows where it started.
AppState stateWithPicture(ColourMode colourMode, int32_t width, int32_t height) {
  AppState state;
  ImageDocument& doc = state.document;
  allocatePicture(doc, width, height, colourMode);
  const int bits = bitsPerPixel(colourMode);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      if (colourMode == ColourMode::kTrueColour) {
        uint8_t* p = doc.row(y) + 3 * x;
        p[0] = static_cast<uint8_t>(x);
        p[1] = static_cast<uint8_t>(y);
        p[2] = 0x5A;
      } else {
        const int values = bits == 1 ? 2 : bits == 4 ? 16 : 256;
        setPackedPixel(doc.row(y), x, bits, static_cast<uint8_t>((x + 3 * y) % values));
      }
    }
  return state;
}

uint8_t valueAt(const ImageDocument& doc, int32_t x, int32_t y) {
  if (doc.colourMode == ColourMode::kTrueColour) return doc.row(y)[3 * x];
  return getPackedPixel(doc.row(y), x, bitsPerPixel(doc.colourMode));
}

void selectAt(AppState& state, int32_t mouseX, int32_t mouseY) {
  screenCropCommand(state);
  followSelection(state.selection, mouseX, mouseY);
}

TEST(SelectionMode, ScreenCropUsesTheCropSizeDoubledAtZoomTwoDown) {
  AppState state;
  screenCropCommand(state);
  EXPECT_EQ(state.selection.selectionState, kSelectionFollowsMouse);
  EXPECT_EQ(state.selection.selectionWidth, 256);
  EXPECT_EQ(state.selection.selectionHeight, 240);

  AppState zoomedDown;
  zoomedDown.view.zoomY = 2;
  screenCropCommand(zoomedDown);
  EXPECT_EQ(zoomedDown.selection.selectionWidth, 512);
  EXPECT_EQ(zoomedDown.selection.selectionHeight, 480);

  AppState zoomedAcross;
  zoomedAcross.view.zoomX = 2;
  screenCropCommand(zoomedAcross);
  EXPECT_EQ(zoomedAcross.selection.selectionWidth, 256);
}

TEST(SelectionMode, OutlineFollowsTheMouseAndIsErasedBeforeRedrawing) {
  AppState state;
  state.effects.cropWidth = 10;
  state.effects.cropHeight = 5;
  screenCropCommand(state);
  OutlineDraws draws = followSelection(state.selection, 50, 40);
  ASSERT_EQ(draws.size(), 1u);  // nothing shown yet: only draw
  EXPECT_EQ(draws[0].left, 40);
  EXPECT_EQ(draws[0].top, 35);
  EXPECT_EQ(draws[0].right, 50);
  EXPECT_EQ(draws[0].bottom, 40);
  EXPECT_TRUE(state.selection.selectionShown);

  draws = followSelection(state.selection, 60, 41);
  ASSERT_EQ(draws.size(), 2u);  // erase the old outline, draw the new
  EXPECT_EQ(draws[0].left, 40);
  EXPECT_EQ(draws[1].left, 50);
  EXPECT_EQ(draws[1].bottom, 41);
}

TEST(SelectionMode, SecondScreenCropCancelsAndErases) {
  AppState state;
  selectAt(state, 300, 300);
  const OutlineDraws draws = screenCropCommand(state);
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0].right, 300);
  EXPECT_EQ(state.selection.selectionState, kSelectionIdle);
  EXPECT_FALSE(state.selection.selectionShown);
  // Cancelling again has nothing left to erase.
  EXPECT_TRUE(cancelSelection(state.selection).empty());
}

TEST(SelectionMode, MouseMovesOutsideSelectionModeDrawNothing) {
  AppState state;
  EXPECT_TRUE(followSelection(state.selection, 10, 10).empty());
  EXPECT_FALSE(state.selection.selectionShown);
}

TEST(SelectionMapping, CentredPictureAtZoomOne) {
  AppState state = stateWithPicture(ColourMode::kTrueColour, 100, 50);
  updateLayout(state.view, state.document, 300, 200);  // picture at (100, 75)
  const DocumentRect cut = selectionToDocument(state.view, state.document, {110, 80, 130, 100});
  EXPECT_EQ(cut.x0, 10);
  EXPECT_EQ(cut.y0, 5);
  EXPECT_EQ(cut.x1, 30);
  EXPECT_EQ(cut.y1, 25);
}

TEST(SelectionMapping, RectangleStickingOutIsCutAtThePictureEdges) {
  AppState state = stateWithPicture(ColourMode::kTrueColour, 100, 50);
  updateLayout(state.view, state.document, 300, 200);
  const DocumentRect cut = selectionToDocument(state.view, state.document, {0, 0, 150, 100});
  EXPECT_EQ(cut.x0, 0);
  EXPECT_EQ(cut.y0, 0);
  EXPECT_EQ(cut.x1, 50);
  EXPECT_EQ(cut.y1, 25);
  const DocumentRect wide = selectionToDocument(state.view, state.document, {150, 100, 299, 199});
  EXPECT_EQ(wide.x1, 100);
  EXPECT_EQ(wide.y1, 50);
}

TEST(SelectionMapping, ScrolledPictureAtZoomTwoCoversHalfAsManyPixels) {
  AppState state = stateWithPicture(ColourMode::kTrueColour, 1000, 1000);
  state.view.zoomX = 2;
  state.view.zoomY = 2;
  updateLayout(state.view, state.document, 401, 401);  // scrolled to 399, 399
  const DocumentRect cut = selectionToDocument(state.view, state.document, {100, 40, 356, 280});
  EXPECT_EQ(cut.x0, 449);  // (100 + 2 * 399) / 2
  EXPECT_EQ(cut.y0, 419);
  EXPECT_EQ(cut.x1 - cut.x0, 128);
  EXPECT_EQ(cut.y1 - cut.y0, 120);
}

TEST(SelectionMapping, VeryWidePictureScrolledToItsMiddle) {
  ImageDocument doc;  // the mapping reads only the size
  doc.width = (1 << 30) + 6;
  doc.height = 10;
  ViewState view;
  view.zoomX = 2;
  updateLayout(view, doc, 800, 600);
  const DocumentRect cut = selectionToDocument(view, doc, {100, 0, 356, 600});
  EXPECT_EQ(cut.x0, view.scrollX + 50);
  EXPECT_EQ(cut.x1 - cut.x0, 128);
  EXPECT_EQ(cut.y1, 10);
}

TEST(Crop, DefaultSelectionInsideThePictureCutsTheCropSize) {
  AppState state = stateWithPicture(ColourMode::kTrueColour, 400, 300);
  updateLayout(state.view, state.document, 500, 400);  // picture at (50, 50)
  selectAt(state, 400, 330);
  ASSERT_TRUE(cropToSelection(state));
  EXPECT_EQ(state.document.width, 256);
  EXPECT_EQ(state.document.height, 240);
  EXPECT_EQ(state.document.rowStride, 768);
  EXPECT_EQ(state.document.pictureSize(), 768 * 240);
  EXPECT_EQ(valueAt(state.document, 0, 0), 400 - 256 - 50);  // first column 94
  EXPECT_EQ(state.document.row(0)[1], 330 - 240 - 50);       // first row 40
}

TEST(Crop, ZoomTwoDownHalvesTheDoubledSelection) {
  AppState state = stateWithPicture(ColourMode::kColours2, 600, 600);
  state.view.zoomY = 2;
  updateLayout(state.view, state.document, 700, 700);  // picture at x 50, scrolled down
  selectAt(state, 600, 600);
  ASSERT_TRUE(cropToSelection(state));
  EXPECT_EQ(state.document.width, 512);
  EXPECT_EQ(state.document.height, 240);
}

// Crop one rectangle in every colour mode: the packed modes start mid-byte.
TEST(Crop, EveryColourModeKeepsThePixelsUnderTheSelection) {
  for (ColourMode mode : kEveryColourMode) {
    AppState state = stateWithPicture(mode, 40, 30);
    const ImageDocument original = state.document;
    updateLayout(state.view, state.document, 60, 50);  // picture at (10, 10)
    state.effects.cropWidth = 17;
    state.effects.cropHeight = 9;
    selectAt(state, 10 + 3 + 17, 10 + 2 + 9);  // document columns 3..19, rows 2..10
    ASSERT_TRUE(cropToSelection(state)) << mode;
    const ImageDocument& cut = state.document;
    EXPECT_EQ(cut.width, 17) << mode;
    EXPECT_EQ(cut.height, 9) << mode;
    EXPECT_EQ(cut.colourMode, mode);
    EXPECT_EQ(cut.rowStride, rowStrideFor(mode, 17)) << mode;
    for (int32_t y = 0; y < 9; ++y)
      for (int32_t x = 0; x < 17; ++x)
        ASSERT_EQ(valueAt(cut, x, y), valueAt(original, x + 3, y + 2))
            << "mode " << mode << " at " << x << "," << y;
  }
}

TEST(Crop, RectangleOutsideThePictureLeavesTheDocumentAsItWas) {
  AppState state = stateWithPicture(ColourMode::kColours4, 100, 50);
  updateLayout(state.view, state.document, 300, 200);  // picture at (100, 75)
  const std::vector<uint8_t> pixels = state.document.pixels;
  const int32_t size = state.document.pictureSize();
  state.effects.cropWidth = 20;
  state.effects.cropHeight = 20;
  for (auto [x, y] : {std::pair{50, 150}, std::pair{100, 150}, std::pair{280, 150},
                      std::pair{150, 60}, std::pair{150, 199}}) {
    selectAt(state, x, y);
    EXPECT_FALSE(cropToSelection(state)) << x << "," << y;
    cancelSelection(state.selection);
  }
  EXPECT_EQ(state.document.pictureSize(), size);
  EXPECT_EQ(state.document.width, 100);
  EXPECT_EQ(state.document.pixels, pixels);
}

TEST(Crop, NoPictureNothingToCut) {
  AppState state;
  selectAt(state, 300, 300);
  EXPECT_FALSE(cropToSelection(state));
  EXPECT_EQ(state.document.pictureSize(), 0);
}

}  // namespace
}  // namespace vz
