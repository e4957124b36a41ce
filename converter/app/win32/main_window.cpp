#include "converter/app/win32/main_window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/utf16.h"
#include "converter/app/win32/clipboard.h"
#include "converter/app/win32/colour_dialogs.h"
#include "converter/app/win32/dpi.h"
#include "converter/app/win32/file_dialogs.h"
#include "converter/app/win32/menu_commands.h"
#include "converter/app/win32/message_prompts.h"
#include "converter/app/win32/resize_dialog.h"
#include "converter/app/win32/test_hook.h"
#include "converter/app/win32/tone_dialog.h"
#include "converter/app/win32/tvc_dialogs.h"
#include "converter/commands/command_table.h"
#include "converter/commands/history.h"
#include "converter/commands/status_bar.h"
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

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

// The status bar's parts end at these points (pixels at 96 DPI); the last one fills
// the rest.
constexpr int kStatusPartEnds[] = {140, 330, 450, -1};

void showTitle(const MainWindow& w) {
  SetWindowTextW(w.window, utf8ToWide(windowTitle(w.state)).c_str());
}

void repaint(const MainWindow& w) {
  RedrawWindow(w.window, nullptr, nullptr, RDW_INVALIDATE);
}

void drawOutlines(const MainWindow& w, const OutlineDraws& draws) {
  for (const ClientRect& rect : draws) drawSelectionOutline(w.window, w.selectionPen, rect);
}

void showStatus(const MainWindow& w) {
  const std::vector<std::string> parts = statusBarTexts(w.state);
  for (size_t i = 0; i < parts.size(); ++i)
    SendMessageW(w.statusBar, SB_SETTEXTW, static_cast<WPARAM>(i),
                 reinterpret_cast<LPARAM>(utf8ToWide(parts[i]).c_str()));
}

// The menu items' states, kept current: a shortcut of a greyed item does nothing.
void applyMenuEnabling(const MainWindow& w) {
  HMENU menu = GetMenu(w.window);
  for (const auto& [menuId, id] : menuCommands())
    if (commandRow(id).enabled.holds)
      EnableMenuItem(menu, static_cast<UINT>(menuId),
                     MF_BYCOMMAND | (commandEnabled(id, w.state) ? MF_ENABLED : MF_GRAYED));
}

void layoutView(MainWindow& w) {
  layoutWindow(w.window, w.statusBar, w.state.view, w.state.document);
}

void carryOut(MainWindow& w, const ViewUpdate& update) {
  drawOutlines(w, update.outlines);
  if (update.titleChanged) showTitle(w);
  if (update.newScreenBitmap)
    makeScreenBitmap(w.window, w.screen, w.state.document.width, w.state.document.height);
  if (update.render) renderDocument(w.screen, w.state.document, w.state.view.blackAndWhiteView);
  if (update.layout) {
    // A new picture shows its top-left corner; the layouts after it centre as before.
    w.state.view.layoutFromTopLeft = update.newPicture;
    layoutView(w);
    w.state.view.layoutFromTopLeft = false;
  }
  if (update.repaint) repaint(w);
  showStatus(w);
  applyMenuEnabling(w);
}

// The status bar's font and parts at the monitor's DPI.
void fitStatusBarToDpi(MainWindow& w, UINT dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
    // The system's metrics are those of the system DPI: bring the font to this monitor's.
    HDC screen = GetDC(nullptr);
    const int systemDpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    metrics.lfStatusFont.lfHeight =
        MulDiv(metrics.lfStatusFont.lfHeight, static_cast<int>(dpi), systemDpi);
    if (HFONT font = CreateFontIndirectW(&metrics.lfStatusFont)) {
      SendMessageW(w.statusBar, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      if (w.statusFont) DeleteObject(w.statusFont);
      w.statusFont = font;
    }
  }
  int ends[sizeof(kStatusPartEnds) / sizeof(kStatusPartEnds[0])];
  for (size_t i = 0; i < sizeof(ends) / sizeof(ends[0]); ++i)
    ends[i] = kStatusPartEnds[i] < 0 ? -1 : scaledToDpi(kStatusPartEnds[i], dpi);
  SendMessageW(w.statusBar, SB_SETPARTS, sizeof(ends) / sizeof(ends[0]),
               reinterpret_cast<LPARAM>(ends));
  SendMessageW(w.statusBar, WM_SIZE, 0, 0);
  w.state.view.screenScale = static_cast<int8_t>(screenScaleFor(dpi));
}

void releaseResources(MainWindow& w) {
  releaseScreenBitmap(w.screen);
  if (w.selectionPen) DeleteObject(w.selectionPen);
  if (w.marginBrush) DeleteObject(w.marginBrush);
  if (w.statusFont) DeleteObject(w.statusFont);
  w.selectionPen = nullptr;
  w.marginBrush = nullptr;
  w.statusFont = nullptr;
  releasePicture(w.state.document);
  w.state.history = DocumentHistory{};
}

