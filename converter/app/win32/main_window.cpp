#include "converter/app/win32/main_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include "base/utf16.h"
#include "converter/app/win32/clipboard.h"
#include "converter/app/win32/colour_dialogs.h"
#include "converter/app/win32/file_dialogs.h"
#include "converter/app/win32/message_prompts.h"
#include "converter/app/win32/resize_dialog.h"
#include "converter/app/win32/test_hook.h"
#include "converter/app/win32/tvc_dialogs.h"
#include "converter/commands/command_table.h"
#include "converter/model/file_io.h"
#include "converter/resources/resource.h"
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

void drawOutlines(const MainWindow& w, const OutlineDraws& draws) {
  for (const ClientRect& rect : draws) drawSelectionOutline(w.window, w.selectionPen, rect);
}

void carryOut(MainWindow& w, const ViewUpdate& update) {
  drawOutlines(w, update.outlines);
  if (update.titleChanged) showTitle(w);
  if (update.newScreenBitmap)
    makeScreenBitmap(w.window, w.screen, w.state.document.width, w.state.document.height);
  if (update.render) renderDocument(w.screen, w.state.document, w.state.view.blackAndWhiteView);
  if (update.layout) layoutWindow(w.window, w.state.view, w.state.document);
  if (update.repaint) repaint(w);
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
  w.selectionPen = CreatePen(PS_SOLID, 1, RGB(0xFF, 0xFF, 0xFF));
  w.marginBrush = CreateHatchBrush(HS_DIAGCROSS, RGB(0xC0, 0xC0, 0xC0));
  InitCommonControls();
  layoutWindow(w.window, w.state.view, w.state.document);
}

// The window's side of the commands: its dialogs, clipboard and message boxes.
class WindowHost : public CommandHost {
 public:
  explicit WindowHost(MainWindow& w) : w_(w), prompts_(w.window) {}

  UserPrompts& prompts() override { return prompts_; }
  bool chooseOpenFile(AppState& state) override {
    if (!state.openFromCommandLine && !vz::chooseOpenFile(w_.window, state)) return false;
    showTitle(w_);  // the new name shows even when the file then cannot be read
    return true;
  }
  bool chooseSaveFile(AppState& state) override { return vz::chooseSaveFile(w_.window, state); }
  bool editSaveOptions(AppState& state) override {
    return runSaveOptionsDialog(w_.instance, w_.window, state) == IDOK;
  }
  bool editEffectSettings(AppState& state) override {
    return runEffectSettingsDialog(w_.instance, w_.window, state) == IDOK;
  }
  bool editPalette(AppState& state) override {
    return runPaletteDialog(w_.instance, w_.window, state) == IDOK;
  }
  bool showPictureProperties(AppState& state) override {
    MainWindow& w = w_;
    const auto pictureRedecoded = [&w] {
      ViewUpdate update;
      update.newScreenBitmap = update.render = update.layout = update.repaint = true;
      carryOut(w, update);
    };
    return runPicturePropertiesDialog(w_.instance, w_.window, state, pictureRedecoded) == IDOK;
  }
  bool chooseResizeTarget(const AppState& state, ResizeTarget& target) override {
    return runResizeDialog(w_.instance, w_.window, state.effects, target) == IDOK;
  }
  bool choosePreviewFile(const AppState& state, std::string& path) override {
    return choosePngFile(w_.window, state, path);
  }
  bool pasteFromClipboard(AppState& state, ViewUpdate& update) override {
    return vz::pasteFromClipboard(w_.window, state, prompts_, update);
  }
  void copyToClipboard(const AppState& state) override {
    vz::copyToClipboard(w_.window, w_.screen, state.document);
  }

 private:
  MainWindow& w_;
  MessageBoxPrompts prompts_;
};

void onExit(MainWindow& w) {
  releaseResources(w);
  DestroyWindow(w.window);
}

void onCommand(MainWindow& w, int commandId) {
  // The dialog manager's Esc arrives as IDCANCEL and ends the program, as Exit does.
  if (commandId == IDCANCEL) commandId = ID_FILE_EXIT;
  const Command* command = menuCommand(commandId);
  if (!command) return;
  WindowHost host(w);
  ViewUpdate update;
  {
    // The hourglass shows while the command runs; dialogs bring their own cursor.
    HourglassCursor hourglass(w);
    update = runMenuCommand(w.state, host, commandId);
  }
  carryOut(w, update);
  if (update.closeWindow) onExit(w);
}

void onInitMenuPopup(const MainWindow& w) {
  HMENU menu = GetMenu(w.window);
  for (const Command& command : commandTable())
    if (command.menuId != 0 && command.enabled)
      EnableMenuItem(menu, static_cast<UINT>(command.menuId),
                     MF_BYCOMMAND | (commandEnabled(command, w.state) ? MF_ENABLED : MF_GRAYED));
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
