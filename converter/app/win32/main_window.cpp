#include "converter/app/win32/main_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include "converter/app/win32/colour_dialogs.h"
#include "converter/commands/commands.h"
#include "converter/model/file_io.h"
#include "converter/app/win32/clipboard.h"
#include "converter/app/win32/file_dialogs.h"
#include "converter/app/win32/message_prompts.h"
#include "converter/app/win32/test_hook.h"
#include "converter/commands/window_rules.h"
#include "converter/commands/save.h"
#include "converter/formats/tvc/kep_writer.h"
#include "converter/app/win32/tvc_dialogs.h"
#include "converter/view/layout.h"
#include "converter/view/selection.h"

namespace vz {

namespace {

// Shows the hourglass while a long command runs.
class HourglassCursor {
 public:
  explicit HourglassCursor(const MainWindow& w) : arrow_(w.arrowCursor) {
    SetCursor(w.hourglassCursor);
  }
  ~HourglassCursor() { SetCursor(arrow_); }
  HourglassCursor(const HourglassCursor&) = delete;
  HourglassCursor& operator=(const HourglassCursor&) = delete;

 private:
  HCURSOR arrow_;
};

void showTitle(const MainWindow& w) {
  SetWindowTextW(w.window, utf8ToWide(windowTitleForFile(w.state.fileTitle)).c_str());
}

void repaint(const MainWindow& w) {
  RedrawWindow(w.window, nullptr, nullptr, RDW_INVALIDATE);
}

void carryOut(MainWindow& w, const ViewUpdate& update) {
  if (update.titleChanged) showTitle(w);
  if (update.newScreenBitmap)
    makeScreenBitmap(w.window, w.screen, w.state.document.width, w.state.document.height);
  if (update.render) renderDocument(w.screen, w.state.document, w.state.view.blackAndWhiteView);
  if (update.layout) layoutWindow(w.window, w.state.view, w.state.document);
  if (update.repaint) repaint(w);
}

void drawOutlines(const MainWindow& w, const OutlineDraws& draws) {
  for (const ClientRect& rect : draws) drawSelectionOutline(w.window, w.selectionPen, rect);
}

void releaseResources(MainWindow& w) {
  releaseScreenBitmap(w.screen);
  if (w.selectionPen) DeleteObject(w.selectionPen);
  if (w.marginBrush) DeleteObject(w.marginBrush);
  w.selectionPen = nullptr;
  w.marginBrush = nullptr;
  w.state.fileData = std::vector<uint8_t>();
  releasePicture(w.state.document);
}

void onCreate(MainWindow& w) {
  w.state = AppState{};  // no picture, zoom 1 x 1, selection idle, effect start values
  applySettingsDefaults(w.state.effects);
  w.selectionPen = CreatePen(PS_SOLID, 1, RGB(0xFF, 0xFF, 0xFF));
  w.marginBrush = CreateHatchBrush(HS_DIAGCROSS, RGB(0xC0, 0xC0, 0xC0));
  InitCommonControls();
  layoutWindow(w.window, w.state.view, w.state.document);
}

void onOpen(MainWindow& w) {
  if (!w.state.openFromCommandLine && !chooseOpenFile(w.window, w.state)) return;
  showTitle(w);  // the new name shows even when the file then cannot be read
  MessageBoxPrompts prompts(w.window);
  const ViewUpdate update = openCommand(w.state, prompts);
  carryOut(w, update);
}

void onSaveAs(MainWindow& w) {
  if (runSaveOptionsDialog(w.instance, w.window, w.state) != IDOK) return;
  if (!chooseSaveFile(w.window, w.state)) return;
  MessageBoxPrompts prompts(w.window);
  // The writer reports its own failures; the title names only a file really saved.
  if (saveKepFile(w.state, prompts)) showTitle(w);
}

void onExit(MainWindow& w) {
  releaseResources(w);
  DestroyWindow(w.window);
}

void onPaste(MainWindow& w) {
  MessageBoxPrompts prompts(w.window);
  ViewUpdate update;
  if (pasteFromClipboard(w.window, w.state, prompts, update)) carryOut(w, update);
}

void onPictureProperties(MainWindow& w) {
  const auto pictureRedecoded = [&w] {
    ViewUpdate update;
    update.newScreenBitmap = update.render = update.layout = update.repaint = true;
    carryOut(w, update);
  };
  if (runPicturePropertiesDialog(w.instance, w.window, w.state, pictureRedecoded) != IDOK) return;
  ViewUpdate update;
  update.render = update.layout = update.repaint = true;
  carryOut(w, update);
}

void onCommand(MainWindow& w, int commandId) {
  switch (commandId) {
    case kCmdOpen:
      onOpen(w);
      break;
    case kCmdSaveAs:
      onSaveAs(w);
      break;
    case kCmdExit:
    case IDCANCEL:
      onExit(w);
      break;
    case kCmdCopy:
      copyToClipboard(w.window, w.screen, w.state.document);
      break;
    case kCmdPaste:
      onPaste(w);
      break;
    case kCmdScreenCrop:
      drawOutlines(w, screenCropCommand(w.state));
      break;
    case kCmdPalette:
      if (runPaletteDialog(w.instance, w.window, w.state) == IDOK) {
        ViewUpdate update;
        update.render = update.repaint = true;
        carryOut(w, update);
      }
      break;
    case kCmdSettings:
      runEffectSettingsDialog(w.instance, w.window, w.state);
      break;
    case kCmdPictureProperties:
      onPictureProperties(w);
      break;
    default: {
      HourglassCursor hourglass(w);
      carryOut(w, runDocumentCommand(w.state, commandId));
    }
  }
}

void onInitMenuPopup(const MainWindow& w) {
  HMENU menu = GetMenu(w.window);
  for (const MenuItemEnabling& item : menuEnabling(w.state.document.colourMode))
    EnableMenuItem(menu, static_cast<UINT>(item.commandId),
                   MF_BYCOMMAND | (item.enabled ? MF_ENABLED : MF_GRAYED));
}

bool scrollRequestOf(int code, ScrollRequest& request) {
  switch (code) {
    case SB_LINEUP:
      request = ScrollRequest::kLineBack;
      return true;
    case SB_LINEDOWN:
      request = ScrollRequest::kLineForward;
      return true;
    case SB_PAGEUP:
      request = ScrollRequest::kPageBack;
      return true;
    case SB_PAGEDOWN:
      request = ScrollRequest::kPageForward;
      return true;
    case SB_THUMBPOSITION:
      request = ScrollRequest::kThumbPosition;
      return true;
    case SB_THUMBTRACK:
      request = ScrollRequest::kThumbTrack;
      return true;
    default:
      return false;  // top, bottom and end of scrolling move nothing
  }
}

void onScroll(MainWindow& w, bool horizontal, WPARAM wParam) {
  ScrollRequest request;
  if (!scrollRequestOf(LOWORD(wParam), request)) return;
  int32_t thumb = HIWORD(wParam);
  // The message carries only 16 bits of the thumb; a longer bar knows all 32.
  const int32_t maximum =
      horizontal ? w.state.view.horizontalMaximum : w.state.view.verticalMaximum;
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_TRACKPOS;
  if (maximum > 0xFFFF && GetScrollInfo(w.window, horizontal ? SB_HORZ : SB_VERT, &info))
    thumb = info.nTrackPos;
  const ScrollBar bar = horizontal ? ScrollBar::kHorizontal : ScrollBar::kVertical;
  if (!scrollView(w.state.view, w.state.document, bar, request, thumb)) return;
  showScrollPosition(w.window, horizontal,
                     horizontal ? w.state.view.scrollX : w.state.view.scrollY);
}

void onLeftButtonDown(MainWindow& w) {
  if (w.state.selection.selectionState != kSelectionFollowsMouse) return;
  const bool cropped = cropToSelection(w.state);
  drawOutlines(w, cancelSelection(w.state.selection));
  if (!cropped) return;  // the rectangle missed the picture: nothing to cut
  replaceScreenBitmapBitmap(w.window, w.screen, w.state.document.width, w.state.document.height);
  ViewUpdate update;
  update.render = update.layout = update.repaint = true;
  carryOut(w, update);
}

LRESULT handleMessage(MainWindow& w, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      onCreate(w);
      return 0;
    case WM_DESTROY:
      releaseResources(w);
      PostQuitMessage(0);
      return 0;
    case WM_SIZE:
      layoutWindow(w.window, w.state.view, w.state.document);
      return 0;
    case WM_PAINT:
      paintView(w.window, w.screen, w.marginBrush, w.state.view, w.state.document);
      return 0;
    case WM_COMMAND:
      onCommand(w, LOWORD(wParam));
      return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
      onScroll(w, message == WM_HSCROLL, wParam);
      return 0;
    case WM_INITMENUPOPUP:
      onInitMenuPopup(w);
      return 0;
    case WM_MOUSEMOVE:
      drawOutlines(w,
                   followSelection(w.state.selection, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)));
      return 0;
    case WM_LBUTTONDOWN:
      onLeftButtonDown(w);
      return 0;
    case WM_RBUTTONDOWN:
      if (w.state.selection.selectionState == kSelectionFollowsMouse)
        drawOutlines(w, cancelSelection(w.state.selection));
      return 0;
    case WM_COPYDATA:
      return answerStateDumpRequest(w.window, *reinterpret_cast<const COPYDATASTRUCT*>(lParam),
                                    w.state);
    default:
      return DefWindowProcW(w.window, message, wParam, lParam);
  }
}

}  // namespace

LRESULT CALLBACK mainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* w = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    w->window = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w));
  }
  auto* w = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!w) return DefWindowProcW(window, message, wParam, lParam);
  return handleMessage(*w, message, wParam, lParam);
}

}  // namespace vz
