#include "converter/app/win32/colour_dialogs.h"

#include <commctrl.h>

#include <iterator>
#include <string>

#include "base/utf16.h"
#include "converter/app/win32/colour_buttons.h"
#include "converter/app/win32/dialog_context.h"
#include "converter/commands/effect_settings_dialog_model.h"
#include "converter/commands/palette_dialog_model.h"
#include "converter/resources/resource.h"

namespace vz {

namespace {

// --- Effektus-beállítások ---------------------------------------------------------

struct EffectSettingsContext {
  HINSTANCE instance;
  const AppState& state;  // the picture "Legjobb színek" chooses for
  EffectSettingsDialogModel model;
  EditedColours colours;
};

// The radio buttons of the dither algorithms, in DitherAlgorithm order.
const int kAlgorithmButtons[] = {IDC_FLOYD_STEINBERG, IDC_ORDERED, IDC_PERCEPTUAL, IDC_REFINED};

// The "Legjobb színek" buttons, in ColourSetId order.
const int kBestColourButtons[] = {IDC_BEST_TWO_COLOURS, IDC_BEST_FOUR_COLOURS,
                                  IDC_BEST_EVEN_LINE_COLOURS};

void showEffectControls(HWND dialog, const EffectSettingsControls& controls) {
  for (size_t i = 0; i < std::size(kAlgorithmButtons); ++i)
    CheckDlgButton(dialog, kAlgorithmButtons[i],
                   i == controls.algorithmChecked ? BST_CHECKED : BST_UNCHECKED);
  SendDlgItemMessageW(dialog, IDC_THRESHOLD, TBM_SETPOS, TRUE, controls.thresholdPosition);
  CheckDlgButton(dialog, IDC_PRE_DISTORTION,
                 controls.preDistortionChecked ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, IDC_INTERLACED, controls.interlacedChecked ? BST_CHECKED : BST_UNCHECKED);
  setFieldText(dialog, IDC_CROP_WIDTH, controls.cropWidthText);
  setFieldText(dialog, IDC_CROP_HEIGHT, controls.cropHeightText);
}

EffectSettingsControls readEffectControls(HWND dialog) {
  EffectSettingsControls controls;
  // With none checked, "Ordered", as the two-button dialog had it.
  controls.algorithmChecked = kOrdered;
  for (size_t i = 0; i < std::size(kAlgorithmButtons); ++i)
    if (IsDlgButtonChecked(dialog, kAlgorithmButtons[i]) == BST_CHECKED)
      controls.algorithmChecked = static_cast<uint8_t>(i);
  controls.thresholdPosition =
      static_cast<int>(SendDlgItemMessageW(dialog, IDC_THRESHOLD, TBM_GETPOS, 0, 0));
  controls.preDistortionChecked = IsDlgButtonChecked(dialog, IDC_PRE_DISTORTION) == BST_CHECKED;
  controls.interlacedChecked = IsDlgButtonChecked(dialog, IDC_INTERLACED) == BST_CHECKED;
  controls.cropWidthText = fieldText(dialog, IDC_CROP_WIDTH);
  controls.cropHeightText = fieldText(dialog, IDC_CROP_HEIGHT);
  return controls;
}

INT_PTR CALLBACK effectSettingsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  EffectSettingsContext* context = contextOf<EffectSettingsContext>(dialog);
  switch (message) {
    case WM_INITDIALOG:
      context = storeContext<EffectSettingsContext>(dialog, lParam);
      SendDlgItemMessageW(dialog, IDC_THRESHOLD, TBM_SETRANGE, TRUE, MAKELPARAM(0, 255));
      SendDlgItemMessageW(dialog, IDC_THRESHOLD, TBM_SETTICFREQ, 32, 0);
      showEffectControls(dialog, context->model.initialControls());
      return TRUE;
    case WM_DRAWITEM:
      return context &&
             paintColourButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam), context->colours);
    case WM_COMMAND: {
      if (!context) return FALSE;
      const int id = LOWORD(wParam);
      if (HIWORD(wParam) == BN_CLICKED &&
          chooseButtonColour(context->instance, dialog, id, context->colours))
        return TRUE;
      for (size_t set = 0; set < std::size(kBestColourButtons); ++set) {
        if (id != kBestColourButtons[set]) continue;
        // The search takes a moment on a large picture.
        const HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        const bool chosen = context->model.chooseBestColours(
            static_cast<int>(set), readEffectControls(dialog), context->state);
        SetCursor(previous);
        if (chosen)
          InvalidateRect(dialog, nullptr, TRUE);
        else
          MessageBeep(MB_ICONWARNING);
        return TRUE;
      }
      switch (id) {
        case IDC_SETTINGS_DEFAULTS:
          showEffectControls(dialog, context->model.resetToDefaults());
          InvalidateRect(dialog, nullptr, TRUE);
          return TRUE;
        case IDOK: {
          const EffectSettingsControls controls = readEffectControls(dialog);
          if (!context->model.accept(controls)) {
            // The dialog stays open on the refused field.
            MessageBoxW(dialog, utf8ToWide(kCropSizeRefused).c_str(), L"Effektus-beállítások",
                        MB_ICONHAND | MB_OK);
            const int refused =
                parseCropSize(controls.cropWidthText) == 0 ? IDC_CROP_WIDTH : IDC_CROP_HEIGHT;
            SetFocus(GetDlgItem(dialog, refused));
            SendDlgItemMessageW(dialog, refused, EM_SETSEL, 0, -1);
            return TRUE;
          }
          EndDialog(dialog, IDOK);
          return TRUE;
        }
        case IDCANCEL:
          context->model.cancel();
          EndDialog(dialog, IDCANCEL);
          return TRUE;
        default:
          return FALSE;
      }
    }
    default:
      return FALSE;
  }
}

