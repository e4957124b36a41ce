#include "converter/tvcfiles/win32/tvc_dialogs.h"

namespace vz {

INT_PTR runSaveOptionsDialog(HINSTANCE, HWND, AppState&) {
  return IDCANCEL;
}

INT_PTR runPicturePropertiesDialog(HINSTANCE, HWND, AppState&, const std::function<void()>&) {
  return IDCANCEL;
}

}  // namespace vz
