#include "converter/app/win32/clipboard.h"

#include "converter/app/win32/capture_bitmap.h"
#include "converter/formats/bmp.h"

namespace vz {

void copyToClipboard(HWND window, const ImageDocument& doc, bool blackAndWhiteView) {
  if (!doc.holdsPicture()) return;
  ScreenBitmap copy;
  makeScreenBitmap(window, copy, doc.width, doc.height);
  renderDocument(copy, doc, blackAndWhiteView);
  // The bitmap leaves its context; from SetClipboardData on the clipboard owns it.
  HBITMAP bitmap = copy.bitmap;
  if (bitmap) SelectObject(copy.dc, copy.originalBitmap);
  copy.bitmap = nullptr;
  releaseScreenBitmap(copy);
  if (!bitmap) return;
  if (!OpenClipboard(window)) {
    DeleteObject(bitmap);
    return;
  }
  EmptyClipboard();
  if (!SetClipboardData(CF_BITMAP, bitmap)) DeleteObject(bitmap);
  CloseClipboard();
}

bool pasteFromClipboard(HWND window, AppState& state, UserPrompts& prompts, ViewUpdate& update) {
  if (!OpenClipboard(window)) return false;
  auto* bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
  HGLOBAL dib = bitmap ? nullptr : GetClipboardData(CF_DIB);
  if (!bitmap && !dib) {
    CloseClipboard();
    return false;
  }
  // The clipboard is closed as soon as the picture is read, before any message box.
  update =
      pasteCommand(state, prompts, [&](ImageDocument& doc) {
        bool read = false;
        if (bitmap) {
          HDC dc = GetDC(window);
          read = captureBitmap(dc, bitmap, doc) > 0;
          ReleaseDC(window, dc);
        } else if (const void* bytes = GlobalLock(dib)) {
          read = givesPicture(readDib(0, static_cast<const uint8_t*>(bytes), GlobalSize(dib), doc));
          GlobalUnlock(dib);
        }
        CloseClipboard();
        return read;
      }).view;
  return true;
}

}  // namespace vz
