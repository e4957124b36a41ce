#include "converter/app/win32/file_dialogs.h"

#include <commdlg.h>

#include <array>
#include <cwchar>
#include <string>

#include "base/utf16.h"
#include "converter/commands/window_rules.h"
#include "converter/formats/picture_formats.h"
#include "converter/model/file_io.h"

namespace vz {

namespace {

const wchar_t kAllFilesFilter[] = L"Minden f\u00e1jl (*.*)\0*.*\0";
const wchar_t kPngFilter[] = L"PNG k\u00e9p (*.png)\0*.png\0Minden f\u00e1jl (*.*)\0*.*\0";
// Open lists the pictures the program reads first; every file stays one choice away.
std::wstring openFilter() {
  const std::wstring patterns = utf8ToWide(extensionPatterns());
  std::wstring filter = L"K\u00e9pek (" + patterns + L")";
  filter += L'\0' + patterns + L'\0' + L"Minden f\u00e1jl (*.*)" + L'\0' + L"*.*" + L'\0';
  return filter;  // its c_str() ends the list with the second terminator
}

// Copies as much of the text as fits, always terminated.
template <size_t N>
void copyToField(const std::string& utf8Text, std::array<wchar_t, N>& field) {
  const std::wstring wide = utf8ToWide(utf8Text);
  size_t length = std::min(wide.size(), N - 1);
  // Never leave half of a surrogate pair at the end.
  if (length > 0 && length < wide.size() && wide[length - 1] >= 0xD800 && wide[length - 1] < 0xDC00)
    --length;
  wide.copy(field.data(), length);
  field[length] = L'\0';
}

bool runFileDialog(HWND owner, const AppState& state, bool save, std::string& chosen) {
  std::array<wchar_t, kFilePathCapacity> path{};
  std::array<wchar_t, kFileTitleCapacity> title{};
  // Save as never offers the source picture's own name: it would be overwritten.
  copyToField(save ? kepNameToPropose(state.filePath, state.fileTitle) : state.filePath, path);
  copyToField(state.fileTitle, title);
  const std::wstring filter = openFilter();
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = save ? kAllFilesFilter : filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.lpstrFileTitle = title.data();
  dialog.nMaxFileTitle = static_cast<DWORD>(title.size());
  const BOOL confirmed = [&] {
    if (save) {
      dialog.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
      dialog.lpstrDefExt = L"KEP";
      return GetSaveFileNameW(&dialog);
    }
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    dialog.lpstrDefExt = L"*";
    return GetOpenFileNameW(&dialog);
  }();
  if (!confirmed) return false;
  chosen = wideToUtf8(path.data());
  return true;
}

}  // namespace

bool chooseOpenFile(HWND owner, const AppState& state, std::string& path) {
  return runFileDialog(owner, state, false, path);
}

bool chooseSaveFile(HWND owner, const AppState& state, std::string& path) {
  return runFileDialog(owner, state, true, path);
}

bool choosePngFile(HWND owner, const AppState& state, std::string& path) {
  std::string offered = state.fileTitle;
  const size_t dot = offered.find_last_of('.');
  if (dot != std::string::npos) offered.erase(dot);
  std::array<wchar_t, kFilePathCapacity> name{};
  if (!offered.empty()) copyToField(offered + ".png", name);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = kPngFilter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = name.data();
  dialog.nMaxFile = static_cast<DWORD>(name.size());
  dialog.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
  dialog.lpstrDefExt = L"png";
  if (!GetSaveFileNameW(&dialog)) return false;
  path = wideToUtf8(name.data());
  return true;
}

}  // namespace vz
