#include "converter/app/win32/clipboard.h"

#include "converter/app/win32/capture_bitmap.h"
#include "converter/formats/bmp.h"

namespace vz {

void copyToClipboard(HWND window, const ScreenBitmap& screen, const ImageDocument& doc) {
  if (!doc.holdsPicture() || !screen.dc || !screen.bitmap) return;
  if (!OpenClipboard(window)) return;
  EmptyClipboard();
  HDC copyDc = CreateCompatibleDC(screen.dc);
  HBITMAP copy = CreateCompatibleBitmap(screen.dc, doc.width, doc.height);
  if (copyDc && copy) {
    HGDIOBJ original = SelectObject(copyDc, copy);
    BitBlt(copyDc, 0, 0, doc.width, doc.height, screen.dc, 0, 0, SRCCOPY);
    SelectObject(copyDc, original);
  }
  if (copyDc) DeleteDC(copyDc);
  // From here on the clipboard owns the bitmap.
  if (copy && !SetClipboardData(CF_BITMAP, copy)) DeleteObject(copy);
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
