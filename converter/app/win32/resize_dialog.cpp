#include "converter/app/win32/resize_dialog.h"

#include "converter/app/win32/dialog_context.h"
#include "converter/app/win32/message_prompts.h"
#include "converter/commands/resize_dialog_model.h"
#include "converter/model/prompts.h"
#include "converter/resources/resource.h"

namespace vz {

namespace {

struct ResizeContext {
  const EffectSettings& settings;
  ResizeTarget& target;
};

// The radio buttons in ResizeMode's order.
constexpr int kModeButtons[] = {IDC_RESIZE_FIT, IDC_RESIZE_FILL, IDC_RESIZE_STRETCH};

void showControls(HWND dialog, const ResizeControls& controls) {
  setFieldText(dialog, IDC_RESIZE_WIDTH, controls.widthText);
  setFieldText(dialog, IDC_RESIZE_HEIGHT, controls.heightText);
  CheckRadioButton(dialog, IDC_RESIZE_FIT, IDC_RESIZE_STRETCH,
                   kModeButtons[static_cast<int>(controls.mode)]);
}

ResizeControls readControls(HWND dialog) {
  ResizeControls controls;
  controls.widthText = fieldText(dialog, IDC_RESIZE_WIDTH);
  controls.heightText = fieldText(dialog, IDC_RESIZE_HEIGHT);
  for (int mode = 0; mode < 3; ++mode)
    if (IsDlgButtonChecked(dialog, kModeButtons[mode]) == BST_CHECKED)
      controls.mode = static_cast<ResizeMode>(mode);
  return controls;
}

INT_PTR CALLBACK resizeProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  ResizeContext* context = contextOf<ResizeContext>(dialog);
  switch (message) {
    case WM_INITDIALOG:
      context = storeContext<ResizeContext>(dialog, lParam);
      showControls(dialog, initialResizeControls(context->settings));
      return TRUE;
    case WM_COMMAND:
      if (!context) return FALSE;
      switch (LOWORD(wParam)) {
        case IDOK:
          if (resizeTargetOf(readControls(dialog), context->target)) {
            EndDialog(dialog, IDOK);
          } else {
            MessageBoxPrompts(dialog).showError(texts::kBadResizeSize, texts::kResizeCaption);
            SetFocus(GetDlgItem(dialog, IDC_RESIZE_WIDTH));
          }
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

}  // namespace

INT_PTR runResizeDialog(HINSTANCE instance, HWND owner, const EffectSettings& settings,
                        ResizeTarget& target) {
  ResizeContext context{settings, target};
  const INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_RESIZE), owner,
                                         resizeProcedure, reinterpret_cast<LPARAM>(&context));
  return result == IDOK ? IDOK : IDCANCEL;
}

}  // namespace vz
