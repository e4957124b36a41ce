// The GDI side of the view: the picture view window, the screen bitmap holding what it
// shows (the document at 1 x 1, or its reduction in the fitted view), painting it zoomed
// and scrolled with the hatched margin, and the XOR crop outline.
#pragma once

#include <windows.h>

#include "converter/model/app_state.h"

namespace vz {

// The picture view's window class: a child of the main window above the status bar,
// with the scroll bars.
constexpr wchar_t kPictureViewClass[] = L"KepNezet";

// A memory device context with a bitmap selected into it.
struct ScreenBitmap {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ originalBitmap = nullptr;  // selected back before the bitmap is deleted
  int32_t width = 0;
  int32_t height = 0;
};

// Deletes the context and its bitmap.
void releaseScreenBitmap(ScreenBitmap& screen);

// Makes a context with a bitmap of width x height, compatible with the window.
void makeScreenBitmap(HWND window, ScreenBitmap& screen, int32_t width, int32_t height);

// Sets the screen bitmap's pixels from the document; nothing without a picture.
void renderDocument(ScreenBitmap& screen, const ImageDocument& doc, bool blackAndWhiteView);

// Whether the screen bitmap has the size of what the view shows of a document: the
// fitted size, or the document's own.
bool screenFitsView(const ScreenBitmap& screen, const ViewState& view, const ImageDocument& doc);

// Makes the screen bitmap hold what the view shows of `doc` (made anew when its size
// changes): the document itself, or the fitted view's reduction of it.
void renderForView(HWND window, ScreenBitmap& screen, const ImageDocument& doc,
                   const ViewState& view);

// The picture view's client area.
RECT pictureArea(HWND pictureView);

// Lays the picture out in the picture view and sets both of its scroll bars.
void layoutWindow(HWND pictureView, ViewState& view, const ImageDocument& doc);

// Paints the margin and the visible part of the picture (the WM_PAINT handler).
void paintView(HWND pictureView, const ScreenBitmap& screen, HBRUSH marginBrush,
               const ViewState& view, const ImageDocument& doc);

// Sets the bar's position after scrolling and repaints the whole client area.
void showScrollPosition(HWND pictureView, bool horizontal, int32_t position);

// Sets both bars' positions and repaints (after a key or the wheel scrolled).
void showScrollPositions(HWND pictureView, const ViewState& view);

// Toggles the crop outline through the rectangle's four corners.
void drawSelectionOutline(HWND pictureView, HPEN selectionPen, const ClientRect& rect);

}  // namespace vz
