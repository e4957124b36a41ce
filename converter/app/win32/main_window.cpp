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

// While the window is wide enough, the status bar's parts end at these points (pixels
// at 96 DPI); the last one fills the rest.
constexpr int kStatusPartEnds[] = {140, 330, 450};
// Room a part needs beside its text: its borders and margins (pixels at 96 DPI).
constexpr int kStatusTextPadding = 12;

void showTitle(const MainWindow& w) {
  SetWindowTextW(w.window, utf8ToWide(windowTitle(w.state)).c_str());
}

void repaint(const MainWindow& w) {
  RedrawWindow(w.pictureView, nullptr, nullptr, RDW_INVALIDATE);
}

void drawOutlines(const MainWindow& w, const OutlineDraws& draws) {
  for (const ClientRect& rect : draws) drawSelectionOutline(w.pictureView, w.selectionPen, rect);
}

// The parts keep their places while the bar is wide enough; in a narrower one they give
// way to one another, the least important first.
void fitStatusParts(const MainWindow& w, const std::vector<std::wstring>& texts) {
  const UINT dpi = dpiOf(w.window);
  HDC dc = GetDC(w.statusBar);
  const HGDIOBJ oldFont = SelectObject(
      dc, w.statusFont ? static_cast<HGDIOBJ>(w.statusFont) : GetStockObject(DEFAULT_GUI_FONT));
  std::vector<int> preferred, needed;
  int previousEnd = 0;
  for (size_t i = 0; i < texts.size(); ++i) {
    SIZE extent{};
    GetTextExtentPoint32W(dc, texts[i].c_str(), static_cast<int>(texts[i].size()), &extent);
    needed.push_back(extent.cx + scaledToDpi(kStatusTextPadding, dpi));
    if (i < sizeof(kStatusPartEnds) / sizeof(kStatusPartEnds[0])) {
      const int end = scaledToDpi(kStatusPartEnds[i], dpi);
      preferred.push_back(end - previousEnd);
      previousEnd = end;
    } else {
      preferred.push_back(needed.back());
    }
  }
  SelectObject(dc, oldFont);
  ReleaseDC(w.statusBar, dc);

  RECT bar{};
  GetClientRect(w.statusBar, &bar);
  // The size grip takes the bar's right end.
  const int available = bar.right - GetSystemMetrics(SM_CXVSCROLL);
  const std::vector<int> widths =
      statusBarPartWidths(preferred, needed, statusBarShrinkOrder(w.state), available);
  std::vector<int> ends;
  int edge = 0;
  for (size_t i = 0; i < widths.size(); ++i) {
    edge += widths[i];
    ends.push_back(i + 1 == widths.size() ? -1 : edge);
  }
  // Set only when they move, so that a mouse move in crop mode does not redraw the bar.
  std::vector<int> current(ends.size() + 1, 0);
  const auto count = static_cast<size_t>(SendMessageW(w.statusBar, SB_GETPARTS, current.size(),
                                                      reinterpret_cast<LPARAM>(current.data())));
  current.resize(std::min(count, current.size()));
  if (current != ends)
    SendMessageW(w.statusBar, SB_SETPARTS, ends.size(), reinterpret_cast<LPARAM>(ends.data()));
}

void showStatus(const MainWindow& w) {
  std::vector<std::wstring> texts;
  for (const std::string& part : statusBarTexts(w.state)) texts.push_back(utf8ToWide(part));
  fitStatusParts(w, texts);
  for (size_t i = 0; i < texts.size(); ++i)
    SendMessageW(w.statusBar, SB_SETTEXTW, static_cast<WPARAM>(i),
                 reinterpret_cast<LPARAM>(texts[i].c_str()));
}

// The menu items' states, kept current: a shortcut of a greyed item does nothing.
void applyMenuEnabling(const MainWindow& w) {
  HMENU menu = GetMenu(w.window);
  for (const auto& [menuId, id] : menuCommands())
    if (commandRow(id).enabled.holds)
      EnableMenuItem(menu, static_cast<UINT>(menuId),
                     MF_BYCOMMAND | (commandEnabled(id, w.state) ? MF_ENABLED : MF_GRAYED));
  CheckMenuItem(menu, ID_FIT_TO_WINDOW,
                MF_BYCOMMAND | (w.state.view.fitToWindow ? MF_CHECKED : MF_UNCHECKED));
}

// The one place the screen bitmap is rendered: `doc` is the document, or a dialog's
// preview of it (of the same size), shown as the view lays the document out.
void renderScreen(MainWindow& w, const ImageDocument& doc) {
  renderForView(w.pictureView, w.screen, doc, w.state.view);
}

// Lays the picture out in its view. When that changes what the screen bitmap must hold
// (a new fitted size) it renders anew, and says so.
bool layoutView(MainWindow& w) {
  if (!w.pictureView) return false;
  layoutWindow(w.pictureView, w.state.view, w.state.document);
  if (screenFitsView(w.screen, w.state.view, w.state.document)) return false;
  renderScreen(w, w.state.document);
  return true;
}

// A new picture larger than the view, scroll bars' room included, is shown whole.
void fitNewPicture(MainWindow& w) {
  RECT whole{};
  GetWindowRect(w.pictureView, &whole);
  w.state.view.fitToWindow = largerThanClient(w.state.view, w.state.document,
                                              whole.right - whole.left, whole.bottom - whole.top);
}

