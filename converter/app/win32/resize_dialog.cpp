#include "converter/app/win32/resize_dialog.h"

#include "converter/app/win32/dialog_context.h"
#include "converter/app/win32/message_prompts.h"
#include "converter/commands/resize_dialog_model.h"
#include "converter/model/prompts.h"
#include "converter/resources/resource.h"

namespace vz {

namespace {

struct ResizeContext {
  const AppState& state;
  ResizeTarget& target;
  ShownSize source;
  // Set while the dialog writes its own fields, whose change notices are then not typing.
  bool writingFields = false;
};

// The radio buttons in ResizeMode's order.
constexpr int kModeButtons[] = {IDC_RESIZE_FIT, IDC_RESIZE_FILL, IDC_RESIZE_STRETCH};

void showSize(HWND dialog, ResizeContext& context, const ResizeControls& controls) {
  context.writingFields = true;
  setFieldText(dialog, IDC_RESIZE_WIDTH, controls.widthText);
  setFieldText(dialog, IDC_RESIZE_HEIGHT, controls.heightText);
  context.writingFields = false;
}

void showControls(HWND dialog, ResizeContext& context, const ResizeControls& controls) {
  showSize(dialog, context, controls);
  CheckRadioButton(dialog, IDC_RESIZE_FIT, IDC_RESIZE_STRETCH,
                   kModeButtons[static_cast<int>(controls.mode)]);
  CheckDlgButton(dialog, IDC_RESIZE_KEEP_ASPECT, controls.keepAspect ? BST_CHECKED : BST_UNCHECKED);
  setFieldText(dialog, IDC_RESIZE_SOURCE_SIZE, shownSizeText(context.source));
}

ResizeControls readControls(HWND dialog) {
  ResizeControls controls;
  controls.widthText = fieldText(dialog, IDC_RESIZE_WIDTH);
  controls.heightText = fieldText(dialog, IDC_RESIZE_HEIGHT);
  for (int mode = 0; mode < 3; ++mode)
    if (IsDlgButtonChecked(dialog, kModeButtons[mode]) == BST_CHECKED)
      controls.mode = static_cast<ResizeMode>(mode);
  controls.keepAspect = IsDlgButtonChecked(dialog, IDC_RESIZE_KEEP_ASPECT) == BST_CHECKED;
  return controls;
}

// A side typed, a preset pressed: the fields show what the model makes of it.
bool onControl(HWND dialog, ResizeContext& context, int id, int notice) {
  ResizeControls controls = readControls(dialog);
  if (notice == EN_CHANGE && (id == IDC_RESIZE_WIDTH || id == IDC_RESIZE_HEIGHT)) {
    if (context.writingFields) return TRUE;
    if (id == IDC_RESIZE_WIDTH)
      widthEdited(controls, context.source);
    else
      heightEdited(controls, context.source);
  } else if (notice == BN_CLICKED && id == IDC_RESIZE_PRESET_FOUR_SIXTEEN) {
    choosePreset(controls, ResizePreset::kFourAndSixteenColours, context.state.effects);
  } else if (notice == BN_CLICKED && id == IDC_RESIZE_PRESET_TWO) {
    choosePreset(controls, ResizePreset::kTwoColours, context.state.effects);
  } else {
    return FALSE;
  }
  showSize(dialog, context, controls);
  return TRUE;
}

INT_PTR CALLBACK resizeProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  ResizeContext* context = contextOf<ResizeContext>(dialog);
  switch (message) {
    case WM_INITDIALOG:
      context = storeContext<ResizeContext>(dialog, lParam);
      showControls(dialog, *context, initialResizeControls(context->state.effects));
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
          return onControl(dialog, *context, LOWORD(wParam), HIWORD(wParam));
      }
    default:
      return FALSE;
  }
}

}  // namespace

INT_PTR runResizeDialog(HINSTANCE instance, HWND owner, const AppState& state,
                        ResizeTarget& target) {
  ResizeContext context{state, target, shownSizeOf(state)};
  const INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_RESIZE), owner,
                                         resizeProcedure, reinterpret_cast<LPARAM>(&context));
  return result == IDOK ? IDOK : IDCANCEL;
}

}  // namespace vz
