#include "converter/app/win32/screen_view.h"

#include <vector>

#include "converter/view/layout.h"
#include "converter/view/render.h"

namespace vz {

void releaseScreenBitmap(ScreenBitmap& screen) {
  if (screen.dc && screen.originalBitmap) SelectObject(screen.dc, screen.originalBitmap);
  if (screen.bitmap) DeleteObject(screen.bitmap);
  if (screen.dc) DeleteDC(screen.dc);
  screen = ScreenBitmap{};
}

void makeScreenBitmap(HWND window, ScreenBitmap& screen, int32_t width, int32_t height) {
  releaseScreenBitmap(screen);
  HDC windowDc = GetDC(window);
  screen.dc = CreateCompatibleDC(windowDc);
  // A zero-sized request would give the 1 x 1 monochrome default bitmap; keep none.
  if (screen.dc && width > 0 && height > 0)
    screen.bitmap = CreateCompatibleBitmap(windowDc, width, height);
  ReleaseDC(window, windowDc);
  if (!screen.bitmap) return;
  screen.originalBitmap = SelectObject(screen.dc, screen.bitmap);
  screen.width = width;
  screen.height = height;
}

void renderDocument(ScreenBitmap& screen, const ImageDocument& doc, bool blackAndWhiteView) {
  if (!doc.holdsPicture() || !screen.dc || !screen.bitmap) return;
  const RenderDescription description = describeRender(doc, blackAndWhiteView);
  if (description.bitsPerPixel == 0) return;
  // Header and colour table in one zeroed block, as BITMAPINFO expects them.
  std::vector<uint8_t> block(sizeof(BITMAPINFOHEADER) +
                             sizeof(RGBQUAD) * description.colourTable.size());
  auto* info = reinterpret_cast<BITMAPINFO*>(block.data());
  info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info->bmiHeader.biWidth = doc.width;
  info->bmiHeader.biHeight = -doc.height;  // top row first
  info->bmiHeader.biPlanes = 1;
  info->bmiHeader.biBitCount = static_cast<WORD>(description.bitsPerPixel);
  info->bmiHeader.biCompression = BI_RGB;
  info->bmiHeader.biSizeImage = static_cast<DWORD>(doc.rowStride) * static_cast<DWORD>(doc.height);
  info->bmiHeader.biClrUsed = static_cast<DWORD>(description.colourTable.size());
  for (size_t i = 0; i < description.colourTable.size(); ++i) {
    const ColourValue colour = description.colourTable[i];
    info->bmiColors[i] = RGBQUAD{blueOf(colour), greenOf(colour), redOf(colour), 0};
  }
  // The bitmap is set while out of its context, then selected back for painting.
  SelectObject(screen.dc, screen.originalBitmap);
  SetDIBits(screen.dc, screen.bitmap, 0, static_cast<UINT>(doc.height), doc.pixels.data(), info,
            DIB_RGB_COLORS);
  SelectObject(screen.dc, screen.bitmap);
}

namespace {

// The size of what the screen bitmap holds for the view.
void shownSize(const ViewState& view, const ImageDocument& doc, int32_t& width, int32_t& height) {
  const bool fitted = view.fittedWidth > 0 && view.fittedHeight > 0;
  width = fitted ? view.fittedWidth : doc.width;
  height = fitted ? view.fittedHeight : doc.height;
}

void setScrollBar(HWND window, int bar, int32_t maximum, int32_t page, int32_t position) {
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  info.nMin = 0;
  info.nMax = maximum;
  info.nPage = static_cast<UINT>(page);
  info.nPos = position;
  SetScrollInfo(window, bar, &info, TRUE);
}

}  // namespace

bool screenFitsView(const ScreenBitmap& screen, const ViewState& view, const ImageDocument& doc) {
  int32_t width = 0, height = 0;
  shownSize(view, doc, width, height);
  const bool wanted = doc.holdsPicture() && width > 0 && height > 0;
  return wanted ? screen.bitmap && screen.width == width && screen.height == height
                : !screen.bitmap;
}

void renderForView(HWND window, ScreenBitmap& screen, const ImageDocument& doc,
                   const ViewState& view) {
  int32_t width = 0, height = 0;
  shownSize(view, doc, width, height);
  if (!doc.holdsPicture()) width = height = 0;
  if (!screen.dc || screen.width != width || screen.height != height)
    makeScreenBitmap(window, screen, width, height);
  if (view.fittedWidth <= 0 || view.fittedHeight <= 0) {
    renderDocument(screen, doc, view.blackAndWhiteView);
    return;
  }
  ImageDocument fitted;
  if (renderFittedPicture(doc, view, fitted)) renderDocument(screen, fitted, false);
}

RECT pictureArea(HWND pictureView) {
  RECT area;
  GetClientRect(pictureView, &area);
  return area;
}

void layoutWindow(HWND pictureView, ViewState& view, const ImageDocument& doc) {
  const RECT client = pictureArea(pictureView);
  updateLayout(view, doc, client.right, client.bottom);
  setScrollBar(pictureView, SB_VERT, view.verticalMaximum, view.visibleHeight, view.scrollY);
  // Showing or hiding the bar resizes the client area, and the size change has laid
  // the window out again from inside SetScrollInfo, both bars included.
  const RECT after = pictureArea(pictureView);
  if (after.right != client.right || after.bottom != client.bottom) return;
  setScrollBar(pictureView, SB_HORZ, view.horizontalMaximum, view.visibleWidth, view.scrollX);
}

void paintView(HWND pictureView, const ScreenBitmap& screen, HBRUSH marginBrush,
               const ViewState& view, const ImageDocument& doc) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(pictureView, &paint);
  const RECT client = pictureArea(pictureView);
  HGDIOBJ oldBrush = SelectObject(dc, marginBrush);
  for (const ClientRect& band : marginBands(view, doc, client.right, client.bottom))
    PatBlt(dc, band.left, band.top, band.right - band.left, band.bottom - band.top, PATCOPY);
  SelectObject(dc, oldBrush);
  SetStretchBltMode(dc, COLORONCOLOR);
  if (doc.width != 0 && doc.height != 0 && screen.dc && screen.bitmap) {
    // The fitted view's bitmap holds the picture at the size it is shown.
    const bool fitted = view.fittedWidth > 0 && view.fittedHeight > 0;
    StretchBlt(dc, view.imageLeft, view.imageTop, view.displayWidth, view.displayHeight, screen.dc,
               fitted ? 0 : view.scrollX, fitted ? 0 : view.scrollY,
               fitted ? view.fittedWidth : view.visibleWidth,
               fitted ? view.fittedHeight : view.visibleHeight, SRCCOPY);
  }
  EndPaint(pictureView, &paint);
}

void showScrollPosition(HWND window, bool horizontal, int32_t position) {
  SetScrollPos(window, horizontal ? SB_HORZ : SB_VERT, position, TRUE);
  InvalidateRect(window, nullptr, TRUE);
}

void showScrollPositions(HWND window, const ViewState& view) {
  SetScrollPos(window, SB_HORZ, view.scrollX, TRUE);
  showScrollPosition(window, false, view.scrollY);
}

void drawSelectionOutline(HWND window, HPEN selectionPen, const ClientRect& rect) {
  HDC dc = GetDC(window);
  HGDIOBJ oldPen = SelectObject(dc, selectionPen);
  const int oldMix = SetROP2(dc, R2_XORPEN);
  const POINT corners[5] = {{rect.left, rect.top},
                            {rect.right, rect.top},
                            {rect.right, rect.bottom},
                            {rect.left, rect.bottom},
                            {rect.left, rect.top}};
  Polyline(dc, corners, 5);
  SetROP2(dc, oldMix);
  SelectObject(dc, oldPen);
  ReleaseDC(window, dc);
}

}  // namespace vz
