#include "converter/app/win32/tvc_dialogs.h"

#include <string>
#include <vector>

#include "base/utf16.h"
#include "converter/app/win32/colour_buttons.h"
#include "converter/app/win32/dialog_context.h"
#include "converter/app/win32/dpi.h"
#include "converter/app/win32/gdi_fill.h"
#include "converter/commands/kep_decode_dialog_model.h"
#include "converter/commands/picture_properties.h"
#include "converter/commands/save_options_choice.h"
#include "converter/formats/tvc/kep_redecode.h"
#include "converter/model/file_io.h"
#include "converter/resources/resource.h"

namespace vz {

namespace {

constexpr int kListItemHeight = 20;
constexpr COLORREF kSelectedIndexColour = RGB(0, 0, 0x78);

const wchar_t* const kDecodeCaption = L"KEP fájl dekódolása";
const wchar_t* const kDecodeRefused =
    L"Ezekkel az értékekkel a kép nem dekódolható!\r\n"
    L"A szélesség és a magasság legalább 1 legyen, egy sor ne legyen hosszabb a képnél.";

bool isChecked(HWND dialog, int id) {
  return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

// ---- Save options (104) ----

struct SaveOptionsContext {
  HINSTANCE instance;
  SaveOptionsChoice choice;
  // The colour button (1015) shows and edits the mask colour.
  EditedColours maskColour() { return EditedColours{&choice.maskColour, 1}; }
};

void enableSpriteControls(HWND dialog, bool enabled) {
  for (int id : {IDC_SAVE_PALETTE_FILE, IDC_SAVE_BACKGROUND_MASK, IDC_SAVE_MASK_COLOUR})
    EnableWindow(GetDlgItem(dialog, id), enabled ? TRUE : FALSE);
}

void readSaveChoice(HWND dialog, SaveOptionsChoice& choice) {
  choice.rleCoding = !isChecked(dialog, IDC_SAVE_CODING_NONE);
  choice.spriteFormat = !isChecked(dialog, IDC_SAVE_FORMAT_KEP);
  choice.paletteFile = isChecked(dialog, IDC_SAVE_PALETTE_FILE);
  choice.backgroundMask = isChecked(dialog, IDC_SAVE_BACKGROUND_MASK);
}

INT_PTR CALLBACK saveOptionsProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  SaveOptionsContext* context = contextOf<SaveOptionsContext>(dialog);
  switch (message) {
    case WM_INITDIALOG:
      context = storeContext<SaveOptionsContext>(dialog, lParam);
      CheckRadioButton(dialog, IDC_SAVE_CODING_NONE, IDC_SAVE_CODING_RLE, IDC_SAVE_CODING_NONE);
      CheckRadioButton(dialog, IDC_SAVE_FORMAT_KEP, IDC_SAVE_FORMAT_SPRITE, IDC_SAVE_FORMAT_KEP);
      enableSpriteControls(dialog, spriteControlsEnabled(context->choice));
      return TRUE;
    case WM_DRAWITEM:
      return context && paintColourButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam),
                                          context->maskColour());
    case WM_COMMAND:
      if (!context) return FALSE;
      switch (LOWORD(wParam)) {
        case IDC_SAVE_FORMAT_KEP:
        case IDC_SAVE_FORMAT_SPRITE:
          readSaveChoice(dialog, context->choice);
          enableSpriteControls(dialog, spriteControlsEnabled(context->choice));
          return TRUE;
        case IDC_SAVE_MASK_COLOUR:
          return chooseButtonColour(context->instance, dialog, IDC_SAVE_MASK_COLOUR,
                                    context->maskColour());
        case IDOK:
          readSaveChoice(dialog, context->choice);
          EndDialog(dialog, IDOK);
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

// ---- KEP decode (105) ----

struct DecodeContext {
  AppState& state;
  KepDecodeDialogModel model;
};

INT_PTR CALLBACK decodeProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  DecodeContext* context = contextOf<DecodeContext>(dialog);
  switch (message) {
    case WM_INITDIALOG: {
      context = storeContext<DecodeContext>(dialog, lParam);
      const KepDecodeDialogModel& model = context->model;
      SetDlgItemInt(dialog, IDC_DECODE_WIDTH, static_cast<UINT>(model.width()), FALSE);
      SetDlgItemInt(dialog, IDC_DECODE_HEIGHT, static_cast<UINT>(model.height()), FALSE);
      for (const char* name : kDecodeModeNames)
        SendDlgItemMessageW(dialog, IDC_DECODE_MODE, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(utf8ToWide(name).c_str()));
      SendDlgItemMessageW(dialog, IDC_DECODE_MODE, CB_SETCURSEL,
                          static_cast<WPARAM>(model.modeIndex()), 0);
      return TRUE;
    }
    case WM_COMMAND:
      if (!context) return FALSE;
      switch (LOWORD(wParam)) {
        case IDOK: {
          BOOL widthRead = FALSE;
          BOOL heightRead = FALSE;
          const UINT width = GetDlgItemInt(dialog, IDC_DECODE_WIDTH, &widthRead, FALSE);
          const UINT height = GetDlgItemInt(dialog, IDC_DECODE_HEIGHT, &heightRead, FALSE);
          const LRESULT selected = SendDlgItemMessageW(dialog, IDC_DECODE_MODE, CB_GETCURSEL, 0, 0);
          if (context->model.accept(context->state, widthRead != FALSE, width, heightRead != FALSE,
                                    height, selected == CB_ERR ? -1 : static_cast<int>(selected))) {
            EndDialog(dialog, IDOK);
          } else {
            MessageBoxW(dialog, kDecodeRefused, kDecodeCaption, MB_ICONHAND | MB_OK);
          }
          return TRUE;
        }
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

// ---- Picture properties (103) ----

struct PropertiesContext {
  HINSTANCE instance;
  AppState& state;
  const std::function<void()>& pictureRedecoded;
  std::vector<PaletteListEntry> entries;
};

void refreshProperties(HWND dialog, PropertiesContext& context) {
  const ImageDocument& doc = context.state.document;
  SetDlgItemInt(dialog, IDC_PROPERTIES_WIDTH, static_cast<UINT>(doc.width), TRUE);
  SetDlgItemInt(dialog, IDC_PROPERTIES_HEIGHT, static_cast<UINT>(doc.height), TRUE);
  SetDlgItemTextW(dialog, IDC_PROPERTIES_KIND, utf8ToWide(pictureKindText(doc)).c_str());
  context.entries = paletteListEntries(doc);
  HWND list = GetDlgItem(dialog, IDC_PROPERTIES_PALETTE_LIST);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  for (const PaletteListEntry& entry : context.entries)
    SendMessageW(list, LB_ADDSTRING, 0, static_cast<LPARAM>(entry.index));
}

void drawText(HDC dc, int x, int y, const std::wstring& text) {
  TextOutW(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

void drawPaletteItem(const DRAWITEMSTRUCT& item, const PropertiesContext& context) {
  if (item.itemID == static_cast<UINT>(-1) || item.itemID >= context.entries.size()) return;
  if (!(item.itemAction & (ODA_DRAWENTIRE | ODA_SELECT))) return;
  const PaletteListEntry& entry = context.entries[item.itemID];
  HDC dc = item.hDC;
  const RECT& box = item.rcItem;
  // The columns are laid out for 96 DPI and grow with the dialog's font.
  const UINT dpi = dpiOf(item.hwndItem);
  const auto x = [dpi](int pixels) { return scaledToDpi(pixels, dpi); };
  PatBlt(dc, box.left, box.top, box.right - box.left, box.bottom - box.top, PATCOPY);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  if (item.itemState & ODS_SELECTED) {
    fillSolid(dc, RECT{x(1), box.top, x(26), box.bottom}, kSelectedIndexColour);
    SetTextColor(dc, RGB(0xFF, 0xFF, 0xFF));
  }
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  const int y = (box.top + box.bottom - metrics.tmHeight) / 2;
  drawText(dc, x(5), y, std::to_wstring(entry.index) + L".");
  // A colour value has the COLORREF layout: red in the low byte.
  fillSolid(dc, RECT{x(30), box.top + 1, x(55), box.bottom - 1},
            static_cast<COLORREF>(entry.colour));
  SetTextColor(dc, RGB(0, 0, 0));
  drawText(dc, x(70), y, std::to_wstring(entry.pixelCount));
}

INT_PTR runDecodeDialog(HINSTANCE instance, HWND owner, AppState& state) {
  DecodeContext context{state, KepDecodeDialogModel(state)};
  return DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_KEP_DECODE), owner, decodeProcedure,
                         reinterpret_cast<LPARAM>(&context));
}

INT_PTR CALLBACK propertiesProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  PropertiesContext* context = contextOf<PropertiesContext>(dialog);
  switch (message) {
    case WM_INITDIALOG:
      context = storeContext<PropertiesContext>(dialog, lParam);
      EnableWindow(GetDlgItem(dialog, IDC_PROPERTIES_DECODE),
                   canRedecode(context->state.document) ? TRUE : FALSE);
      refreshProperties(dialog, *context);
      return TRUE;
    case WM_MEASUREITEM:
      // Arrives before WM_INITDIALOG: it needs nothing from the context.
      reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight =
          static_cast<UINT>(scaledToDpi(kListItemHeight, dpiOf(dialog)));
      return TRUE;
    case WM_DRAWITEM:
      if (!context || wParam != IDC_PROPERTIES_PALETTE_LIST) return FALSE;
      drawPaletteItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam), *context);
      return TRUE;
    case WM_COMMAND:
      if (!context) return FALSE;
      switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
          EndDialog(dialog, LOWORD(wParam));
          return TRUE;
        case IDC_PROPERTIES_DECODE:
          if (runDecodeDialog(context->instance, dialog, context->state) == IDOK) {
            refreshProperties(dialog, *context);
            if (context->pictureRedecoded) context->pictureRedecoded();
          }
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

}  // namespace

INT_PTR runSaveOptionsDialog(HINSTANCE instance, HWND owner, AppState& state) {
  SaveOptionsContext context{instance, SaveOptionsChoice()};
  const INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SAVE_OPTIONS), owner,
                                         saveOptionsProcedure, reinterpret_cast<LPARAM>(&context));
  if (result != IDOK) return IDCANCEL;
  state.saveOptions = saveOptionsFrom(context.choice);
  return IDOK;
}

INT_PTR runPicturePropertiesDialog(HINSTANCE instance, HWND owner, AppState& state,
                                   const std::function<void()>& pictureRedecoded) {
  PropertiesContext context{instance, state, pictureRedecoded, {}};
  const INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_PICTURE_PROPERTIES), owner,
                                         propertiesProcedure, reinterpret_cast<LPARAM>(&context));
  return result == IDOK ? IDOK : IDCANCEL;
}

}  // namespace vz
