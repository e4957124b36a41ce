// The fitted view: the size a large picture is shown at, screen and document pixels
// mapped both ways, crop on the view's scale, the area-averaged picture it shows, and
// the status bar that says so.
#include <gtest/gtest.h>

#include "converter/colour/resize.h"
#include "converter/commands/status_bar.h"
#include "converter/view/layout.h"
#include "converter/view/render.h"
#include "converter/view/selection.h"

namespace vz {
namespace {

ImageDocument pictureOfSize(int32_t width, int32_t height,
                            ColourMode mode = ColourMode::kTrueColour) {
  ImageDocument doc;
  allocatePicture(doc, width, height, mode);
  for (size_t i = 0; i < doc.pixels.size(); ++i)
    doc.pixels[i] = static_cast<uint8_t>(i * 29 + i / 977);
  return doc;
}

TEST(FitToWindow, ShowsALargerPictureWholeAndCentred) {
  struct Case {
    int32_t width, height;
    int8_t zoomX, zoomY, screenScale;
    int32_t clientWidth, clientHeight;
    int32_t fittedWidth, fittedHeight;  // 0 x 0: shown at its zoom
  };
  const Case cases[] = {
      {4000, 3000, 1, 1, 1, 1000, 700, 933, 700},  // the height is the tighter fit
      {4000, 3000, 1, 1, 1, 1000, 800, 1000, 750},
      {160, 240, 2, 1, 1, 300, 200, 267, 200},  // the shape at zoom 2 x 1
      {512, 240, 1, 2, 1, 300, 400, 300, 281},
      {800, 600, 1, 1, 2, 1000, 700, 933, 700},  // two screen pixels a picture pixel
      {3, 5000, 1, 1, 1, 640, 480, 1, 480},      // a side never rounds to nothing
      {1000, 700, 1, 1, 1, 1000, 700, 0, 0},     // fits exactly: never enlarged
      {100, 50, 2, 2, 1, 300, 200, 0, 0},
  };
  for (const Case& c : cases) {
    const std::string label = std::to_string(c.width) + "x" + std::to_string(c.height) + " in " +
                              std::to_string(c.clientWidth) + "x" + std::to_string(c.clientHeight);
    ImageDocument doc;  // the layout reads only the size
    doc.width = c.width;
    doc.height = c.height;
    ViewState view;
    view.zoomX = c.zoomX;
    view.zoomY = c.zoomY;
    view.screenScale = c.screenScale;
    view.fitToWindow = true;
    updateLayout(view, doc, c.clientWidth, c.clientHeight);
    EXPECT_EQ(view.fittedWidth, c.fittedWidth) << label;
    EXPECT_EQ(view.fittedHeight, c.fittedHeight) << label;
    if (c.fittedWidth == 0) continue;
    EXPECT_EQ(view.imageLeft, (c.clientWidth - c.fittedWidth) / 2) << label;
    EXPECT_EQ(view.imageTop, (c.clientHeight - c.fittedHeight) / 2) << label;
    EXPECT_EQ(view.horizontalMaximum + view.verticalMaximum, 0) << label << ": no scrolling";
    EXPECT_EQ(view.scrollX + view.scrollY, 0) << label;
    // The margin is the client area less the picture, exactly.
    int64_t margin = 0;
    for (const ClientRect& band : marginBands(view, doc, c.clientWidth, c.clientHeight))
      margin += int64_t{band.right - band.left} * (band.bottom - band.top);
    EXPECT_EQ(margin,
              int64_t{c.clientWidth} * c.clientHeight - int64_t{c.fittedWidth} * c.fittedHeight)
        << label;
    // Nothing to scroll: keys and the wheel leave the view where it is.
    EXPECT_FALSE(scrollForKey(view, doc, ScrollKey::kEnd)) << label;
    EXPECT_FALSE(scrollViewBy(view, doc, ScrollBar::kVertical, 100)) << label;
    // Fitting off, the picture scrolls again at its zoom.
    view.fitToWindow = false;
    updateLayout(view, doc, c.clientWidth, c.clientHeight);
    EXPECT_EQ(view.fittedWidth, 0) << label;
    EXPECT_GT(view.horizontalMaximum + view.verticalMaximum, 0) << label;
  }
}

// Every screen column of the fitted picture lies on the document column it names, and
// the columns of the zoomed view map as before.
TEST(FitToWindow, ScreenAndDocumentPixelsMapBothWays) {
  ImageDocument doc;
  doc.width = 4000;
  doc.height = 3000;
  ViewState view;
  view.fitToWindow = true;
  updateLayout(view, doc, 1000, 700);  // 933 x 700 at (33, 0)
  const AxisMapping across = screenAxis(view, doc, ScrollBar::kHorizontal);
  EXPECT_EQ(documentPositionAt(across, 33), 0);
  EXPECT_EQ(documentPositionAt(across, 33 + 933 - 1), 3995);
  EXPECT_EQ(documentPositionAt(across, 32), -5);  // left of the picture
  for (int64_t x = 33; x < 33 + 933; ++x) {
    const int64_t column = documentPositionAt(across, x);
    // Column c spans the screen from 33 + c x 933 / 4000 to 33 + (c + 1) x 933 / 4000.
    ASSERT_LE(33 * 4000 + column * 933, x * 4000) << x;
    ASSERT_GT(33 * 4000 + (column + 1) * 933, x * 4000) << x;
  }

  view.fitToWindow = false;
  view.zoomX = 2;
  updateLayout(view, doc, 1000, 700);  // scrolled to its middle at 2 x 1
  const AxisMapping zoomed = screenAxis(view, doc, ScrollBar::kHorizontal);
  EXPECT_EQ(documentPositionAt(zoomed, 0), view.scrollX);
  EXPECT_EQ(documentPositionAt(zoomed, 201), view.scrollX + 100);
}

// The crop rectangle is reduced with the picture, so that it covers the document
// pixels the crop size names; the status bar and the cut name document pixels.
TEST(FitToWindow, CropWorksOnTheViewsScale) {
  AppState state;
  state.document = pictureOfSize(4000, 3000);
  state.view.fitToWindow = true;
  updateLayout(state.view, state.document, 1000, 700);  // 933 x 700 at (33, 0)
  screenCropCommand(state);
  EXPECT_EQ(state.selection.selectionWidth, 60);   // 256 x 933 / 4000, rounded
  EXPECT_EQ(state.selection.selectionHeight, 56);  // 240 x 700 / 3000
  followSelection(state.selection, 633, 400);      // the rectangle 573, 344 - 633, 400
  EXPECT_EQ(statusBarTexts(state)[3], "Kivágás: 2315, 1474 – 257 × 240");
  const ImageDocument whole = state.document;
  ASSERT_TRUE(cropToSelection(state));
  EXPECT_EQ(state.document.width, 257);
  EXPECT_EQ(state.document.height, 240);
  EXPECT_EQ(state.document.pixels[0], whole.row(1474)[3 * 2315]);

  // A rectangle beyond the fitted picture's edges is cut at them.
  AppState edge;
  edge.document = pictureOfSize(4000, 3000);
  edge.view.fitToWindow = true;
  updateLayout(edge.view, edge.document, 1000, 700);
  edge.selection.selectionRect = {900, 650, 1000, 700};
  const DocumentRect cut =
      selectionToDocument(edge.view, edge.document, edge.selection.selectionRect);
  EXPECT_EQ(cut.x1, 4000);
  EXPECT_EQ(cut.y1, 3000);
  EXPECT_EQ(cut.x0, 3717);  // (900 - 33) x 4000 / 933
}

// The fitted view shows what resizing to its size would give, in the view's colours,
// and leaves the document as it was.
TEST(FitToWindow, ShowsTheAreaAveragedPicture) {
  struct Case {
    ColourMode mode;
    bool blackAndWhiteView;
  };
  for (const Case& c : {Case{ColourMode::kTrueColour, false}, Case{ColourMode::kColours16, false},
                        Case{ColourMode::kColours16, true}, Case{ColourMode::kColours2, true}}) {
    const std::string label =
        std::to_string(static_cast<int>(c.mode)) + (c.blackAndWhiteView ? " grey" : "");
    ImageDocument doc = pictureOfSize(601, 397, c.mode);
    for (int i = 0; i < 16; ++i)
      doc.palette[static_cast<size_t>(i)] =
          makeColour(static_cast<uint8_t>(i * 16), static_cast<uint8_t>(255 - i * 9),
                     static_cast<uint8_t>(i * i));
    const uint64_t before = fingerprint(doc);
    ViewState view;
    view.fitToWindow = true;
    view.blackAndWhiteView = c.blackAndWhiteView;
    updateLayout(view, doc, 200, 150);
    ASSERT_EQ(view.fittedWidth, 200) << label;
    ASSERT_EQ(view.fittedHeight, 132) << label;
    ImageDocument shown;
    ASSERT_TRUE(renderFittedPicture(doc, view, shown)) << label;
    EXPECT_EQ(fingerprint(doc), before) << label << ": display only";

    // The same picture resized, its palette the colours the view shows.
    ImageDocument resized = doc;
    const std::vector<ColourValue> table = describeRender(doc, c.blackAndWhiteView).colourTable;
    std::copy(table.begin(), table.end(), resized.palette.begin());
    ASSERT_TRUE(resizePicture(resized, {200, 132, ResizeMode::kStretch}).ok()) << label;
    EXPECT_EQ(shown.pixels, resized.pixels) << label;
    EXPECT_EQ(shown.colourMode, ColourMode::kTrueColour) << label;
  }
  ViewState atZoom;
  ImageDocument shown;
  EXPECT_FALSE(renderFittedPicture(pictureOfSize(10, 10), atZoom, shown));
}

TEST(StatusBar, SaysHowFarTheFittedViewReduces) {
  AppState state;
  state.document = pictureOfSize(4000, 3000);
  state.view.fitToWindow = true;
  updateLayout(state.view, state.document, 1000, 700);
  EXPECT_EQ(statusBarTexts(state)[2], "Ablakhoz igazítva: 23%");
  updateLayout(state.view, state.document, 5000, 4000);  // fits: shown at its zoom
  EXPECT_EQ(statusBarTexts(state)[2], "Nagyítás: 1 × 1");
}

// The parts keep their widths while the bar has room; in a narrower bar they give way,
// first down to their texts, then below, the least important first.
TEST(StatusBar, PartsGiveWayLeastImportantFirst) {
  const std::vector<int> preferred = {140, 190, 120, 300};
  const std::vector<int> needed = {110, 70, 90, 300};
  const std::vector<size_t> order = {3, 1, 2, 0};
  struct Case {
    int available;
    std::vector<int> widths;
  };
  const Case cases[] = {
      {900, {140, 190, 120, 450}},  // room to spare: the last takes it
      {750, {140, 190, 120, 300}},
      {700, {140, 140, 120, 300}},  // the kind gives way first, down to its text
      {600, {140, 70, 90, 300}},    // then the zoom and the size, down to their texts
      {570, {110, 70, 90, 300}},
      {500, {110, 70, 90, 230}},  // then the least important below its text
      {200, {110, 0, 90, 0}},
      {0, {0, 0, 0, 0}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(statusBarPartWidths(preferred, needed, order, c.available), c.widths) << c.available;
  // A text longer than its part's place takes what it needs while there is room.
  const std::vector<int> longZoom = {110, 70, 143, 300};
  EXPECT_EQ(statusBarPartWidths(preferred, longZoom, order, 900),
            (std::vector<int>{140, 190, 143, 427}));
  EXPECT_EQ(statusBarPartWidths(preferred, longZoom, order, 700),
            (std::vector<int>{140, 117, 143, 300}));

  AppState state;
  EXPECT_EQ(statusBarShrinkOrder(state), order);
  state.selection.selectionState = kSelectionFollowsMouse;  // the crop rectangle goes last
  EXPECT_EQ(statusBarShrinkOrder(state).back(), 3u);
}

}  // namespace
}  // namespace vz
