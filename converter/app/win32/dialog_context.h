// A modal dialog's own state, handed over through DialogBoxParamW's parameter and kept in
// the dialog's DWLP_USER slot, so that no dialog needs a global.
#pragma once

#include <windows.h>

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

}  // namespace vz
