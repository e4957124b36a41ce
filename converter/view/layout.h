// Where the picture sits in the window: centring, scrolling and the hatched margin.
// Pure arithmetic over the view state; the window applies the results.
#pragma once

#include <cstdint>
#include <vector>

#include "converter/model/app_state.h"

namespace vz {

// Screen pixels per document pixel across and down: the zoom times the screen scale.
inline int32_t screenZoomX(const ViewState& view) {
  return int32_t{view.zoomX} * view.screenScale;
}
inline int32_t screenZoomY(const ViewState& view) {
  return int32_t{view.zoomY} * view.screenScale;
}

// The size the fitted view shows a picture at in a client area of clientWidth x
// clientHeight: as large as fits, in the shape the picture has at its zoom (width x
// screenZoomX by height x screenZoomY), each side rounded and at least 1. 0 x 0 when
// the picture fits at its zoom: the view never enlarges it.
struct FittedSize {
  int32_t width = 0;
  int32_t height = 0;
};
FittedSize fittedSize(const ViewState& view, const ImageDocument& doc, int32_t clientWidth,
                      int32_t clientHeight);

// Whether a picture at its zoom is larger than the client area: a new picture is then
// shown fitted to the window.
bool largerThanClient(const ViewState& view, const ImageDocument& doc, int32_t clientWidth,
                      int32_t clientHeight);

// Places the picture in a client area of clientWidth x clientHeight: centred when it
// is smaller in a direction, else scrolled to its middle (to its top-left corner when
// layoutFromTopLeft is set) with that bar's maximum set. Sets displayWidth/Height,
// imageLeft/Top, scrollX/Y, visibleWidth/Height and both scroll-bar maxima. With
// fitToWindow a larger picture is shown whole at fittedSize, centred, with no scrolling;
// fittedWidth x fittedHeight then holds that size (otherwise 0 x 0).
void updateLayout(ViewState& view, const ImageDocument& doc, int32_t clientWidth,
                  int32_t clientHeight);

enum class ScrollBar { kHorizontal, kVertical };

// How document pixels lie on the screen along one direction: the leading edge of
// document pixel p is at screen position origin + p x screenSpan / documentSpan.
struct AxisMapping {
  int64_t origin = 0;
  int64_t screenSpan = 1;
  int64_t documentSpan = 1;
};

// The mapping across (kHorizontal) or down (kVertical) as the layout placed the picture:
// zoomed and scrolled, or fitted.
AxisMapping screenAxis(const ViewState& view, const ImageDocument& doc, ScrollBar direction);

// The document pixel under a screen position (outside 0..size-1 beyond the picture).
int64_t documentPositionAt(const AxisMapping& axis, int64_t screenPosition);

enum class ScrollRequest {
  kLineBack,  // left / up
  kLineForward,
  kPageBack,
  kPageForward,
  kThumbPosition,
  kThumbTrack,
};

// Moves the view along one bar. Returns true when the position changed; the window
// then sets the bar's position and repaints. Nothing is re-rendered.
bool scrollView(ViewState& view, const ImageDocument& doc, ScrollBar bar, ScrollRequest request,
                int32_t thumbPosition);

// Moves the view along one bar by `delta` document pixels (negative: back), no
// further than the picture's edges. Returns true when the position changed.
bool scrollViewBy(ViewState& view, const ImageDocument& doc, ScrollBar bar, int64_t delta);

// Screen pixels an arrow key scrolls (a document pixel at the least).
constexpr int32_t kKeyScrollPixels = 16;

enum class ScrollKey { kLeft, kRight, kUp, kDown, kPageUp, kPageDown, kHome, kEnd };

// The keyboard's scrolling: arrows along their own bar; page keys by a page, Home and
// End to the start and the end, down the picture, or across one that scrolls only
// across. Returns true when the view moved.
bool scrollForKey(ViewState& view, const ImageDocument& doc, ScrollKey key);

// The client-area bands outside the picture rectangle that get the hatched margin:
// above and below across the whole width, then left and right of the picture. Empty
// bands are left out; with no picture the whole client area is margin.
std::vector<ClientRect> marginBands(const ViewState& view, const ImageDocument& doc,
                                    int32_t clientWidth, int32_t clientHeight);

}  // namespace vz
