#include "converter/app/win32/test_hook.h"

#include <commctrl.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/utf16.h"
#include "converter/app/win32/dpi.h"
#include "converter/commands/history.h"
#include "converter/model/file_io.h"

namespace vz {

namespace {

void dumpMenu(std::ostringstream& out, HMENU menu, int depth) {
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    wchar_t text[256] = {};
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    item.dwTypeData = text;
    item.cch = 255;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item)) continue;
    out << "menu\t" << depth << '\t';
    if (item.fType & MFT_SEPARATOR) {
      out << "separator\n";
      continue;
    }
    if (item.hSubMenu)
      out << "popup";
    else
      out << item.wID;
    out << '\t' << ((item.fState & MFS_GRAYED) ? "grayed" : "enabled") << '\t' << wideToUtf8(text)
        << '\n';
    if (item.hSubMenu) dumpMenu(out, item.hSubMenu, depth + 1);
  }
}

// FNV-1a over every byte of the pixel buffer: a test compares it with the bytes it expects.
uint32_t pixelHash(const std::vector<uint8_t>& pixels) {
  uint32_t hash = 2166136261u;
  for (uint8_t byte : pixels) hash = (hash ^ byte) * 16777619u;
  return hash;
}

void dumpScrollBar(std::ostringstream& out, HWND window, int bar, const char* name) {
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_ALL;
  if (!GetScrollInfo(window, bar, &info)) info = SCROLLINFO{};
  out << "scroll\t" << name << '\t' << info.nMin << '\t' << info.nMax << '\t' << info.nPage << '\t'
      << info.nPos << '\n';
}

// The parts' texts, then for each part "statusPart", its width on the screen and the
// width of its text in the bar's font.
void dumpStatusBar(std::ostringstream& out, HWND statusBar) {
  const int parts = static_cast<int>(SendMessageW(statusBar, SB_GETPARTS, 0, 0));
  std::vector<std::wstring> texts;
  for (int i = 0; i < parts; ++i) {
    const LRESULT length = LOWORD(SendMessageW(statusBar, SB_GETTEXTLENGTHW, i, 0));
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(statusBar, SB_GETTEXTW, i, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(length));
    texts.push_back(text);
  }
  out << "status";
  for (const std::wstring& text : texts) out << '\t' << wideToUtf8(text);
  out << '\n';
  HDC dc = GetDC(statusBar);
  const HGDIOBJ oldFont =
      SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(statusBar, WM_GETFONT, 0, 0)));
  for (int i = 0; i < parts; ++i) {
    RECT part{};
    SendMessageW(statusBar, SB_GETRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&part));
    SIZE extent{};
    const std::wstring& text = texts[static_cast<size_t>(i)];
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    out << "statusPart" << i << '\t' << part.right - part.left << '\t' << extent.cx << '\n';
  }
  SelectObject(dc, oldFont);
  ReleaseDC(statusBar, dc);
}

// Room a control's own drawing takes beside its text: the box of a check box or radio
// button and the gap after it, the frame of a group box, the edges of a push button.
int decorationWidth(HWND control, int dpi) {
  const LONG type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
  switch (type) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
    case BS_3STATE:
    case BS_AUTO3STATE:
      return GetSystemMetrics(SM_CXMENUCHECK) + MulDiv(6, dpi, 96);
    case BS_GROUPBOX:
      return MulDiv(16, dpi, 96);
    default:
      return MulDiv(6, dpi, 96);
  }
}

BOOL CALLBACK collectDialog(HWND window, LPARAM list) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  if (IsWindowVisible(window) && lstrcmpW(name, L"#32770") == 0)
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

// Every label of the dialogs open now, measured in its own font on one line: "label",
// the dialog's caption, the control's identifier and text, the width the text needs
// and the width the control has for it.
void dumpLabels(std::ostringstream& out) {
  std::vector<HWND> dialogs;
  EnumThreadWindows(GetCurrentThreadId(), collectDialog, reinterpret_cast<LPARAM>(&dialogs));
  for (HWND dialog : dialogs) {
    wchar_t caption[256] = {};
    GetWindowTextW(dialog, caption, 256);
    for (HWND control = GetWindow(dialog, GW_CHILD); control;
         control = GetWindow(control, GW_HWNDNEXT)) {
      wchar_t name[32] = {}, text[512] = {};
      GetClassNameW(control, name, 32);
      GetWindowTextW(control, text, 512);
      const bool button = lstrcmpiW(name, L"Button") == 0;
      if (!text[0] || (!button && lstrcmpiW(name, L"Static") != 0) ||
          (button && (GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW))
        continue;
      HDC dc = GetDC(control);
      const HGDIOBJ oldFont =
          SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
      RECT extent{};
      DrawTextW(dc, text, -1, &extent, DT_CALCRECT | DT_SINGLELINE);
      const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
      SelectObject(dc, oldFont);
      ReleaseDC(control, dc);
      RECT client{};
      GetClientRect(control, &client);
      const int decoration = button ? decorationWidth(control, dpi) : 0;
      out << "label\t" << wideToUtf8(caption) << '\t' << GetDlgCtrlID(control) << '\t'
          << wideToUtf8(text) << '\t' << extent.right - extent.left << '\t'
          << client.right - decoration << '\n';
    }
  }
}

void dumpRect(std::ostringstream& out, const char* name, const RECT& rect) {
  out << name << '\t' << rect.left << '\t' << rect.top << '\t' << rect.right << '\t' << rect.bottom
      << '\n';
}

// Where the view, its horizontal scroll bar and the status bar are on the screen.
void dumpPlaces(std::ostringstream& out, const MainWindow& w) {
  RECT rect{};
  GetWindowRect(w.pictureView, &rect);
  dumpRect(out, "pictureView", rect);
  SCROLLBARINFO bar{};
  bar.cbSize = sizeof(bar);
  if (!GetScrollBarInfo(w.pictureView, static_cast<LONG>(OBJID_HSCROLL), &bar))
    bar = SCROLLBARINFO{};
  const bool shown = (bar.rgstate[0] & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN)) == 0;
  dumpRect(out, "horizontalBar", shown ? bar.rcScrollBar : RECT{});
  GetWindowRect(w.statusBar, &rect);
  dumpRect(out, "statusBar", rect);
}