void carryOut(MainWindow& w, const ViewUpdate& update) {
  drawOutlines(w, update.outlines);
  if (update.titleChanged) showTitle(w);
  if (update.newPicture) {
    fitNewPicture(w);
    w.state.view.layoutFromTopLeft = true;
  }
  const bool rendered = update.layout && layoutView(w);
  // A new picture shows its top-left corner the first time it is shown at its zoom
  // (a fitted one when the fitting is turned off); the layouts after it centre as before.
  if (w.state.view.fittedWidth == 0) w.state.view.layoutFromTopLeft = false;
  if ((update.newScreenBitmap || update.render) && !rendered) renderScreen(w, w.state.document);
  if (update.repaint) repaint(w);
  showStatus(w);
  applyMenuEnabling(w);
}

// The status bar's font and the picture's screen scale at the monitor's DPI.
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

// The status bar along the bottom, the picture view above it.
void placeChildren(MainWindow& w) {
  if (!w.statusBar || !w.pictureView) return;
  SendMessageW(w.statusBar, WM_SIZE, 0, 0);
  RECT client{}, bar{};
  GetClientRect(w.window, &client);
  if (IsWindowVisible(w.statusBar)) GetWindowRect(w.statusBar, &bar);
  const int height = std::max<int>(client.bottom - (bar.bottom - bar.top), 0);
  MoveWindow(w.pictureView, 0, 0, client.right, height, TRUE);
  showStatus(w);
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
  // The view keeps itself in w.pictureView from its first message on.
  CreateWindowExW(0, kPictureViewClass, nullptr,
                  WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL | WS_CLIPSIBLINGS, 0, 0, 0, 0,
                  w.window, nullptr, w.instance, &w);
  fitStatusBarToDpi(w, dpiOf(w.window));
  DragAcceptFiles(w.window, TRUE);
  placeChildren(w);
  layoutView(w);
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
    vz::copyToClipboard(w_.window, state.document, state.view.blackAndWhiteView);
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
  if (maximum > 0xFFFF && GetScrollInfo(w.pictureView, horizontal ? SB_HORZ : SB_VERT, &info))
    thumb = info.nTrackPos;
  const ScrollBar bar = horizontal ? ScrollBar::kHorizontal : ScrollBar::kVertical;
  if (!scrollView(w.state.view, w.state.document, bar, request, thumb)) return;
  showScrollPosition(w.pictureView, horizontal,
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
    showScrollPositions(w.pictureView, w.state.view);
  return true;
}

enum WheelUse { kWheelDown = 0, kWheelAcross = 1, kWheelZoom = 2 };

// Ctrl and the wheel step through the sizes: fitted to the window, normal, fourfold.
// False at the end of the steps.
bool wheelZoomCommand(const ViewState& view, bool in, CommandId& zoom) {
  const bool zoomed = view.zoomX != 1 || view.zoomY != 1;
  if (in)
    zoom = view.fittedWidth > 0 ? CommandId::kNormalSize : CommandId::kFourfoldSize;
  else if (zoomed)
    zoom = CommandId::kNormalSize;
  else if (!view.fitToWindow)
    zoom = CommandId::kFitToWindow;
  else
    return false;
  return true;
}

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
    CommandId zoom;
    if (notches != 0 && wheelZoomCommand(w.state.view, notches > 0, zoom)) runCommand(w, zoom);
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
    showScrollPositions(w.pictureView, w.state.view);
}

void onDpiChanged(MainWindow& w, UINT dpi, const RECT& suggested) {
  fitStatusBarToDpi(w, dpi);
  SetWindowPos(w.window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  placeChildren(w);
  layoutView(w);
  repaint(w);
}

LRESULT handleMessage(MainWindow& w, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT answer = 0;
  if (w.extraMessages && w.extraMessages(w, message, wParam, lParam, answer)) return answer;
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
      placeChildren(w);
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
    case WM_INITMENUPOPUP:
      applyMenuEnabling(w);
      return 0;
    default:
      return DefWindowProcW(w.window, message, wParam, lParam);
  }
}

// The picture view: painting, its scroll bars, and the mouse of crop mode. Keys and
// the wheel reach the main window, which has the focus.
LRESULT handleViewMessage(MainWindow& w, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      layoutView(w);
      return 0;
    case WM_PAINT:
      paintView(w.pictureView, w.screen, w.marginBrush, w.state.view, w.state.document);
      return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
      onScroll(w, message == WM_HSCROLL, wParam);
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
    default:
      return DefWindowProcW(w.pictureView, message, wParam, lParam);
  }
}

// The MainWindow comes as the creation parameter and stays in the window's user data.
MainWindow* mainWindowOf(HWND window, UINT message, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* w = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w));
    return w;
  }
  return reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

LRESULT CALLBACK pictureViewProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MainWindow* w = mainWindowOf(window, message, lParam);
  if (!w) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCCREATE) w->pictureView = window;
  return handleViewMessage(*w, message, wParam, lParam);
}

}  // namespace

void openFile(MainWindow& w, const std::string& utf8Path) {
  StepValue path;
  path.text = utf8Path;
  runCommand(w, CommandId::kOpen, &path);
}

bool registerWindowClasses(HINSTANCE instance, HICON icon, HCURSOR arrowCursor) {
  WNDCLASSW windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.hInstance = instance;
  windowClass.hCursor = arrowCursor;
  windowClass.lpfnWndProc = pictureViewProcedure;
  windowClass.lpszClassName = kPictureViewClass;
  if (!RegisterClassW(&windowClass)) return false;
  windowClass.lpfnWndProc = mainWindowProcedure;
  windowClass.lpszClassName = kMainWindowClass;
  windowClass.hIcon = icon;
  windowClass.lpszMenuName = MAKEINTRESOURCEW(IDM_MAIN_MENU);
  return RegisterClassW(&windowClass) != 0;
}

LRESULT CALLBACK mainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MainWindow* w = mainWindowOf(window, message, lParam);
  if (!w) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCCREATE) w->window = window;
  return handleMessage(*w, message, wParam, lParam);
}

}  // namespace vz
