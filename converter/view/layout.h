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

// Places the picture in a client area of clientWidth x clientHeight: centred when it
// is smaller in a direction, else scrolled to its middle (to its top-left corner when
// layoutFromTopLeft is set) with that bar's maximum set. Sets displayWidth/Height,
// imageLeft/Top, scrollX/Y, visibleWidth/Height and both scroll-bar maxima.
void updateLayout(ViewState& view, const ImageDocument& doc, int32_t clientWidth,
                  int32_t clientHeight);

enum class ScrollBar { kHorizontal, kVertical };

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
