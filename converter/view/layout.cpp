#include "converter/view/layout.h"

#include <algorithm>
#include <cstdint>

namespace vz {

FittedSize fittedSize(const ViewState& view, const ImageDocument& doc, int32_t clientWidth,
                      int32_t clientHeight) {
  if (doc.width <= 0 || doc.height <= 0 || clientWidth <= 0 || clientHeight <= 0 ||
      !largerThanClient(view, doc, clientWidth, clientHeight))
    return {};
  const int64_t shownWidth = int64_t{screenZoomX(view)} * doc.width;
  const int64_t shownHeight = int64_t{screenZoomY(view)} * doc.height;
  // The side that is the tighter fit fills the client area; the other keeps the shape,
  // rounded to the nearest pixel (it never rounds past the area).
  const auto scaled = [](int64_t side, int64_t to, int64_t from) {
    return static_cast<int32_t>(std::max<int64_t>(1, (side * to + from / 2) / from));
  };
  if (shownWidth * clientHeight >= shownHeight * clientWidth)
    return {clientWidth, scaled(shownHeight, clientWidth, shownWidth)};
  return {scaled(shownWidth, clientHeight, shownHeight), clientHeight};
}

bool largerThanClient(const ViewState& view, const ImageDocument& doc, int32_t clientWidth,
                      int32_t clientHeight) {
  return int64_t{screenZoomX(view)} * doc.width > clientWidth ||
         int64_t{screenZoomY(view)} * doc.height > clientHeight;
}

void updateLayout(ViewState& view, const ImageDocument& doc, int32_t clientWidth,
                  int32_t clientHeight) {
  const FittedSize fitted =
      view.fitToWindow ? fittedSize(view, doc, clientWidth, clientHeight) : FittedSize{};
  view.fittedWidth = fitted.width;
  view.fittedHeight = fitted.height;
  if (fitted.width > 0) {
    view.scrollX = view.scrollY = 0;
    view.horizontalMaximum = view.verticalMaximum = 0;
    view.imageLeft = (clientWidth - fitted.width) / 2;
    view.imageTop = (clientHeight - fitted.height) / 2;
    view.displayWidth = fitted.width;
    view.displayHeight = fitted.height;
    view.visibleWidth = doc.width;
    view.visibleHeight = doc.height;
    return;
  }
  // A zoomed width of a very wide 1-bit picture does not fit 32 bits: work in 64.
  const int32_t zoomX = screenZoomX(view);
  const int32_t zoomY = screenZoomY(view);
  const int64_t zoomedWidth = int64_t{zoomX} * doc.width;
  const int64_t zoomedHeight = int64_t{zoomY} * doc.height;
  const int64_t left = (clientWidth - zoomedWidth) / 2;
  const int64_t top = (clientHeight - zoomedHeight) / 2;
  view.scrollX = 0;
  view.scrollY = 0;
  view.horizontalMaximum = 0;
  view.verticalMaximum = 0;
  if (left < 0) {
    view.scrollX = view.layoutFromTopLeft ? 0 : static_cast<int32_t>(-(left / zoomX));
    view.imageLeft = 0;
    view.displayWidth = clientWidth;
    view.horizontalMaximum = doc.width - 1;
  } else {
    view.imageLeft = static_cast<int32_t>(left);
    view.displayWidth = static_cast<int32_t>(zoomedWidth);
  }
  if (top < 0) {
    view.scrollY = view.layoutFromTopLeft ? 0 : static_cast<int32_t>(-(top / zoomY));
    view.imageTop = 0;
    view.displayHeight = clientHeight;
    view.verticalMaximum = doc.height - 1;
  } else {
    view.imageTop = static_cast<int32_t>(top);
    view.displayHeight = static_cast<int32_t>(zoomedHeight);
  }
  view.visibleWidth = view.displayWidth / zoomX;
  view.visibleHeight = view.displayHeight / zoomY;
}

namespace {

// New position along a bar of size `size` showing `page` pixels from `position`.
int32_t scrolledPosition(int32_t position, int32_t size, int32_t page, ScrollRequest request,
                         int32_t thumbPosition) {
  const int32_t last = size - page;
  switch (request) {
    case ScrollRequest::kLineBack:
      return position == 0 ? position : position - 1;
    case ScrollRequest::kLineForward:
      return position >= last ? position : position + 1;
    case ScrollRequest::kPageBack:
      if (position == 0) return position;
      return position > page ? position - page : 0;
    case ScrollRequest::kPageForward:
      if (position == last) return position;
      return position < size - 2 * page ? position + page : last;
    case ScrollRequest::kThumbPosition:
    case ScrollRequest::kThumbTrack:
      // The bar never offers more than its range; a forged message gets no further.
      return std::clamp(thumbPosition, 0, std::max(last, 0));
  }
  return position;
}

}  // namespace

bool scrollView(ViewState& view, const ImageDocument& doc, ScrollBar bar, ScrollRequest request,
                int32_t thumbPosition) {
  const bool horizontal = bar == ScrollBar::kHorizontal;
  int32_t& position = horizontal ? view.scrollX : view.scrollY;
  const int32_t size = horizontal ? doc.width : doc.height;
  const int32_t page = horizontal ? view.visibleWidth : view.visibleHeight;
  const int32_t moved = scrolledPosition(position, size, page, request, thumbPosition);
  if (moved == position) return false;
  position = moved;
  return true;
}

bool scrollViewBy(ViewState& view, const ImageDocument& doc, ScrollBar bar, int64_t delta) {
  const int64_t position = bar == ScrollBar::kHorizontal ? view.scrollX : view.scrollY;
  const int64_t target = std::clamp<int64_t>(position + delta, 0, INT32_MAX);
  return scrollView(view, doc, bar, ScrollRequest::kThumbPosition, static_cast<int32_t>(target));
}

bool scrollForKey(ViewState& view, const ImageDocument& doc, ScrollKey key) {
  const int32_t lineX = std::max(1, kKeyScrollPixels / screenZoomX(view));
  const int32_t lineY = std::max(1, kKeyScrollPixels / screenZoomY(view));
  const ScrollBar pageBar = view.verticalMaximum == 0 && view.horizontalMaximum > 0
                                ? ScrollBar::kHorizontal
                                : ScrollBar::kVertical;
  switch (key) {
    case ScrollKey::kLeft:
      return scrollViewBy(view, doc, ScrollBar::kHorizontal, -lineX);
    case ScrollKey::kRight:
      return scrollViewBy(view, doc, ScrollBar::kHorizontal, lineX);
    case ScrollKey::kUp:
      return scrollViewBy(view, doc, ScrollBar::kVertical, -lineY);
    case ScrollKey::kDown:
      return scrollViewBy(view, doc, ScrollBar::kVertical, lineY);
    case ScrollKey::kPageUp:
      return scrollView(view, doc, pageBar, ScrollRequest::kPageBack, 0);
    case ScrollKey::kPageDown:
      return scrollView(view, doc, pageBar, ScrollRequest::kPageForward, 0);
    case ScrollKey::kHome:
      return scrollView(view, doc, pageBar, ScrollRequest::kThumbPosition, 0);
    case ScrollKey::kEnd:
      return scrollView(view, doc, pageBar, ScrollRequest::kThumbPosition, INT32_MAX);
  }
  return false;
}

std::vector<ClientRect> marginBands(const ViewState& view, const ImageDocument& doc,
                                    int32_t clientWidth, int32_t clientHeight) {
  // The picture rectangle, kept inside the client area.
  const auto clampTo = [](int64_t value, int32_t low, int32_t high) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, low, high));
  };
  const int32_t left = clampTo(view.imageLeft, 0, clientWidth);
  const int32_t top = clampTo(view.imageTop, 0, clientHeight);
  const int64_t width =
      view.fittedWidth > 0 ? view.fittedWidth : int64_t{screenZoomX(view)} * doc.width;
  const int64_t height =
      view.fittedHeight > 0 ? view.fittedHeight : int64_t{screenZoomY(view)} * doc.height;
  const int32_t right = clampTo(view.imageLeft + width, left, clientWidth);
  const int32_t bottom = clampTo(view.imageTop + height, top, clientHeight);
  std::vector<ClientRect> bands;
  const auto add = [&bands](int32_t l, int32_t t, int32_t r, int32_t b) {
    if (r > l && b > t) bands.push_back({l, t, r, b});
  };
  if (right == left || bottom == top) {
    add(0, 0, clientWidth, clientHeight);
    return bands;
  }
  add(0, 0, clientWidth, top);
  add(0, bottom, clientWidth, clientHeight);
  add(0, top, left, bottom);
  add(right, top, clientWidth, bottom);
  return bands;
}

AxisMapping screenAxis(const ViewState& view, const ImageDocument& doc, ScrollBar direction) {
  const bool across = direction == ScrollBar::kHorizontal;
  const int32_t fitted = across ? view.fittedWidth : view.fittedHeight;
  const int32_t start = across ? view.imageLeft : view.imageTop;
  if (fitted > 0) return {start, fitted, across ? doc.width : doc.height};
  const int32_t zoom = across ? screenZoomX(view) : screenZoomY(view);
  const int32_t scroll = across ? view.scrollX : view.scrollY;
  return {start - int64_t{zoom} * scroll, zoom, 1};
}

int64_t documentPositionAt(const AxisMapping& axis, int64_t screenPosition) {
  const int64_t scaled = (screenPosition - axis.origin) * axis.documentSpan;
  // Rounded down, also left of and above the picture.
  return scaled >= 0 ? scaled / axis.screenSpan
                     : -((-scaled + axis.screenSpan - 1) / axis.screenSpan);
}

}  // namespace vz
