#include "converter/app/win32/tone_dialog.h"

#include <commctrl.h>

#include <atomic>
#include <memory>
#include <new>

#include "converter/app/win32/dialog_context.h"
#include "converter/app/win32/message_prompts.h"
#include "converter/commands/commands.h"
#include "converter/commands/tone_dialog_model.h"
#include "converter/resources/resource.h"

namespace vz {

namespace {

// The worker's word that a preview waits: posted, so that the picture shown changes
// only on the dialog's own thread.
constexpr UINT kPreviewReady = WM_APP + 1;

struct SliderControls {
  ToneSlider slider;
  int trackbar;
  int value;  // the number beside it
};

const SliderControls kSliders[] = {
    {ToneSlider::kBrightness, IDC_TONE_BRIGHTNESS, IDC_TONE_BRIGHTNESS_VALUE},
    {ToneSlider::kContrast, IDC_TONE_CONTRAST, IDC_TONE_CONTRAST_VALUE},
    {ToneSlider::kGamma, IDC_TONE_GAMMA, IDC_TONE_GAMMA_VALUE},
    {ToneSlider::kSaturation, IDC_TONE_SATURATION, IDC_TONE_SATURATION_VALUE},
};

struct ToneContext {
  ToneContext(AppState& shownState, const std::function<void()>& onPreviewShown)
      : state(shownState),
        previewShown(onPreviewShown),
        model(shownState.document, threadsOf(shownState), [this] {
          if (HWND dialog = dialogHandle.load()) PostMessageW(dialog, kPreviewReady, 0, 0);
        }) {}

  AppState& state;
  const std::function<void()>& previewShown;
  std::atomic<HWND> dialogHandle{nullptr};
  ToneDialogModel model;  // last: its worker may call back as soon as it is made
};

// The trackbars count from 0, their minimum being the slider's: under Wine a trackbar
// whose minimum is set below 0 keeps drawing its thumb where it was.
int32_t trackbarPosition(ToneSlider slider, int32_t position) {
  return position - toneSliderRange(slider).minimum;
}

void showPositions(HWND dialog, const ToneDialogModel& model) {
  for (const SliderControls& controls : kSliders) {
    const int32_t position = model.position(controls.slider);
    SendDlgItemMessageW(dialog, controls.trackbar, TBM_SETPOS, TRUE,
                        trackbarPosition(controls.slider, position));
    setFieldText(dialog, controls.value, toneValueText(controls.slider, position));
  }
}

void initSliders(HWND dialog, const ToneDialogModel& model) {
  for (const SliderControls& controls : kSliders) {
    const ToneSliderRange range = toneSliderRange(controls.slider);
    SendDlgItemMessageW(dialog, controls.trackbar, TBM_SETRANGEMAX, TRUE,
                        trackbarPosition(controls.slider, range.maximum));
    SendDlgItemMessageW(dialog, controls.trackbar, TBM_SETPAGESIZE, 0, 10);
  }
  showPositions(dialog, model);
}

// The dialog goes to the top right of the main window's client area, where it hides the
// least of a picture shown from its top-left corner or centred.
void placeBesidePicture(HWND dialog) {
  HWND owner = GetWindow(dialog, GW_OWNER);
  RECT client, own;
  if (!owner || !GetClientRect(owner, &client) || !GetWindowRect(dialog, &own)) return;
  POINT topRight{client.right, client.top};
  ClientToScreen(owner, &topRight);
  const int left = topRight.x - (own.right - own.left);
  SetWindowPos(dialog, nullptr, left > 0 ? left : 0, topRight.y, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void sliderMoved(HWND dialog, ToneContext& context, HWND trackbar) {
  for (const SliderControls& controls : kSliders)
    if (GetDlgItem(dialog, controls.trackbar) == trackbar) {
      const auto position = static_cast<int32_t>(SendMessageW(trackbar, TBM_GETPOS, 0, 0));
      context.model.move(controls.slider, position + toneSliderRange(controls.slider).minimum);
      setFieldText(dialog, controls.value,
                   toneValueText(controls.slider, context.model.position(controls.slider)));
    }
}

INT_PTR CALLBACK toneProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  ToneContext* context = contextOf<ToneContext>(dialog);
  switch (message) {
    case WM_INITDIALOG:
      context = storeContext<ToneContext>(dialog, lParam);
      context->dialogHandle = dialog;
      initSliders(dialog, context->model);
      placeBesidePicture(dialog);
      return TRUE;
    case WM_HSCROLL:
      if (context && lParam) sliderMoved(dialog, *context, reinterpret_cast<HWND>(lParam));
      return TRUE;
    case kPreviewReady:
      if (context && context->model.showPreview(context->state.document)) context->previewShown();
      return TRUE;
    case WM_COMMAND:
      if (!context) return FALSE;
      switch (LOWORD(wParam)) {
        case IDC_TONE_RESET:
          context->model.reset();
          showPositions(dialog, context->model);
          return TRUE;
        case IDOK:
          context->model.accept(context->state.document);
          EndDialog(dialog, IDOK);
          return TRUE;
        case IDCANCEL:
          context->model.cancel(context->state.document);
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

INT_PTR runToneDialog(HINSTANCE instance, HWND owner, AppState& state,
                      const std::function<void()>& previewShown) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  std::unique_ptr<ToneContext> context;
  try {
    context = std::make_unique<ToneContext>(state, previewShown);
  } catch (const std::bad_alloc&) {
    MessageBoxPrompts(owner).showError(kToneNoMemory, kToneCaption);
    return IDCANCEL;
  }
  const INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_TONE), owner, toneProcedure,
                                         reinterpret_cast<LPARAM>(context.get()));
  return result == IDOK ? IDOK : IDCANCEL;
}

}  // namespace vz