bool writeStateDump(const MainWindow& w, const std::wstring& widePath) {
  const HWND window = w.window;
  const AppState& state = w.state;
  std::ostringstream out;
  wchar_t title[600] = {};
  GetWindowTextW(window, title, 600);
  const RECT client = pictureArea(w.pictureView);
  const ImageDocument& doc = state.document;
  const ViewState& view = state.view;
  out << "title\t" << wideToUtf8(title) << '\n';
  out << "icon\t" << (GetClassLongPtrW(window, GCLP_HICON) != 0) << '\n';
  out << "client\t" << client.right << '\t' << client.bottom << '\n';
  out << "document\t" << doc.width << '\t' << doc.height << '\t' << paletteEntries(doc.colourMode)
      << '\t' << doc.pictureSize() << '\t' << doc.tvcPicture << '\t' << doc.interlaced << '\n';
  out << "view\t" << int{view.zoomX} << '\t' << int{view.zoomY} << '\t' << view.scrollX << '\t'
      << view.scrollY << '\t' << view.imageLeft << '\t' << view.imageTop << '\t'
      << view.visibleWidth << '\t' << view.visibleHeight << '\t' << view.blackAndWhiteView << '\t'
      << view.fitToWindow << '\t' << view.fittedWidth << '\t' << view.fittedHeight << '\n';
  out << "pixels\t" << doc.pixels.size() << '\t' << pixelHash(doc.pixels) << '\n';
  out << "palette";
  for (size_t i = 0; i < 16; ++i) out << '\t' << doc.palette[i];
  out << '\n';
  const EffectSettings& effects = state.effects;
  out << "effects\t" << int{effects.ditherAlgorithm} << '\t' << int{effects.threshold} << '\t'
      << effects.preDistortion << '\t' << effects.interlacedFourColour << '\t' << effects.cropWidth
      << '\t' << effects.cropHeight;
  for (uint8_t colour : effects.colourChoices) out << '\t' << int{colour};
  out << '\n';
  const SaveOptions& save = state.saveOptions;
  out << "saveOptions\t" << int{save.saveCoding} << '\t' << int{save.saveFormat} << '\t'
      << save.makePaletteFile << '\t' << int{save.maskColour} << '\n';
  out << "saveTarget\t" << state.saveTarget.path << '\n';
  out << "selection\t" << state.selection.selectionState << '\t' << state.selection.selectionShown
      << '\n';
  out << "history\t" << state.history.undoSteps.size() << '\t' << state.history.redoSteps.size()
      << '\t' << pictureChanged(state) << '\n';
  dumpStatusBar(out, w.statusBar);
  dumpScrollBar(out, w.pictureView, SB_HORZ, "horizontal");
  dumpScrollBar(out, w.pictureView, SB_VERT, "vertical");
  dumpPlaces(out, w);
  out << "dpi\t" << dpiOf(window) << '\n';
  dumpLabels(out);
  dumpMenu(out, GetMenu(window), 0);
  const std::string text = out.str();
  return writeFileSafely(wideToUtf8(widePath.c_str()),
                         std::vector<uint8_t>(text.begin(), text.end()))
      .ok();
}

}  // namespace

bool answerTestRequest(MainWindow& w, UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
  if (message != WM_COPYDATA) return false;
  const auto& request = *reinterpret_cast<const COPYDATASTRUCT*>(lParam);
  if (request.dwData != kStateDumpRequest || !request.lpData || request.cbData < sizeof(wchar_t))
    return false;
  const auto* path = static_cast<const wchar_t*>(request.lpData);
  result = writeStateDump(w, std::wstring(path, request.cbData / sizeof(wchar_t)));
  return true;
}

}  // namespace vz
