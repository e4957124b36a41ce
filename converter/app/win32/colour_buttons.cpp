#include "converter/app/win32/colour_buttons.h"

#include "converter/app/win32/dialog_context.h"
#include "converter/app/win32/dpi.h"
#include "converter/app/win32/gdi_fill.h"
#include "converter/colour/tvc_palette.h"
#include "converter/resources/resource.h"

namespace vz {

namespace {

constexpr int kCellSizeAtStandardDpi = 35;  // pixels

struct PickerState {
  int selection = 0;
  int cellSize = kCellSizeAtStandardDpi;  // at the monitor's DPI
  int stripWidth() const { return cellSize * kTvcColourCount; }
  HDC stripDc = nullptr;
  HBITMAP stripBitmap = nullptr;
  HGDIOBJ originalBitmap = nullptr;
};

// Centres a client area of the strip's size where the template put the dialog.
void fitToStrip(const PickerState& state, HWND dialog) {
  const int stripWidth = state.stripWidth();
  const int cellSize = state.cellSize;
  RECT window;
  GetWindowRect(dialog, &window);
  const int left = window.left - (stripWidth - (window.right - window.left)) / 2;
  const int top = window.top - (cellSize - (window.bottom - window.top)) / 2;
  RECT frame = {left, top, left + stripWidth, top + cellSize};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE)));
  MoveWindow(dialog, frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top,
             FALSE);
}

void paintStrip(PickerState& state, HWND dialog) {
  HDC windowDc = GetDC(dialog);
  state.stripDc = CreateCompatibleDC(windowDc);
  const int cellSize = state.cellSize;
  state.stripBitmap = CreateCompatibleBitmap(windowDc, state.stripWidth(), cellSize);
  ReleaseDC(dialog, windowDc);
  state.originalBitmap = SelectObject(state.stripDc, state.stripBitmap);
  for (int i = 0; i < kTvcColourCount; ++i) {
    const RECT cell = {i * cellSize, 0, (i + 1) * cellSize, cellSize};
    fillSolid(state.stripDc, cell, tvcColour(i));
  }
}

void showStrip(const PickerState& state, HDC dc) {
  const int cellSize = state.cellSize;
  BitBlt(dc, 0, 0, state.stripWidth(), cellSize, state.stripDc, 0, 0, SRCCOPY);
  if (state.selection >= 0 && state.selection < kTvcColourCount) {
    RECT cell = {cellSize * (state.selection % 16), cellSize * (state.selection / 16), 0, 0};
    cell.right = cell.left + cellSize;
    cell.bottom = cell.top + cellSize;
    DrawEdge(dc, &cell, EDGE_SUNKEN, BF_RECT);
  }
}

void releaseStrip(PickerState& state) {
  if (!state.stripDc) return;
  SelectObject(state.stripDc, state.originalBitmap);
  DeleteObject(state.stripBitmap);
  DeleteDC(state.stripDc);
  state.stripDc = nullptr;
}

INT_PTR CALLBACK pickerProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = contextOf<PickerState>(dialog);
  switch (message) {
    case WM_INITDIALOG:
      state = storeContext<PickerState>(dialog, lParam);
      state->cellSize = scaledToDpi(kCellSizeAtStandardDpi, dpiOf(dialog));
      fitToStrip(*state, dialog);
      paintStrip(*state, dialog);
      return TRUE;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(dialog, &paint);
      if (state) showStrip(*state, dc);
      EndPaint(dialog, &paint);
      return TRUE;
    }
    case WM_LBUTTONDOWN: {
      const int x = static_cast<short>(LOWORD(lParam));
      const int y = static_cast<short>(HIWORD(lParam));
      if (!state || x < 0 || x >= state->stripWidth() || y < 0 || y >= state->cellSize) return TRUE;
      SetCapture(dialog);
      state->selection = (y / state->cellSize) * 16 + x / state->cellSize;
      HDC dc = GetDC(dialog);
      showStrip(*state, dc);
      ReleaseDC(dialog, dc);
      return TRUE;
    }
    case WM_LBUTTONUP:
      if (state && state->selection >= 0) {
        ReleaseCapture();
        EndDialog(dialog, IDOK);
      }
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, IDCANCEL);
      return TRUE;
    case WM_DESTROY:
      if (state) releaseStrip(*state);
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

bool paintColourButton(const DRAWITEMSTRUCT& item, const EditedColours& colours) {
  const uint8_t* byte = colours.byteOf(static_cast<int>(item.CtlID));
  if (!byte) return false;
  const COLORREF colour =
      (item.itemState & ODS_DISABLED) ? RGB(0x7F, 0x7F, 0x7F) : tvcColour(*byte);
  fillSolid(item.hDC, item.rcItem, colour);
  return true;
}

int pickTvcColour(HINSTANCE instance, HWND owner, int current) {
  PickerState state;
  state.selection = current;
  DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_TVC_COLOURS), owner, pickerProc,
                  reinterpret_cast<LPARAM>(&state));
  return state.selection;
}

bool chooseButtonColour(HINSTANCE instance, HWND dialog, int controlId,
                        const EditedColours& colours) {
  uint8_t* byte = colours.byteOf(controlId);
  if (!byte) return false;
  *byte = static_cast<uint8_t>(pickTvcColour(instance, dialog, *byte) & 15);
  InvalidateRect(dialog, nullptr, TRUE);
  return true;
}

}  // namespace vz