// --- Paletta beállítása -----------------------------------------------------------

struct PaletteContext {
  HINSTANCE instance;
  ImageDocument& document;
  PaletteDialogModel model;
  EditedColours colours;
};

void initPaletteControls(HWND dialog, const PaletteDialogModel& model) {
  for (int row = 0; row < 4; ++row) {
    for (int item = 0; item < model.rows(); ++item)
      SendDlgItemMessageW(dialog, IDC_NEW_INDEX_0 + row, CB_ADDSTRING, 0,
                          reinterpret_cast<LPARAM>(std::to_wstring(item).c_str()));
    SendDlgItemMessageW(dialog, IDC_NEW_INDEX_0 + row, CB_SETCURSEL,
                        model.remap()[static_cast<size_t>(row)], 0);
  }
  if (model.rows() == 2)
    for (int id : {IDC_NEW_INDEX_2, IDC_NEW_INDEX_3, IDC_ROW_LABEL_2, IDC_ROW_LABEL_3,
                   IDC_COLOUR_BUTTON_2, IDC_COLOUR_BUTTON_3, IDC_ALLOW_MERGE})
      EnableWindow(GetDlgItem(dialog, id), FALSE);
  CheckDlgButton(dialog, IDC_ALLOW_MERGE, BST_UNCHECKED);
}

void newIndexChosen(HWND dialog, PaletteContext& context, int row) {
  const int selected =
      static_cast<int>(SendDlgItemMessageW(dialog, IDC_NEW_INDEX_0 + row, CB_GETCURSEL, 0, 0));
  if (selected < 0) return;
  const bool merge = IsDlgButtonChecked(dialog, IDC_ALLOW_MERGE) == BST_CHECKED;
  const int exchanged = context.model.chooseNewIndex(row, selected, merge);
  if (exchanged >= 0)
    SendDlgItemMessageW(dialog, IDC_NEW_INDEX_0 + exchanged, CB_SETCURSEL,
                        context.model.remap()[static_cast<size_t>(exchanged)], 0);
}

INT_PTR CALLBACK paletteProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  PaletteContext* context = contextOf<PaletteContext>(dialog);
  switch (message) {
    case WM_INITDIALOG:
      initPaletteControls(dialog, storeContext<PaletteContext>(dialog, lParam)->model);
      return TRUE;
    case WM_DRAWITEM:
      return context &&
             paintColourButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam), context->colours);
    case WM_COMMAND: {
      if (!context) return FALSE;
      const int id = LOWORD(wParam);
      if (id >= IDC_NEW_INDEX_0 && id <= IDC_NEW_INDEX_3) {
        if (HIWORD(wParam) == CBN_SELCHANGE) newIndexChosen(dialog, *context, id - IDC_NEW_INDEX_0);
        return TRUE;
      }
      if (HIWORD(wParam) == BN_CLICKED &&
          chooseButtonColour(context->instance, dialog, id, context->colours))
        return TRUE;
      if (id == IDOK) {
        context->model.apply(context->document);
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (id == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    }
    default:
      return FALSE;
  }
}

}  // namespace

INT_PTR runEffectSettingsDialog(HINSTANCE instance, HWND owner, AppState& state) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  EffectSettingsContext context{instance, state, EffectSettingsDialogModel(state.effects), {}};
  context.colours = {context.model.colours().data(),
                     static_cast<int>(context.model.colours().size())};
  const INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_EFFECT_SETTINGS), owner,
                                         effectSettingsProc, reinterpret_cast<LPARAM>(&context));
  return result == IDOK ? IDOK : IDCANCEL;
}

INT_PTR runPaletteDialog(HINSTANCE instance, HWND owner, AppState& state) {
  PaletteContext context{instance, state.document, PaletteDialogModel(state.document), {}};
  context.colours = {context.model.colours().data(),
                     static_cast<int>(context.model.colours().size())};
  const INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_PALETTE), owner,
                                         paletteProc, reinterpret_cast<LPARAM>(&context));
  return result == IDOK ? IDOK : IDCANCEL;
}

}  // namespace vz
