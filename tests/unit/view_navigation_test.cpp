// The window's view beyond the scroll bars: a new picture from its top-left corner,
// the screen scale of high-DPI monitors, the keyboard's scrolling, and the status bar.
#include <gtest/gtest.h>

#include "converter/commands/status_bar.h"
#include "converter/view/layout.h"
#include "converter/view/selection.h"

namespace vz {
namespace {

ImageDocument trueColourPicture(int32_t width, int32_t height) {
  ImageDocument doc;
  allocatePicture(doc, width, height, ColourMode::kTrueColour);
  return doc;
}

TEST(Layout, TopLeftStartAndScreenScale) {
  struct Case {
    int8_t zoomX, screenScale;
    bool fromTopLeft;
    int32_t scrollX, visibleWidth, imageLeft;
  };
  // 1000 x 50 in 401 x 200: across it scrolls, down it is centred.
  for (const Case& c :
       {Case{1, 1, false, 299, 401, 0}, Case{1, 1, true, 0, 401, 0}, Case{2, 1, true, 0, 200, 0},
        Case{1, 2, false, 399, 200, 0}, Case{2, 2, true, 0, 100, 0}}) {
    ViewState view;
    view.zoomX = c.zoomX;
    view.screenScale = c.screenScale;
    view.layoutFromTopLeft = c.fromTopLeft;
    updateLayout(view, trueColourPicture(1000, 50), 401, 200);
    const std::string label = std::to_string(c.zoomX) + "x" + std::to_string(c.screenScale);
    EXPECT_EQ(view.scrollX, c.scrollX) << label;
    EXPECT_EQ(view.visibleWidth, c.visibleWidth) << label;
    EXPECT_EQ(view.imageLeft, c.imageLeft) << label;
    // Down, every screen row shows a whole document row: 50 rows at the scale.
    EXPECT_EQ(view.displayHeight, 50 * c.screenScale) << label;
    EXPECT_EQ(view.imageTop, (200 - 50 * c.screenScale) / 2) << label;
  }
}

TEST(ScrollKeys, MoveWithinThePicture) {
  struct Case {
    int32_t width, height;
    ScrollKey key;
    int32_t scrollX, scrollY;  // from the middle position 50, 40
    bool moved;
  };
  const Case cases[] = {
      {400, 300, ScrollKey::kRight, 66, 40, true},
      {400, 300, ScrollKey::kLeft, 34, 40, true},
      {400, 300, ScrollKey::kDown, 50, 56, true},
      {400, 300, ScrollKey::kUp, 50, 24, true},
      {400, 300, ScrollKey::kPageDown, 50, 140, true},
      {400, 300, ScrollKey::kPageUp, 50, 0, true},
      {400, 300, ScrollKey::kHome, 50, 0, true},
      {400, 300, ScrollKey::kEnd, 50, 200, true},
      // Only across: the page keys, Home and End go across.
      {600, 100, ScrollKey::kPageDown, 250, 0, true},
      {600, 100, ScrollKey::kEnd, 400, 0, true},
      {400, 100, ScrollKey::kDown, 50, 0, false},
  };
  for (const Case& c : cases) {
    const ImageDocument doc = trueColourPicture(c.width, c.height);
    ViewState view;
    updateLayout(view, doc, 200, 100);
    view.scrollX = 50;
    view.scrollY = c.height > 100 ? 40 : 0;
    EXPECT_EQ(scrollForKey(view, doc, c.key), c.moved) << static_cast<int>(c.key);
    EXPECT_EQ(view.scrollX, c.scrollX) << static_cast<int>(c.key);
    EXPECT_EQ(view.scrollY, c.scrollY) << static_cast<int>(c.key);
  }
}

TEST(StatusBar, SaysSizeKindZoomAndWhy) {
  AppState none;
  EXPECT_EQ(statusBarTexts(none),
            (std::vector<std::string>{"Nincs kép", "", "Nagyítás: 1 × 1", ""}));

  AppState state;
  state.document = trueColourPicture(320, 200);
  EXPECT_EQ(statusBarTexts(state),
            (std::vector<std::string>{"320 × 200 képpont", "True color", "Nagyítás: 1 × 1",
                                      "Csak 2, 4 vagy 16 színű kép menthető KEP fájlként!"}));
  state.document.colourMode = ColourMode::kColours16;
  state.document.tvcPicture = true;
  state.view.zoomX = 2;
  EXPECT_EQ(statusBarTexts(state), (std::vector<std::string>{"320 × 200 képpont", "TVC - 16 szín",
                                                             "Nagyítás: 2 × 1", ""}));

  // Crop mode: the crop size, then the document rectangle under the frame.
  state.view.zoomX = 1;
  updateLayout(state.view, state.document, 400, 300);  // the picture at 40, 50
  screenCropCommand(state);
  EXPECT_EQ(statusBarTexts(state)[3], "Kivágás: 256 × 240");
  followSelection(state.selection, 40 + 100, 50 + 60);
  EXPECT_EQ(statusBarTexts(state)[3], "Kivágás: 0, 0 – 100 × 60");
}

}  // namespace
}  // namespace vz