void onCreate(MainWindow& w) {
  // No picture, zoom 1 x 1, selection idle, effect start values. (Swapped in: GCC 12
  // takes an assigned temporary's deques for uninitialised.)
  AppState fresh;
  std::swap(w.state, fresh);
  w.selectionPen = CreatePen(PS_SOLID, 1, RGB(0xFF, 0xFF, 0xFF));
  w.marginBrush = CreateHatchBrush(HS_DIAGCROSS, RGB(0xC0, 0xC0, 0xC0));
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  w.statusBar = CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                w.window, nullptr, w.instance, nullptr);
  fitStatusBarToDpi(w, dpiOf(w.window));
  DragAcceptFiles(w.window, TRUE);
  layoutView(w);
  showStatus(w);
}

// The window's side of the commands: its dialogs, clipboard and message boxes.
class WindowHost : public CommandHost {
 public:
  explicit WindowHost(MainWindow& w) : w_(w), prompts_(w.window) {}

  UserPrompts& prompts() override { return prompts_; }
  bool chooseOpenFile(const AppState& state, std::string& path) override {
    return vz::chooseOpenFile(w_.window, state, path);
  }
  bool chooseSaveFile(const AppState& state, std::string& path) override {
    return vz::chooseSaveFile(w_.window, state, path);
  }
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
  bool clipboardHoldsPicture() override {
    return IsClipboardFormatAvailable(CF_BITMAP) || IsClipboardFormatAvailable(CF_DIB);
  }
  bool chooseResizeTarget(const AppState& state, ResizeTarget& target) override {
    return runResizeDialog(w_.instance, w_.window, state, target) == IDOK;
  }
  bool editTone(AppState& state) override {
    MainWindow& w = w_;
    const auto previewShown = [&w] {
      ViewUpdate update;
      update.render = update.repaint = true;
      carryOut(w, update);
    };
    return runToneDialog(w_.instance, w_.window, state, previewShown) == IDOK;
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

// Runs a command as its menu item does; `path` is Open's file when it comes without the
// dialog.
void runCommand(MainWindow& w, CommandId id, const StepValue* path = nullptr) {
  WindowHost host(w);
  CommandResult result;
  {
    // The hourglass shows while the command runs; dialogs bring their own cursor.
    HourglassCursor hourglass(w);
    result = runWindowCommand(w.state, host, id, path);
  }
  carryOut(w, result.view);
  if (result.view.closeWindow) onExit(w);
}

void onCommand(MainWindow& w, int menuId, bool fromShortcut) {
  // The dialog manager's Esc arrives as IDCANCEL and ends the program, as Exit does.
  if (menuId == IDCANCEL) menuId = ID_FILE_EXIT;
  CommandId id;
  if (!commandOfMenuItem(menuId, id)) return;
  // A shortcut does only what its menu item could do now.
  if (fromShortcut && !commandEnabled(id, w.state)) return;
  runCommand(w, id);
}

// A file dropped on the window opens as Open opens it; of several, the first.
void onDropFiles(MainWindow& w, HDROP drop) {
  const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
  std::wstring path(length + 1, L'\0');
  const UINT copied = DragQueryFileW(drop, 0, &path[0], length + 1);
  DragFinish(drop);
  if (copied == 0) return;
  path.resize(copied);
  openFile(w, wideToUtf8(path));
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
  // The cut is a change of the document like any command's, to be undone alike.
  const ViewUpdate update = recordChanges(w.state, [&w] {
    ViewUpdate cut;
    const bool cropped = cropToSelection(w.state);
    cut.outlines = cancelSelection(w.state.selection);
    // A rectangle that missed the picture cuts nothing.
    cut.render = cut.layout = cut.repaint = cropped;
    return cut;
  });
  if (update.render)
    replaceScreenBitmapBitmap(w.window, w.screen, w.state.document.width, w.state.document.height);
  carryOut(w, update);
}

void leaveCropMode(MainWindow& w) {
  if (w.state.selection.selectionState != kSelectionFollowsMouse) return;
  drawOutlines(w, cancelSelection(w.state.selection));
  showStatus(w);
}

bool scrollKeyOf(WPARAM key, ScrollKey& scrollKey) {
  switch (key) {
    case VK_LEFT:
      scrollKey = ScrollKey::kLeft;
      return true;
    case VK_RIGHT:
      scrollKey = ScrollKey::kRight;
      return true;
    case VK_UP:
      scrollKey = ScrollKey::kUp;
      return true;
    case VK_DOWN:
      scrollKey = ScrollKey::kDown;
      return true;
    case VK_PRIOR:
      scrollKey = ScrollKey::kPageUp;
      return true;
    case VK_NEXT:
      scrollKey = ScrollKey::kPageDown;
      return true;
    case VK_HOME:
      scrollKey = ScrollKey::kHome;
      return true;
    case VK_END:
      scrollKey = ScrollKey::kEnd;
      return true;
    default:
      return false;
  }
}

bool onKeyDown(MainWindow& w, WPARAM key) {
  if (key == VK_ESCAPE) {
    leaveCropMode(w);  // as the right button does
    return true;
  }
  ScrollKey scrollKey;
  if (!scrollKeyOf(key, scrollKey)) return false;
  if (scrollForKey(w.state.view, w.state.document, scrollKey))
    showScrollPositions(w.window, w.state.view);
  return true;
}

enum WheelUse { kWheelDown = 0, kWheelAcross = 1, kWheelZoom = 2 };

// Whole notches turned so far; the rest waits for the next message.
int wheelNotches(MainWindow& w, WheelUse use, int delta) {
  int& rest = w.wheelRest[use];
  rest += delta;
  const int notches = rest / WHEEL_DELTA;
  rest -= notches * WHEEL_DELTA;
  return notches;
}

// The wheel scrolls down the picture, across with Shift, and zooms with Ctrl as the
// zoom commands do; a tilt wheel scrolls across. Forward notches go up, left or in,
// a tilt to the right goes right.
void onWheel(MainWindow& w, bool tilt, WPARAM wParam) {
  const WORD keys = GET_KEYSTATE_WPARAM(wParam);
  const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
  if (!tilt && (keys & MK_CONTROL)) {
    const int notches = wheelNotches(w, kWheelZoom, delta);
    if (notches != 0) onCommand(w, notches > 0 ? ID_FOURFOLD_SIZE : ID_NORMAL_SIZE, false);
    return;
  }
  const bool across = tilt || (keys & MK_SHIFT);
  const int notches = wheelNotches(w, across ? kWheelAcross : kWheelDown, delta);
  if (notches == 0) return;
  UINT lines = 3;
  SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
  const ScrollBar bar = across ? ScrollBar::kHorizontal : ScrollBar::kVertical;
  const int32_t zoom = across ? screenZoomX(w.state.view) : screenZoomY(w.state.view);
  const int32_t page = across ? w.state.view.visibleWidth : w.state.view.visibleHeight;
  const int64_t perNotch =
      lines == WHEEL_PAGESCROLL
          ? page
          : std::max<int64_t>(1, int64_t{kKeyScrollPixels} * static_cast<int64_t>(lines) / zoom);
  const int64_t moved = (tilt ? 1 : -1) * int64_t{notches} * perNotch;
  if (scrollViewBy(w.state.view, w.state.document, bar, moved))
    showScrollPositions(w.window, w.state.view);
}

void onDpiChanged(MainWindow& w, UINT dpi, const RECT& suggested) {
  fitStatusBarToDpi(w, dpi);
  SetWindowPos(w.window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  layoutView(w);
  repaint(w);
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
    case WM_CLOSE:
      // Closing the window is Exit, with its question about a changed picture.
      onCommand(w, ID_FILE_EXIT, false);
      return 0;
    case WM_SIZE:
      SendMessageW(w.statusBar, WM_SIZE, 0, 0);
      layoutView(w);
      return 0;
    case WM_PAINT:
      paintView(w.window, w.statusBar, w.screen, w.marginBrush, w.state.view, w.state.document);
      return 0;
    case WM_COMMAND:
      onCommand(w, LOWORD(wParam), HIWORD(wParam) == 1);
      return 0;
    case WM_KEYDOWN:
      if (onKeyDown(w, wParam)) return 0;
      return DefWindowProcW(w.window, message, wParam, lParam);
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
      onWheel(w, message == WM_MOUSEHWHEEL, wParam);
      return 0;
    case WM_DROPFILES:
      onDropFiles(w, reinterpret_cast<HDROP>(wParam));
      return 0;
    case WM_DPICHANGED:
      onDpiChanged(w, HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
      onScroll(w, message == WM_HSCROLL, wParam);
      return 0;
    case WM_INITMENUPOPUP:
      applyMenuEnabling(w);
      return 0;
    case WM_MOUSEMOVE:
      if (w.state.selection.selectionState != kSelectionFollowsMouse) return 0;
      drawOutlines(w,
                   followSelection(w.state.selection, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)));
      showStatus(w);
      return 0;
    case WM_LBUTTONDOWN:
      onLeftButtonDown(w);
      return 0;
    case WM_RBUTTONDOWN:
      leaveCropMode(w);
      return 0;
    case WM_COPYDATA:
      return answerStateDumpRequest(w.window, *reinterpret_cast<const COPYDATASTRUCT*>(lParam),
                                    w.state, w.statusBar);
    default:
      return DefWindowProcW(w.window, message, wParam, lParam);
  }
}

}  // namespace

void openFile(MainWindow& w, const std::string& utf8Path) {
  StepValue path;
  path.text = utf8Path;
  runCommand(w, CommandId::kOpen, &path);
}

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
