#include "converter/app/win32/test_hook.h"

#include <commctrl.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/utf16.h"
#include "converter/app/win32/screen_view.h"
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

void dumpStatusBar(std::ostringstream& out, HWND statusBar) {
  out << "status";
  const int parts = static_cast<int>(SendMessageW(statusBar, SB_GETPARTS, 0, 0));
  for (int i = 0; i < parts; ++i) {
    const LRESULT length = LOWORD(SendMessageW(statusBar, SB_GETTEXTLENGTHW, i, 0));
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(statusBar, SB_GETTEXTW, i, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(length));
    out << '\t' << wideToUtf8(text);
  }
  out << '\n';
}

}  // namespace

bool answerStateDumpRequest(HWND window, const COPYDATASTRUCT& request, const AppState& state,
                            HWND statusBar) {
  if (request.dwData != kStateDumpRequest || !request.lpData || request.cbData < sizeof(wchar_t))
    return false;
  const auto* path = static_cast<const wchar_t*>(request.lpData);
  const std::wstring widePath(path, request.cbData / sizeof(wchar_t));
  std::ostringstream out;
  wchar_t title[600] = {};
  GetWindowTextW(window, title, 600);
  // The picture's part of the client area, above the status bar.
  const RECT client = pictureArea(window, statusBar);
  const ImageDocument& doc = state.document;
  const ViewState& view = state.view;
  out << "title\t" << wideToUtf8(title) << '\n';
  out << "icon\t" << (GetClassLongPtrW(window, GCLP_HICON) != 0) << '\n';
  out << "client\t" << client.right << '\t' << client.bottom << '\n';
  out << "document\t" << doc.width << '\t' << doc.height << '\t' << paletteEntries(doc.colourMode)
      << '\t' << doc.pictureSize() << '\t' << doc.tvcPicture << '\t' << doc.interlaced << '\n';
  out << "view\t" << int{view.zoomX} << '\t' << int{view.zoomY} << '\t' << view.scrollX << '\t'
      << view.scrollY << '\t' << view.imageLeft << '\t' << view.imageTop << '\t'
      << view.visibleWidth << '\t' << view.visibleHeight << '\t' << view.blackAndWhiteView << '\n';
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
  out << "selection\t" << state.selection.selectionState << '\t' << state.selection.selectionShown
      << '\n';
  out << "history\t" << state.history.undoSteps.size() << '\t' << state.history.redoSteps.size()
      << '\t' << pictureChanged(state) << '\n';
  dumpStatusBar(out, statusBar);
  dumpScrollBar(out, window, SB_HORZ, "horizontal");
  dumpScrollBar(out, window, SB_VERT, "vertical");
  dumpMenu(out, GetMenu(window), 0);
  const std::string text = out.str();
  return writeFileSafely(wideToUtf8(widePath.c_str()),
                         std::vector<uint8_t>(text.begin(), text.end()))
      .ok();
}

}  // namespace vz
