// A modal dialog's own state, handed over through DialogBoxParamW's parameter and kept in
// the dialog's DWLP_USER slot, so that no dialog needs a global; and its text fields.
#pragma once

#include <windows.h>

#include <string>

#include "base/utf16.h"

namespace vz {

template <typename Context>
Context* contextOf(HWND dialog) {
  return reinterpret_cast<Context*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

// Called on WM_INITDIALOG with its lParam.
template <typename Context>
Context* storeContext(HWND dialog, LPARAM lParam) {
  SetWindowLongPtrW(dialog, DWLP_USER, lParam);
  return reinterpret_cast<Context*>(lParam);
}

// A short text field of the dialog (a number the user types), in UTF-8.
inline std::string fieldText(HWND dialog, int id) {
  wchar_t text[64] = {};
  GetDlgItemTextW(dialog, id, text, 64);
  return wideToUtf8(text);
}

inline void setFieldText(HWND dialog, int id, const std::string& text) {
  SetDlgItemTextW(dialog, id, utf8ToWide(text).c_str());
}

}  // namespace vz
