#include <gtest/gtest.h>

#include "converter/view/layout.h"

namespace vz {
namespace {

ImageDocument pictureOfSize(int32_t width, int32_t height) {
  ImageDocument doc;
  allocatePicture(doc, width, height, ColourMode::kTrueColour);
  return doc;
}

ViewState zoomed(int8_t zoomX, int8_t zoomY) {
  ViewState view;
  view.zoomX = zoomX;
  view.zoomY = zoomY;
  return view;
}

TEST(Layout, SmallPictureIsCentredWithoutScrolling) {
  const ImageDocument doc = pictureOfSize(100, 50);
  ViewState view;
  updateLayout(view, doc, 300, 200);
  EXPECT_EQ(view.imageLeft, 100);
  EXPECT_EQ(view.imageTop, 75);
  EXPECT_EQ(view.scrollX, 0);
  EXPECT_EQ(view.scrollY, 0);
  EXPECT_EQ(view.horizontalMaximum, 0);
  EXPECT_EQ(view.verticalMaximum, 0);
  EXPECT_EQ(view.visibleWidth, 100);
  EXPECT_EQ(view.visibleHeight, 50);
  EXPECT_EQ(view.displayWidth, 100);
  EXPECT_EQ(view.displayHeight, 50);
}

TEST(Layout, WidePictureStartsScrolledToItsMiddle) {
  const ImageDocument doc = pictureOfSize(1000, 50);
  ViewState view;
  updateLayout(view, doc, 401, 200);
  EXPECT_EQ(view.imageLeft, 0);
  EXPECT_EQ(view.scrollX, 299);
  EXPECT_EQ(view.visibleWidth, 401);
  EXPECT_EQ(view.displayWidth, 401);
  EXPECT_EQ(view.horizontalMaximum, 999);
  EXPECT_EQ(view.verticalMaximum, 0);
  EXPECT_EQ(view.imageTop, 75);
}

TEST(Layout, ZoomTwoTruncatesTowardZero) {
  const ImageDocument doc = pictureOfSize(1000, 50);
  ViewState view = zoomed(2, 1);
  updateLayout(view, doc, 401, 200);
  // (401 - 2000) / 2 = -799; -799 / 2 truncates to -399.
  EXPECT_EQ(view.scrollX, 399);
  EXPECT_EQ(view.displayWidth, 401);
  EXPECT_EQ(view.visibleWidth, 200);
  EXPECT_EQ(view.imageLeft, 0);
}

TEST(Layout, TallPictureAtZoomTwoDown) {
  const ImageDocument doc = pictureOfSize(10, 300);
  ViewState view = zoomed(1, 2);
  updateLayout(view, doc, 100, 401);
  EXPECT_EQ(view.imageLeft, 45);
  EXPECT_EQ(view.scrollY, 49);  // (401 - 600) / 2 = -99; -99 / 2 = -49
  EXPECT_EQ(view.verticalMaximum, 299);
  EXPECT_EQ(view.visibleHeight, 200);
}

// A 1-bit picture may be over 2^30 pixels wide; doubled, that overflows 32 bits.
TEST(Layout, ZoomedWidthBeyondThirtyOneBits) {
  ImageDocument doc;  // the layout reads only the size
  doc.width = (1 << 30) + 6;
  doc.height = 1;
  ViewState view = zoomed(2, 2);
  updateLayout(view, doc, 800, 600);
  EXPECT_EQ(view.scrollX, ((int64_t{2} * doc.width - 800) / 2) / 2);
  EXPECT_EQ(view.visibleWidth, 400);
  EXPECT_EQ(view.horizontalMaximum, doc.width - 1);
  EXPECT_EQ(view.imageTop, 299);
  const auto bands = marginBands(view, doc, 800, 600);
  ASSERT_EQ(bands.size(), 2u);  // above and below the one zoomed row
  EXPECT_EQ(bands[1].top, 301);
}

TEST(Layout, EveryLayoutReturnsToTheCentredPosition) {
  const ImageDocument doc = pictureOfSize(1000, 1000);
  ViewState view;
  updateLayout(view, doc, 400, 400);
  view.scrollX = 0;
  view.scrollY = 600;
  updateLayout(view, doc, 400, 400);
  EXPECT_EQ(view.scrollX, 300);
  EXPECT_EQ(view.scrollY, 300);
}

// Scrolling a 1000-wide picture in a 401-wide window: positions 0..599.
class HorizontalScroll : public ::testing::Test {
 protected:
  ImageDocument doc = pictureOfSize(1000, 10);
  ViewState view;
  void SetUp() override { updateLayout(view, doc, 401, 100); }
  int32_t after(int32_t from, ScrollRequest request, int32_t thumb = 0) {
    view.scrollX = from;
    scrollView(view, doc, ScrollBar::kHorizontal, request, thumb);
    return view.scrollX;
  }
};

TEST_F(HorizontalScroll, LineRequestsStopAtBothEnds) {
  EXPECT_EQ(after(10, ScrollRequest::kLineBack), 9);
  EXPECT_EQ(after(0, ScrollRequest::kLineBack), 0);
  EXPECT_EQ(after(10, ScrollRequest::kLineForward), 11);
  EXPECT_EQ(after(599, ScrollRequest::kLineForward), 599);
}

TEST_F(HorizontalScroll, PageRequestsStopAtBothEnds) {
  EXPECT_EQ(after(500, ScrollRequest::kPageForward), 599);  // not 901
  EXPECT_EQ(after(100, ScrollRequest::kPageForward), 501);
  EXPECT_EQ(after(599, ScrollRequest::kPageForward), 599);
  EXPECT_EQ(after(500, ScrollRequest::kPageBack), 99);
  EXPECT_EQ(after(401, ScrollRequest::kPageBack), 0);
  EXPECT_EQ(after(300, ScrollRequest::kPageBack), 0);
}

TEST_F(HorizontalScroll, ThumbMovesToItsPositionWithinTheRange) {
  EXPECT_EQ(after(10, ScrollRequest::kThumbTrack, 250), 250);
  EXPECT_EQ(after(10, ScrollRequest::kThumbPosition, 598), 598);
  EXPECT_EQ(after(10, ScrollRequest::kThumbTrack, 5000), 599);
}

TEST_F(HorizontalScroll, ReportsWhetherTheViewMoved) {
  view.scrollX = 0;
  EXPECT_FALSE(scrollView(view, doc, ScrollBar::kHorizontal, ScrollRequest::kLineBack, 0));
  EXPECT_TRUE(scrollView(view, doc, ScrollBar::kHorizontal, ScrollRequest::kLineForward, 0));
  EXPECT_FALSE(scrollView(view, doc, ScrollBar::kHorizontal, ScrollRequest::kThumbTrack, 1));
  EXPECT_EQ(view.scrollY, 0);  // the other bar stays
}

TEST(VerticalScroll, UsesHeightAndVisibleHeight) {
  const ImageDocument doc = pictureOfSize(10, 300);
  ViewState view;
  updateLayout(view, doc, 100, 100);
  view.scrollY = 150;
  EXPECT_TRUE(scrollView(view, doc, ScrollBar::kVertical, ScrollRequest::kPageForward, 0));
  EXPECT_EQ(view.scrollY, 200);
  EXPECT_EQ(view.scrollX, 0);
}

bool coversExactly(const std::vector<ClientRect>& bands, int32_t w, int32_t h,
                   const ClientRect& hole) {
  std::vector<int> count(static_cast<size_t>(w * h), 0);
  for (const ClientRect& b : bands)
    for (int32_t y = b.top; y < b.bottom; ++y)
      for (int32_t x = b.left; x < b.right; ++x) ++count[static_cast<size_t>(y * w + x)];
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const bool inHole = x >= hole.left && x < hole.right && y >= hole.top && y < hole.bottom;
      if (count[static_cast<size_t>(y * w + x)] != (inHole ? 0 : 1)) return false;
    }
  return true;
}

TEST(MarginBands, SurroundTheCentredPictureOnce) {
  const ImageDocument doc = pictureOfSize(100, 50);
  ViewState view;
  updateLayout(view, doc, 300, 200);
  const auto bands = marginBands(view, doc, 300, 200);
  EXPECT_EQ(bands.size(), 4u);
  EXPECT_TRUE(coversExactly(bands, 300, 200, {100, 75, 200, 125}));
}

TEST(MarginBands, ZoomedAndScrolledPictureLeavesOnlyTopAndBottom) {
  const ImageDocument doc = pictureOfSize(1000, 50);
  ViewState view = zoomed(2, 2);
  updateLayout(view, doc, 401, 200);
  EXPECT_TRUE(coversExactly(marginBands(view, doc, 401, 200), 401, 200, {0, 50, 401, 150}));
}

TEST(MarginBands, OddLeftoverColumnIsStillMargin) {
  const ImageDocument doc = pictureOfSize(100, 300);
  ViewState view;
  updateLayout(view, doc, 101, 200);  // imageLeft (101 - 100) / 2 = 0
  EXPECT_TRUE(coversExactly(marginBands(view, doc, 101, 200), 101, 200, {0, 0, 100, 200}));
}

TEST(MarginBands, NoPictureIsAllMargin) {
  const ImageDocument doc;
  ViewState view;
  updateLayout(view, doc, 30, 20);
  EXPECT_TRUE(coversExactly(marginBands(view, doc, 30, 20), 30, 20, {0, 0, 0, 0}));
  EXPECT_TRUE(marginBands(view, doc, 0, 0).empty());
}

}  // namespace
}  // namespace vz
