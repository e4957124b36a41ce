// The GDI side of the view: the screen bitmap holding the rendered document at 1 x 1,
// painting it zoomed and scrolled with the hatched margin, and the XOR crop outline.
#pragma once

#include <windows.h>

#include "converter/model/app_state.h"

namespace vz {

// A memory device context with a bitmap of the picture's size selected into it.
struct ScreenBitmap {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ originalBitmap = nullptr;  // selected back before the bitmap is deleted
};

// Deletes the context and its bitmap.
void releaseScreenBitmap(ScreenBitmap& screen);

// Makes the context and bitmap anew, compatible with the window, of width x height.
void makeScreenBitmap(HWND window, ScreenBitmap& screen, int32_t width, int32_t height);

// Replaces only the bitmap (after a crop), keeping the context.
void replaceScreenBitmapBitmap(HWND window, ScreenBitmap& screen, int32_t width, int32_t height);

// Sets the screen bitmap's pixels from the document; nothing without a picture.
void renderDocument(ScreenBitmap& screen, const ImageDocument& doc, bool blackAndWhiteView);

// The part of the client area that shows the picture: all of it above the status bar.
RECT pictureArea(HWND window, HWND statusBar);

// Lays the picture out in the picture area and sets both scroll bars.
void layoutWindow(HWND window, HWND statusBar, ViewState& view, const ImageDocument& doc);

// Paints the margin and the visible part of the picture (the WM_PAINT handler).
void paintView(HWND window, HWND statusBar, const ScreenBitmap& screen, HBRUSH marginBrush,
               const ViewState& view, const ImageDocument& doc);

// Sets the bar's position after scrolling and repaints the whole client area.
void showScrollPosition(HWND window, bool horizontal, int32_t position);

// Sets both bars' positions and repaints (after a key or the wheel scrolled).
void showScrollPositions(HWND window, const ViewState& view);

// Toggles the crop outline through the rectangle's four corners.
void drawSelectionOutline(HWND window, HPEN selectionPen, const ClientRect& rect);

}  // namespace vz
