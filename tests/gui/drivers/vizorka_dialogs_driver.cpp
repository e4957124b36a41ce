// Drives the dialogs of the real Vizorka.exe under Wine, one scenario per run:
//   vizorka_dialogs_driver SCENARIO PATH\TO\Vizorka-test.exe
// effects     "Effektus-beállítások", its colour buttons and the "TVC színek" picker
// palette     "Paletta beállítása" on a 4-colour and a 2-colour picture
// save        "Mentés beállításai" and the save-file dialog; the saved files reopened
// properties  "Kép jellemzői" and "KEP fájl dekódolásának jellemzői"
// resize      "Átméretezés" and "Előnézet mentése PNG-ként..."
// tone        "Tónus": its live preview, Mégse, Alaphelyzet, OK and the undo step
// labels      every dialog's labels fit their controls (with the DPI the script set)
// Dialogs are read and steered from outside (captions, control texts, check marks,
// clicks, the pixels on the screen); the program's state comes from its state dump.
// Files saved here are left in the current folder for the calling script to compare.
#include "tests/gui/drivers/driver_support.h"

// After <windows.h>, which the helpers include.
#include <commctrl.h>

#include <algorithm>
#include <cwctype>

namespace {

using namespace driver;

// ---- TVC colours and files ----------------------------------------------------------

// Index bits: blue 1, red 2, green 4; the intensity bit 8 raises a channel from 0x91 to 0xFF.
COLORREF tvcColour(int index) {
  const int on = (index & 8) ? 0xFF : 0x91;
  return RGB((index & 2) ? on : 0, (index & 4) ? on : 0, (index & 1) ? on : 0);
}

// The TVC's own colour byte: index bit k at byte bit 2k.
uint8_t hardwareByte(int index) {
  return static_cast<uint8_t>((index & 1) | (index & 2) << 1 | (index & 4) << 2 | (index & 8) << 3);
}

// Four pixels 0..3: colour bit 0 of pixel k at byte bit 7-k, colour bit 1 at 3-k.
uint8_t fourColourByte(const int pixels[4]) {
  uint8_t byte = 0;
  for (int k = 0; k < 4; ++k)
    byte |= static_cast<uint8_t>((pixels[k] & 1) << (7 - k) | ((pixels[k] >> 1) & 1) << (3 - k));
  return byte;
}

// Two pixels 0..15: the left one's bits 3..0 at byte bits 7, 5, 3, 1, the right one's
// at 6, 4, 2, 0.
uint8_t sixteenColourByte(int left, int right) {
  uint8_t byte = 0;
  for (int bit = 0; bit < 4; ++bit)
    byte |= static_cast<uint8_t>(((left >> bit) & 1) << (2 * bit + 1) | ((right >> bit) & 1)
                                                                            << (2 * bit));
  return byte;
}

// The two pixels of a 16-colour TVC byte as one document byte (left pixel high).
uint8_t sixteenColourPixels(uint8_t byte) {
  int left = 0, right = 0;
  for (int bit = 0; bit < 4; ++bit) {
    left |= ((byte >> (2 * bit + 1)) & 1) << bit;
    right |= ((byte >> (2 * bit)) & 1) << bit;
  }
  return static_cast<uint8_t>(left << 4 | right);
}

std::vector<uint8_t> kepFile(uint8_t mode, const uint8_t colours[4], int width, int height,
                             const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out = {'K', 'E', 'P', mode, colours[0], colours[1], colours[2], colours[3]};
  putU32(out, static_cast<uint32_t>(width), 2);
  putU32(out, static_cast<uint32_t>(height), 2);
  putU32(out, 0);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

// What the state dump reports for a pixel buffer.
std::string pixelHash(const std::vector<uint8_t>& pixels) {
  uint32_t hash = 2166136261u;
  for (uint8_t byte : pixels) hash = (hash ^ byte) * 16777619u;
  return std::to_string(hash);
}

// ---- dialogs ---------------------------------------------------------------------------

struct DialogSearch {
  DWORD processId;
  std::wstring caption;
  HWND found;
};

BOOL CALLBACK matchDialog(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<DialogSearch*>(parameter);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  wchar_t caption[128] = {};
  GetWindowTextW(window, caption, 128);
  if (processId == search->processId && IsWindowVisible(window) && lstrcmpW(name, L"#32770") == 0 &&
      search->caption == caption) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// Waits for the program's dialog with this caption (which proves the caption).
HWND waitForDialogTitled(const Program& program, const std::wstring& caption) {
  DialogSearch search{program.process.dwProcessId, caption, nullptr};
  waitFor([&] {
    EnumWindows(matchDialog, reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
  });
  check(search.found != nullptr, "the dialog \"" + narrow(caption) + "\" appears");
  return search.found;
}

bool waitClosed(HWND dialog) {
  return waitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); });
}

LRESULT ask(HWND control, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(control, message, wParam, lParam, SMTO_NORMAL, kWaitMs, &result);
  return static_cast<LRESULT>(result);
}

// Another process's control text comes only through WM_GETTEXT.
std::string controlText(HWND control) {
  wchar_t text[512] = {};
  ask(control, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
  return narrow(text);
}

std::string itemText(HWND dialog, int id) {
  return controlText(GetDlgItem(dialog, id));
}

bool isChecked(HWND dialog, int id) {
  return ask(GetDlgItem(dialog, id), BM_GETCHECK) == BST_CHECKED;
}

bool isEnabled(HWND dialog, int id) {
  return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

// A click whose effect stays inside the dialog: handled when this returns.
void clickNow(HWND dialog, int id) {
  ask(GetDlgItem(dialog, id), BM_CLICK);
}

// A click that opens a modal dialog or closes this one: waited for by the caller.
void clickLater(HWND dialog, int id) {
  PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void setItemText(HWND dialog, int id, const std::wstring& text) {
  ask(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// Selects a list entry and tells the dialog, as a choice with the mouse does.
void chooseListEntry(HWND dialog, int id, int entry) {
  HWND list = GetDlgItem(dialog, id);
  ask(list, CB_SETCURSEL, static_cast<WPARAM>(entry));
  ask(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

struct ControlSpec {
  int id;  // -1 for the template's unnamed controls
  std::string className;
  std::string text;
};

BOOL CALLBACK collectControl(HWND child, LPARAM parameter) {
  auto* controls = reinterpret_cast<std::vector<HWND>*>(parameter);
  controls->push_back(child);
  return TRUE;
}

std::string lowerCase(const std::wstring& text) {
  std::wstring lower = text;
  for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(c));
  return narrow(lower);
}

// The dialog's own controls in creation order, with identifier, class and text.
void checkControls(HWND dialog, const std::vector<ControlSpec>& expected,
                   const std::string& label) {
  std::vector<HWND> all;
  EnumChildWindows(dialog, collectControl, reinterpret_cast<LPARAM>(&all));
  std::vector<ControlSpec> seen;
  for (HWND child : all) {
    if (GetParent(child) != dialog) continue;  // the parts of a combo box
    wchar_t className[64] = {};
    GetClassNameW(child, className, 64);
    seen.push_back(
        {static_cast<short>(GetDlgCtrlID(child)), lowerCase(className), controlText(child)});
  }
  checkEqual(seen.size(), expected.size(), label + ": number of controls");
  for (size_t i = 0; i < seen.size() && i < expected.size(); ++i) {
    const std::string describe =
        std::to_string(seen[i].id) + " " + seen[i].className + " \"" + seen[i].text + "\"";
    const std::string want = std::to_string(expected[i].id) + " " + expected[i].className + " \"" +
                             expected[i].text + "\"";
    checkText(describe, want, label + ": control " + std::to_string(i));
  }
}

// The dialog's texts fit their controls at 96, 120 and 144 DPI: each control's width,
// taken back to dialog units with the font the template names at this screen's DPI,
// against its text measured in the same font at each DPI, with room for a check box,
// a button's edges or a group box's indent.
void checkTextsFit(HWND dialog, const std::string& label) {
  std::vector<HWND> all;
  EnumChildWindows(dialog, collectControl, reinterpret_cast<LPARAM>(&all));
  HDC screen = GetDC(nullptr);
  const int screenDpi = GetDeviceCaps(screen, LOGPIXELSX);
  const auto fontAt = [](int dpi) {
    return CreateFontW(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif");
  };
  // The horizontal dialog base unit of a font, as the dialog manager works it out.
  const auto baseUnit = [&](HFONT font) {
    HGDIOBJ old = SelectObject(screen, font);
    SIZE size{};
    GetTextExtentPoint32W(screen, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52,
                          &size);
    SelectObject(screen, old);
    return (size.cx / 26 + 1) / 2;
  };
  HFONT shownFont = fontAt(screenDpi);
  const int shownUnit = baseUnit(shownFont);
  DeleteObject(shownFont);
  for (int dpi : {96, 120, 144}) {
    HFONT font = fontAt(dpi);
    const int unit = baseUnit(font);
    HGDIOBJ old = SelectObject(screen, font);
    std::string clipped;
    for (HWND child : all) {
      std::wstring text(512, L'\0');
      text.resize(
          static_cast<size_t>(ask(child, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(&text[0]))));
      text.erase(std::remove(text.begin(), text.end(), L'&'), text.end());
      wchar_t className[64] = {};
      GetClassNameW(child, className, 64);
      if (text.empty() || (lstrcmpiW(className, L"Static") && lstrcmpiW(className, L"Button")))
        continue;
      const LONG style = GetWindowLongW(child, GWL_STYLE);
      const LONG kind = style & BS_TYPEMASK;
      int room = 0;  // what the control takes besides its text, in pixels at 96 DPI
      if (lstrcmpiW(className, L"Button") == 0) {
        if (kind == BS_GROUPBOX)
          room = 16;
        else if (kind == BS_AUTOCHECKBOX || kind == BS_CHECKBOX || kind == BS_AUTORADIOBUTTON ||
                 kind == BS_RADIOBUTTON)
          room = 18;
        else
          room = 8;
      }
      RECT rect{};
      GetClientRect(child, &rect);
      const double dialogUnits = 4.0 * rect.right / shownUnit;
      const int width = static_cast<int>(dialogUnits * unit / 4);
      SIZE size{};
      GetTextExtentPoint32W(screen, text.c_str(), static_cast<int>(text.size()), &size);
      if (size.cx + MulDiv(room, dpi, 96) > width)
        clipped += " \"" + narrow(text) + "\" (" + std::to_string(size.cx + MulDiv(room, dpi, 96)) +
                   " of " + std::to_string(width) + " pixels)";
    }
    check(clipped.empty(),
          label + ": every text fits at " + std::to_string(dpi) + " DPI" + clipped);
    SelectObject(screen, old);
    DeleteObject(font);
  }
  ReleaseDC(nullptr, screen);
}

// Waits until the middle of the window shows the colour, and says what it showed.
COLORREF shownColour(HWND window, COLORREF expected) {
  const Capture shot = captureWhen(
      window, [&](const Capture& c) { return c.at(c.width / 2, c.height / 2) == expected; });
  return shot.at(shot.width / 2, shot.height / 2);
}

void checkColourButton(HWND dialog, int id, COLORREF expected, const std::string& what) {
  checkEqual<COLORREF>(shownColour(GetDlgItem(dialog, id), expected), expected, what);
}

// The picker's strip: cell i filled with TVC colour i, and a sunken edge (which
// covers the cell's corner) only around the marked cell.
bool stripShows(const Capture& c, int marked) {
  for (int i = 0; i < 16; ++i) {
    const int left = 35 * i;
    for (int x : {left + 4, left + 17, left + 30})
      for (int y : {4, 17, 30})
        if (c.at(x, y) != tvcColour(i)) return false;
    if ((c.at(left, 0) == tvcColour(i)) == (i == marked)) return false;
  }
  return true;
}

// In the "TVC színek" picker that a click opened: checks its strip and the marked
// cell, then clicks the cell of `index`, or presses Esc when `index` is -1.
void pickColour(const Program& program, int openedWith, int index) {
  HWND picker = waitForDialogTitled(program, L"TVC sz\u00ednek");
  if (!picker) return;
  checkControls(picker, {}, "picker");
  check((GetWindowLongW(picker, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0,
        "picker: a tool-window frame");
  RECT client{};
  GetClientRect(picker, &client);
  checkEqual<long>(client.right, 560L, "picker: client width");
  checkEqual<long>(client.bottom, 35L, "picker: client height");
  const Capture strip =
      captureWhen(picker, [&](const Capture& c) { return stripShows(c, openedWith); });
  check(stripShows(strip, openedWith),
        "picker: 16 TVC colours, cell " + std::to_string(openedWith) + " marked");
  if (index < 0) {
    PostMessageW(picker, WM_COMMAND, IDCANCEL, 0);
  } else {
    const LPARAM point = MAKELPARAM(35 * index + 21, 13);
    PostMessageW(picker, WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageW(picker, WM_LBUTTONUP, 0, point);
  }
  check(waitClosed(picker), "the picker closes");
}

// The main window shows the picture, pixel (x, y) in colourAt(x, y), where the state
// dump places it and at its zoom.
bool showsPicture(const Capture& c, const StateDump& dump, int width, int height,
                  const std::function<COLORREF(int, int)>& colourAt) {
  const int left = static_cast<int>(dump.value("view", 5));
  const int top = static_cast<int>(dump.value("view", 6));
  const int zoomX = static_cast<int>(dump.value("view", 1));
  const int zoomY = static_cast<int>(dump.value("view", 2));
  for (int y = 0; y < height * zoomY; ++y)
    for (int x = 0; x < width * zoomX; ++x)
      if (c.at(left + x, top + y) != colourAt(x / zoomX, y / zoomY)) return false;
  return true;
}

void checkPicture(const Program& program, int width, int height,
                  const std::function<COLORREF(int, int)>& colourAt, const std::string& what) {
  const StateDump dump = dumpState(program);
  const Capture shot = captureWhen(program.window, [&](const Capture& c) {
    return showsPicture(c, dump, width, height, colourAt);
  });
  check(showsPicture(shot, dump, width, height, colourAt), what);
}

void checkPalette(const StateDump& dump, const std::vector<COLORREF>& expected,
                  const std::string& what) {
  for (size_t i = 0; i < expected.size(); ++i)
    checkEqual<long>(dump.value("palette", i + 1), static_cast<long>(expected[i]),
                     what + ": palette entry " + std::to_string(i));
}

// ---- saving ---------------------------------------------------------------------------

struct SaveChoice {
  bool rle = false;
  bool sprite = false;
  bool paletteFile = false;
  bool backgroundMask = false;
  int maskColour = 0;
};

// "Menté&s mint..." with these options and this file name. Every opening of the
// options dialog starts from no coding, the full header and nothing else checked.
void saveThroughDialogs(const Program& program, const SaveChoice& choice,
                        const std::wstring& name) {
  PostMessageW(program.window, WM_COMMAND, ID_FILE_SAVE_AS, 0);
  HWND options = waitForDialogTitled(program, L"Ment\u00e9s be\u00e1ll\u00edt\u00e1sai");
  if (!options) return;
  check(isChecked(options, 1005) && !isChecked(options, 1006), "options start with \"Nincs\"");
  check(isChecked(options, 1007) && !isChecked(options, 1008),
        "options start with \"Teljes KEP fejléc\"");
  check(!isChecked(options, 1026) && !isChecked(options, 1027) && !isEnabled(options, 1026),
        "options start with the sprite choices clear and disabled");
  if (choice.rle) clickNow(options, 1006);
  if (choice.sprite) clickNow(options, 1008);
  if (choice.paletteFile) clickNow(options, 1026);
  if (choice.backgroundMask) clickNow(options, 1027);
  if (choice.maskColour != 0) {
    clickLater(options, 1015);
    pickColour(program, 0, choice.maskColour);
    checkColourButton(options, 1015, tvcColour(choice.maskColour),
                      "the mask button shows the picked colour");
  }
  clickLater(options, IDOK);
  check(waitClosed(options), "the options dialog closes with OK");
  check(chooseInFileDialog(program, name), "saved through the save-file dialog as " + narrow(name));
  checkText(titleOf(program.window), "Vizorka - [" + narrow(name) + "]", "title after saving");
}

// ---- scenarios ------------------------------------------------------------------------

const std::vector<ControlSpec> kEffectControls = {
    {1, "button", "OK"},
    {2, "button", "Mégse"},
    {-1, "button", "Dithering algoritmus"},
    {1005, "button", "Floyd-Steinberg"},
    {1006, "button", "Ordered"},
    {1031, "button", "Élethű"},
    {1032, "button", "Finomított"},
    {1015, "button", ""},
    {1016, "button", ""},
    {1017, "button", ""},
    {1018, "button", ""},
    {1019, "button", ""},
    {1020, "button", ""},
    {-1, "static", "2 színű konverziók:"},
    {-1, "static", "4 színű konverziók:"},
    {-1, "button", "Színek"},
    {-1, "button", "Küszöbszint 2 színű konverzióhoz"},
    {1028, "msctls_trackbar32", ""},
    {1021, "button", ""},
    {1022, "button", ""},
    {1023, "button", ""},
    {1024, "button", ""},
    {-1, "static", "4 színű páros sor (Interlaced):"},
    {1033, "button", "Legjobb színek"},
    {1034, "button", "Legjobb színek"},
    {1035, "button", "Legjobb színek"},
    {1025, "button", "Alaphelyzet..."},
    {-1, "static", "0"},
    {-1, "static", "255"},
    {-1, "button", "Képkivágás mérete"},
    {1000, "edit", "256"},
    {1001, "edit", "240"},
    {-1, "static", "X :"},
    {-1, "static", "Y :"},
    {-1, "button", "Automatikus képarány-előtorzítás"},
    {1026, "button", "Előtorzítás 2 és 16 színű konverziókhoz"},
    {1027, "button", "Interlaced mód 4 színű konverziónál"},
};

const int kDefaultColours[10] = {0, 15, 0, 10, 14, 15, 0, 11, 7, 15};

// "effects algorithm threshold preDistortion interlaced cropWidth cropHeight c0..c9"
std::string effectsOf(const StateDump& dump) {
  std::string text;
  for (size_t field = 1; field <= 16; ++field)
    text += (field > 1 ? " " : "") + dump.text("effects", field);
  return text;
}

HWND openEffectSettings(const Program& program) {
  PostMessageW(program.window, WM_COMMAND, ID_SETTINGS, 0);
  return waitForDialogTitled(program, L"Effektus-be\u00e1ll\u00edt\u00e1sok");
}

// Effect settings: the dialog's controls, its changes through OK reaching the next
// dither, a colour button through the picker, "Alaphelyzet..." and "Mégse".
void scenarioEffects(const std::wstring& exe) {
  writeFile(L"minta.bmp", patternBmp(64, 48));
  Program program = start(exe, L"minta.bmp");
  sync(program.window);
  checkText(effectsOf(dumpState(program)), "0 128 1 0 256 240 0 15 0 10 14 15 0 11 7 15",
            "effect settings at start");

  HWND dialog = openEffectSettings(program);
  if (!dialog) return stop(program);
  checkControls(dialog, kEffectControls, "effect settings");
  check(isChecked(dialog, 1005) && !isChecked(dialog, 1006) && !isChecked(dialog, 1031),
        "Floyd-Steinberg checked");
  check(isChecked(dialog, 1026) && !isChecked(dialog, 1027),
        "pre-distortion checked, interlaced clear");
  HWND trackbar = GetDlgItem(dialog, 1028);
  checkEqual<long>(static_cast<long>(ask(trackbar, TBM_GETRANGEMIN)), 0L, "threshold minimum");
  checkEqual<long>(static_cast<long>(ask(trackbar, TBM_GETRANGEMAX)), 255L, "threshold maximum");
  checkEqual<long>(static_cast<long>(ask(trackbar, TBM_GETPOS)), 128L, "threshold position");
  for (int i = 0; i < 10; ++i)
    checkColourButton(dialog, 1015 + i, tvcColour(kDefaultColours[i]),
                      "colour button " + std::to_string(1015 + i) + " shows its colour");

  clickNow(dialog, 1006);
  check(isChecked(dialog, 1006) && !isChecked(dialog, 1005), "\"Ordered\" takes the check");
  clickNow(dialog, 1026);
  clickNow(dialog, 1027);
  ask(trackbar, TBM_SETPOS, TRUE, 200);
  setItemText(dialog, 1000, L"100");
  setItemText(dialog, 1001, L"-80");  // refused on OK
  clickLater(dialog, 1016);
  pickColour(program, 15, 12);
  checkColourButton(dialog, 1016, tvcColour(12), "the button shows the picked colour");
  clickLater(dialog, 1018);
  pickColour(program, 10, -1);
  checkColourButton(dialog, 1018, tvcColour(10), "Esc in the picker keeps the colour");
  // A crop size outside 1..65535 is refused with a message, and the dialog stays open.
  for (const wchar_t* refused : {L"-80", L"65536"}) {
    setItemText(dialog, 1001, refused);
    clickLater(dialog, IDOK);
    const MessageBoxSeen seen = answerMessageBox(program, IDOK, dialog);
    checkText(seen.caption, "Effektus-beállítások", "crop size refusal: caption");
    checkText(seen.text, "A kivágás szélessége és magassága 1 és 65535 közötti egész szám legyen!",
              "crop size refusal: text");
    check(IsWindowVisible(dialog) != FALSE, "the refusal keeps the dialog open");
    checkText(effectsOf(dumpState(program)), "0 128 1 0 256 240 0 12 0 10 14 15 0 11 7 15",
              "a refused crop size stores nothing but the picked colours");
  }
  setItemText(dialog, 1001, L"80");
  clickLater(dialog, IDOK);
  check(waitClosed(dialog), "OK closes the effect settings");
  sync(program.window);
  checkText(effectsOf(dumpState(program)), "1 200 0 1 100 80 0 12 0 10 14 15 0 11 7 15",
            "OK stores every control");

  // The next dither: ordered, no pre-distortion, black and bright green.
  command(program, ID_DITHER_2);
  StateDump dump = dumpState(program);
  checkEqual(documentOf(dump).width, 64L, "no pre-distortion: the width stays");
  checkEqual(documentOf(dump).colourMode, 2L, "dithered to 2 colours");
  checkEqual(dump.value("view", 2), 1L, "no pre-distortion: no vertical zoom");
  checkPalette(dump, {tvcColour(0), tvcColour(12)}, "2-colour set");
  int greens = 0;
  const auto blackOrGreen = [&](const Capture& c) {
    greens = 0;
    const int left = static_cast<int>(dump.value("view", 5));
    const int top = static_cast<int>(dump.value("view", 6));
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) {
        const COLORREF pixel = c.at(left + x, top + y);
        if (pixel == tvcColour(12))
          ++greens;
        else if (pixel != 0)
          return false;
      }
    return greens > 0 && greens < 64 * 48;
  };
  check(blackOrGreen(captureWhen(program.window, blackOrGreen)),
        "the window shows the dither in black and bright green");
  // The calling script compares this file with vizorka-cli's dither.
  saveThroughDialogs(program, SaveChoice{}, L"gui-ordered.kep");

  // The dialog shows what OK stored; a picked colour, then "Alaphelyzet...", then
  // "Mégse": the colours come back, the threshold stays reset.
  dialog = openEffectSettings(program);
  if (!dialog) return stop(program);
  check(isChecked(dialog, 1006) && !isChecked(dialog, 1005), "reopened: \"Ordered\" checked");
  check(!isChecked(dialog, 1026) && isChecked(dialog, 1027),
        "reopened: pre-distortion clear, interlaced checked");
  trackbar = GetDlgItem(dialog, 1028);
  checkEqual<long>(static_cast<long>(ask(trackbar, TBM_GETPOS)), 200L, "reopened: threshold");
  checkText(itemText(dialog, 1000), "100", "reopened: crop width");
  checkText(itemText(dialog, 1001), "80", "reopened: crop height");
  checkColourButton(dialog, 1016, tvcColour(12), "reopened: the picked colour");
  clickLater(dialog, 1015);
  pickColour(program, 0, 9);
  checkColourButton(dialog, 1015, tvcColour(9), "a second picked colour");
  clickNow(dialog, 1025);
  checkEqual<long>(static_cast<long>(ask(trackbar, TBM_GETPOS)), 128L,
                   "\"Alaphelyzet...\": threshold");
  check(isChecked(dialog, 1005) && !isChecked(dialog, 1006), "\"Alaphelyzet...\": Floyd-Steinberg");
  check(isChecked(dialog, 1026) && !isChecked(dialog, 1027),
        "\"Alaphelyzet...\": pre-distortion on, interlaced off");
  checkText(itemText(dialog, 1000), "256", "\"Alaphelyzet...\": crop width");
  checkText(itemText(dialog, 1001), "240", "\"Alaphelyzet...\": crop height");
  checkColourButton(dialog, 1015, tvcColour(0), "\"Alaphelyzet...\": default colour 0");
  checkColourButton(dialog, 1016, tvcColour(15), "\"Alaphelyzet...\": default colour 1");
  clickLater(dialog, IDCANCEL);
  check(waitClosed(dialog), "\"Mégse\" closes the effect settings");
  sync(program.window);
  checkText(effectsOf(dumpState(program)), "1 128 0 1 100 80 0 12 0 10 14 15 0 11 7 15",
            "\"Mégse\": colours as on opening, the threshold reset, the rest as before");

  // The third algorithm: "Élethű" through OK into the next dither, interlaced 4 colours.
  dialog = openEffectSettings(program);
  if (!dialog) return stop(program);
  clickNow(dialog, 1031);
  check(isChecked(dialog, 1031) && !isChecked(dialog, 1005) && !isChecked(dialog, 1006),
        "\"Élethű\" takes the check");
  clickLater(dialog, IDOK);
  check(waitClosed(dialog), "OK closes the effect settings");
  sync(program.window);
  checkText(effectsOf(dumpState(program)), "2 128 0 1 100 80 0 12 0 10 14 15 0 11 7 15",
            "OK stores the perceptual algorithm");
  check(openThroughDialog(program, L"minta.bmp"), "the picture opens again");
  command(program, ID_DITHER_4);
  dump = dumpState(program);
  checkEqual(documentOf(dump).width, 64L, "4 colours: the width stays");
  checkEqual(documentOf(dump).colourMode, 16L, "interlaced 4 colours: two sets of four");
  checkPalette(dump,
               {tvcColour(0), tvcColour(10), tvcColour(14), tvcColour(15), tvcColour(0),
                tvcColour(11), tvcColour(7), tvcColour(15)},
               "interlaced 4-colour sets");
  // The calling script compares this file with vizorka-cli's perceptual dither.
  saveThroughDialogs(program, SaveChoice{}, L"gui-perceptual.kep");
  dialog = openEffectSettings(program);
  if (!dialog) return stop(program);
  check(isChecked(dialog, 1031) && !isChecked(dialog, 1005) && !isChecked(dialog, 1006),
        "reopened: \"Élethű\" checked");
  clickLater(dialog, IDCANCEL);
  check(waitClosed(dialog), "\"Mégse\" closes the effect settings");

  // The fourth algorithm, "Finomított", and "Legjobb színek" beside the 4-colour set: with
  // interlace checked it fills both 4-colour sets for the picture, before OK.
  check(openThroughDialog(program, L"minta.bmp"), "the picture opens once more");
  dialog = openEffectSettings(program);
  if (!dialog) return stop(program);
  clickNow(dialog, 1032);
  check(isChecked(dialog, 1032) && !isChecked(dialog, 1031) && !isChecked(dialog, 1005) &&
            !isChecked(dialog, 1006),
        "\"Finomított\" takes the check");
  clickNow(dialog, 1034);
  const std::string chosen = effectsOf(dumpState(program));
  check(chosen.rfind("2 128 0 1 100 80 0 12 ", 0) == 0 &&
            chosen != "2 128 0 1 100 80 0 12 0 10 14 15 0 11 7 15",
        "\"Legjobb színek\" changes the 4-colour sets at once: " + chosen);
  for (int i = 2; i < 10; ++i) {
    const size_t field = static_cast<size_t>(7 + i);
    checkColourButton(dialog, 1015 + i,
                      tvcColour(static_cast<int>(dumpState(program).value("effects", field))),
                      "colour button " + std::to_string(1015 + i) + " shows the chosen colour");
  }
  clickLater(dialog, IDOK);
  check(waitClosed(dialog), "OK closes the effect settings");
  sync(program.window);
  checkText(effectsOf(dumpState(program)), "3" + chosen.substr(1),
            "OK stores the refined algorithm and the chosen sets");
  command(program, ID_DITHER_4);
  // The calling script compares this file with vizorka-cli's refined dither with
  // automatic 4-colour sets.
  saveThroughDialogs(program, SaveChoice{}, L"gui-refined.kep");
  stop(program);
}

const std::vector<ControlSpec> kPaletteControls = {
    {1, "button", "OK"},        {1015, "button", ""},
    {1016, "button", ""},       {1017, "button", ""},
    {1018, "button", ""},       {-1, "static", "0."},
    {-1, "static", "1."},       {1029, "static", "2."},
    {1030, "static", "3."},     {1011, "combobox", "0"},
    {1012, "combobox", "1"},    {1013, "combobox", "2"},
    {1014, "combobox", "3"},    {2, "button", "Mégse"},
    {-1, "static", "Index"},    {-1, "static", "Szín"},
    {-1, "static", "Új index"}, {1026, "button", "Indexek összevonásának engedélyezése"},
};

HWND openPaletteDialog(const Program& program) {
  PostMessageW(program.window, WM_COMMAND, ID_PALETTE, 0);
  return waitForDialogTitled(program, L"Paletta be\u00e1ll\u00edt\u00e1sa");
}

// A 4-colour picture in stripes: pixel (x, y) has the value (x / 16 + y / 4) mod 4.
int stripe(int x, int y) {
  return (x / 16 + y / 4) % 4;
}

// The document bytes of a 4-colour picture 64 wide: two pixels a byte, left one high.
std::vector<uint8_t> fourColourPixels(int height, const std::function<int(int, int)>& value) {
  std::vector<uint8_t> pixels;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < 64; x += 2)
      pixels.push_back(static_cast<uint8_t>(value(x, y) << 4 | value(x + 1, y)));
  return pixels;
}

// Palette dialog: exchange of new indices, merging, a colour changed through the
// picker, "Mégse" and "OK" on a 4-colour picture; the rows a 2-colour picture disables.
void scenarioPalette(const std::wstring& exe) {
  const int colours[4] = {0, 12, 10, 9};  // black, bright green, bright red, bright blue
  const uint8_t hardware[4] = {hardwareByte(0), hardwareByte(12), hardwareByte(10),
                               hardwareByte(9)};
  std::vector<uint8_t> data;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 64; x += 4) {
      const int four[4] = {stripe(x, y), stripe(x + 1, y), stripe(x + 2, y), stripe(x + 3, y)};
      data.push_back(fourColourByte(four));
    }
  writeFile(L"negy.kep", kepFile(9, hardware, 64, 16, data));
  Program program = start(exe, L"negy.kep");
  sync(program.window);
  openMenuPopups(program);
  StateDump dump = dumpState(program);
  checkEqual(documentOf(dump).colourMode, 4L, "a 4-colour picture");
  check(itemEnabled(dump, ID_PALETTE), "\"Paletta...\" enabled for 4 colours");
  const std::string openedHash = dump.text("pixels", 2);
  checkText(openedHash, pixelHash(fourColourPixels(16, stripe)), "the stripes as read");

  // "Mégse" after an exchange leaves the picture alone.
  HWND dialog = openPaletteDialog(program);
  if (!dialog) return stop(program);
  checkControls(dialog, kPaletteControls, "palette");
  for (int row = 0; row < 4; ++row) {
    checkEqual<long>(static_cast<long>(ask(GetDlgItem(dialog, 1011 + row), CB_GETCOUNT)), 4L,
                     "list " + std::to_string(row) + " offers 0..3");
    checkColourButton(dialog, 1015 + row, tvcColour(colours[row]),
                      "row " + std::to_string(row) + " shows its palette colour");
  }
  check(!isChecked(dialog, 1026) && isEnabled(dialog, 1026), "merging starts off");
  chooseListEntry(dialog, 1011, 1);
  checkText(itemText(dialog, 1012), "0", "choosing 1 for row 0 gives row 1 the 0");
  clickLater(dialog, IDCANCEL);
  check(waitClosed(dialog), "\"Mégse\" closes the palette dialog");
  sync(program.window);
  dump = dumpState(program);
  checkText(dump.text("pixels", 2), openedHash, "\"Mégse\" keeps the pixels");
  checkPalette(dump, {tvcColour(0), tvcColour(12), tvcColour(10), tvcColour(9)},
               "\"Mégse\" keeps the palette");

  // Exchange 0 and 1, merge 3 into 2, and make entry 3 bright yellow.
  dialog = openPaletteDialog(program);
  if (!dialog) return stop(program);
  checkText(itemText(dialog, 1011), "0", "reopened: every row its own index again");
  chooseListEntry(dialog, 1011, 1);
  checkText(itemText(dialog, 1012), "0", "row 1 takes the old index of row 0");
  clickNow(dialog, 1026);
  chooseListEntry(dialog, 1014, 2);
  checkText(itemText(dialog, 1013), "2", "with merging, row 2 keeps its index");
  checkText(itemText(dialog, 1014), "2", "with merging, row 3 shares it");
  clickLater(dialog, 1018);
  pickColour(program, 9, 14);
  checkColourButton(dialog, 1018, tvcColour(14), "row 3 shows the picked colour");
  clickLater(dialog, IDOK);
  check(waitClosed(dialog), "OK closes the palette dialog");
  sync(program.window);
  const int remap[4] = {1, 0, 2, 2};
  const auto remapped = [&](int x, int y) { return remap[stripe(x, y)]; };
  dump = dumpState(program);
  checkText(dump.text("pixels", 2), pixelHash(fourColourPixels(16, remapped)),
            "OK moves the pixels to their new indices");
  const std::vector<COLORREF> palette = {tvcColour(12), tvcColour(0), tvcColour(14), tvcColour(14)};
  checkPalette(dump, palette, "OK");
  checkPicture(
      program, 64, 16, [&](int x, int y) { return palette[static_cast<size_t>(remapped(x, y))]; },
      "the window shows the new colours");

  // A 2-colour picture offers two rows.
  std::vector<uint8_t> twoColourData(8 * 8, 0xF0);
  writeFile(L"ketto.kep", kepFile(8, hardware, 64, 8, twoColourData));
  // The remapped picture is a changed one: Open asks first ("Nem" lets it go).
  PostMessageW(program.window, WM_COMMAND, ID_FILE_OPEN, 0);
  checkText(answerMessageBox(program, IDNO).caption, "Megnyitás",
            "Open asks about the changed picture");
  check(chooseInFileDialog(program, L"ketto.kep"), "a 2-colour picture opens");
  dialog = openPaletteDialog(program);
  if (!dialog) return stop(program);
  for (int row = 0; row < 4; ++row)
    checkEqual<long>(static_cast<long>(ask(GetDlgItem(dialog, 1011 + row), CB_GETCOUNT)), 2L,
                     "2 colours: list " + std::to_string(row) + " offers 0 and 1");
  checkText(itemText(dialog, 1012), "1", "2 colours: row 1 shows 1");
  checkText(itemText(dialog, 1013), "0", "2 colours: row 2 shows 0");
  checkText(itemText(dialog, 1014), "0", "2 colours: row 3 shows 0");
  for (int id : {1013, 1014, 1029, 1030, 1017, 1018, 1026})
    check(!isEnabled(dialog, id), "2 colours: control " + std::to_string(id) + " disabled");
  check(isEnabled(dialog, 1016), "2 colours: row 1's colour button enabled");
  checkColourButton(dialog, 1017, RGB(0x7F, 0x7F, 0x7F), "a disabled colour button is grey");
  clickLater(dialog, IDCANCEL);
  check(waitClosed(dialog), "\"Mégse\" closes the palette dialog");
  stop(program);
}

const std::vector<ControlSpec> kSaveOptionControls = {
    {1, "button", "OK"},
    {2, "button", "Mégse"},
    {-1, "button", "Kódolás"},
    {1005, "button", "Nincs"},
    {1006, "button", "RLE"},
    {-1, "button", "Formátum"},
    {1007, "button", "Teljes KEP fejléc"},
    {1008, "button", "Sprite (export)"},
    {1026, "button", "Paletta fájl készítése"},
    {1027, "button", "Háttérmaszk ebből a színből:"},
    {1015, "button", ""},
};

int sixteenPattern(int x, int y) {
  return (x + 2 * y) % 16;
}

// Saving: the options dialog's controls and "Mégse"; a sprite with palette file and
// mask under an accented name; an RLE file reopened; a plain file equal to its source.
void scenarioSave(const std::wstring& exe) {
  const uint8_t tvcPaletteStart[4] = {hardwareByte(0), hardwareByte(1), hardwareByte(2),
                                      hardwareByte(3)};
  std::vector<uint8_t> data;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 32; x += 2)
      data.push_back(sixteenColourByte(sixteenPattern(x, y), sixteenPattern(x + 1, y)));
  const std::vector<uint8_t> source = kepFile(10, tvcPaletteStart, 32, 8, data);
  writeFile(L"forras.kep", source);
  Program program = start(exe, L"forras.kep");
  sync(program.window);
  const std::string openedHash = dumpState(program).text("pixels", 2);

  PostMessageW(program.window, WM_COMMAND, ID_FILE_SAVE_AS, 0);
  HWND options = waitForDialogTitled(program, L"Ment\u00e9s be\u00e1ll\u00edt\u00e1sai");
  if (!options) return stop(program);
  checkControls(options, kSaveOptionControls, "save options");
  for (int id : {1026, 1027, 1015})
    check(!isEnabled(options, id), "full header: control " + std::to_string(id) + " disabled");
  checkColourButton(options, 1015, RGB(0x7F, 0x7F, 0x7F), "the disabled mask button is grey");
  clickNow(options, 1008);
  for (int id : {1026, 1027, 1015})
    check(isEnabled(options, id), "sprite: control " + std::to_string(id) + " enabled");
  checkColourButton(options, 1015, tvcColour(0), "the mask button shows colour 0");
  clickNow(options, 1026);
  clickNow(options, 1007);
  check(!isEnabled(options, 1026) && isChecked(options, 1026),
        "a disabled check box keeps its mark");
  clickLater(options, IDCANCEL);
  check(waitClosed(options), "\"Mégse\" closes the options dialog");
  sync(program.window);
  check(findWindowOf(program.process.dwProcessId, L"#32770") == nullptr,
        "\"Mégse\" asks for no file name");
  checkText(dumpState(program).text("saveOptions", 1), "0", "\"Mégse\" keeps the save options");

  // The sprite with mask and palette file; the script compares it with vizorka-cli's.
  SaveChoice sprite;
  sprite.rle = sprite.sprite = sprite.paletteFile = sprite.backgroundMask = true;
  sprite.maskColour = 12;
  const std::wstring spriteName = L"sprite-\u0151.kep";
  saveThroughDialogs(program, sprite, spriteName);
  StateDump dump = dumpState(program);
  const std::string saveOptions = dump.text("saveOptions", 1) + " " + dump.text("saveOptions", 2) +
                                  " " + dump.text("saveOptions", 3) + " " +
                                  dump.text("saveOptions", 4);
  checkText(saveOptions, "1 2 1 12", "OK stores RLE, sprite with mask, palette file, colour 12");
  const std::vector<uint8_t> saved = readFile(spriteName);
  // Header: size of the plain data (16 x 8), bytes per row, rows. The mask ends the file.
  std::vector<uint8_t> mask;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 32; x += 2)
      mask.push_back(static_cast<uint8_t>((sixteenPattern(x, y) == 12 ? 0xAA : 0) |
                                          (sixteenPattern(x + 1, y) == 12 ? 0x55 : 0)));
  check(saved.size() > 4 + mask.size() && saved[0] == 0x80 && saved[1] == 0 && saved[2] == 16 &&
            saved[3] == 8,
        "sprite header: 128, 16, 8");
  check(
      saved.size() > mask.size() && std::equal(mask.begin(), mask.end(), saved.end() - mask.size()),
      "the mask marks the pixels of colour 12");
  check(
      readFile(L"sprite-\u0151.PAL") == std::vector<uint8_t>(tvcPaletteStart, tvcPaletteStart + 4),
      "the palette file beside the sprite");

  // A full-header RLE file reads back as the same picture.
  SaveChoice rle;
  rle.rle = true;
  saveThroughDialogs(program, rle, L"rle.kep");
  const std::vector<uint8_t> rleFile = readFile(L"rle.kep");
  check(rleFile.size() > 16 && rleFile[3] == 6, "RLE 16-colour mode byte");
  check(openThroughDialog(program, L"rle.kep"), "the RLE file opens");
  dump = dumpState(program);
  checkEqual(documentOf(dump).width, 32L, "reopened: width");
  checkEqual(documentOf(dump).height, 8L, "reopened: height");
  checkEqual(documentOf(dump).colourMode, 16L, "reopened: 16 colours");
  checkText(dump.text("pixels", 2), openedHash, "reopened: the same pixels");
  checkPicture(
      program, 32, 8, [](int x, int y) { return tvcColour(sixteenPattern(x, y)); },
      "reopened: the window shows the picture");

  // Plain with the full header: the file it came from.
  saveThroughDialogs(program, SaveChoice{}, L"masolat.kep");
  check(readFile(L"masolat.kep") == source, "a plain full-header save gives the source file");
  stop(program);
}

const std::vector<ControlSpec> kPropertiesControls = {
    {1, "button", "OK"},
    {2, "button", "Mégse"},
    {-1, "static", "X :"},
    {1000, "edit", "512"},
    {-1, "static", "Y :"},
    {1001, "edit", "8"},
    {-1, "button", "Méret"},
    {-1, "button", "Színek"},
    {1027, "listbox", ""},
    {-1, "static", "Indx:"},
    {-1, "static", "Szín:"},
    {-1, "static", "Előfordulások:"},
    {1004, "edit", "TVC - 2 szín"},
    {1015, "button", "KEP fájl dekódolása..."},
};

const std::vector<ControlSpec> kDecodeControls = {
    {1, "button", "OK"},           {2, "button", "Cancel"},      {-1, "static", "X :"},
    {1002, "edit", "512"},         {-1, "static", "Y :"},        {1003, "edit", "8"},
    {1011, "combobox", "2-színű"}, {-1, "static", "Graf. mód:"},
};

// The list's colour squares, x 30..55 of each 20-pixel item, for the first entries.
bool listShows(const Capture& c, const std::vector<COLORREF>& colours) {
  for (size_t n = 0; n < colours.size(); ++n)
    if (c.at(42, static_cast<int>(n) * 20 + 10) != colours[n]) return false;
  return true;
}

void checkListColours(HWND dialog, const std::vector<COLORREF>& colours, const std::string& what) {
  HWND list = GetDlgItem(dialog, 1027);
  const Capture shot = captureWhen(list, [&](const Capture& c) { return listShows(c, colours); });
  check(listShows(shot, colours), what);
}

HWND openProperties(const Program& program) {
  PostMessageW(program.window, WM_COMMAND, ID_VIEW_PROPERTIES, 0);
  return waitForDialogTitled(program, L"K\u00e9p jellemz\u0151i");
}

HWND openDecode(const Program& program, HWND properties) {
  clickLater(properties, 1015);
  return waitForDialogTitled(program, L"KEP f\u00e1jl dek\u00f3dol\u00e1s\u00e1nak jellemz\u0151i");
}

// Picture properties of a 2-colour KEP 512 wide, re-decoded as 16 colours 128 wide;
// an interlaced picture cannot be re-decoded.
void scenarioProperties(const std::wstring& exe) {
  const uint8_t hardware[4] = {hardwareByte(0), hardwareByte(12), hardwareByte(10),
                               hardwareByte(9)};
  std::vector<uint8_t> data(64 * 8);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 37 + 11);
  writeFile(L"szeles.kep", kepFile(8, hardware, 512, 8, data));
  Program program = start(exe, L"szeles.kep");
  sync(program.window);
  checkEqual(dumpState(program).value("view", 2), 2L, "a 2-colour KEP opens at zoom 1 x 2");

  HWND properties = openProperties(program);
  if (!properties) return stop(program);
  checkControls(properties, kPropertiesControls, "picture properties");
  checkEqual<long>(static_cast<long>(ask(GetDlgItem(properties, 1027), LB_GETCOUNT)), 2L,
                   "two list entries");
  checkListColours(properties, {tvcColour(0), tvcColour(12)}, "the list shows the two colours");
  check(isEnabled(properties, 1015), "a 2-colour KEP can be re-decoded");

  HWND decode = openDecode(program, properties);
  if (!decode) return stop(program);
  checkControls(decode, kDecodeControls, "KEP decode");
  HWND modes = GetDlgItem(decode, 1011);
  checkEqual<long>(static_cast<long>(ask(modes, CB_GETCOUNT)), 3L, "three colour modes");
  const char* const modeNames[3] = {"2-színű", "4-színű", "16-színű"};
  for (int i = 0; i < 3; ++i) {
    wchar_t text[64] = {};
    ask(modes, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    checkText(narrow(text), modeNames[i], "colour mode entry " + std::to_string(i));
  }
  setItemText(decode, 1002, L"100");
  clickLater(decode, IDCANCEL);
  check(waitClosed(decode), "Cancel closes the decode dialog");
  checkText(itemText(properties, 1000), "512", "Cancel changes nothing");
  checkEqual(documentOf(dumpState(program)).width, 512L, "Cancel keeps the picture");

  // A width of 0 is refused with a message, and the dialog stays.
  decode = openDecode(program, properties);
  if (!decode) return stop(program);
  setItemText(decode, 1002, L"0");
  clickLater(decode, IDOK);
  HWND refusal = waitForDialogTitled(program, L"KEP f\u00e1jl dek\u00f3dol\u00e1sa");
  if (refusal) {
    std::wstring text;
    EnumChildWindows(refusal, collectStaticText, reinterpret_cast<LPARAM>(&text));
    check(narrow(text).find("nem dekódolható") != std::string::npos,
          "the refusal says the picture cannot be decoded so");
    PostMessageW(refusal, WM_COMMAND, IDOK, 0);
    check(waitClosed(refusal), "the refusal closes");
  }
  check(IsWindowVisible(decode) != FALSE, "the decode dialog stays after a refusal");
  checkEqual(documentOf(dumpState(program)).width, 512L, "a refusal keeps the picture");

  // 16 colours at 128 wide: 64 TVC bytes a row, so the 8 rows stay 8 (20 asked).
  setItemText(decode, 1002, L"128");
  setItemText(decode, 1003, L"20");
  ask(GetDlgItem(decode, 1011), CB_SETCURSEL, 2);
  clickLater(decode, IDOK);
  check(waitClosed(decode), "OK closes the decode dialog");
  sync(program.window);
  checkText(itemText(properties, 1004), "TVC - 16 szín", "kind after the re-decode");
  checkText(itemText(properties, 1000), "128", "X after the re-decode");
  checkText(itemText(properties, 1001), "8", "Y: only the rows there are");
  checkEqual<long>(static_cast<long>(ask(GetDlgItem(properties, 1027), LB_GETCOUNT)), 16L,
                   "16 list entries");
  checkListColours(properties,
                   {tvcColour(0), tvcColour(1), tvcColour(2), tvcColour(3), tvcColour(4)},
                   "the list shows the TVC colours");
  StateDump dump = dumpState(program);
  checkEqual(documentOf(dump).width, 128L, "re-decoded width");
  checkEqual(documentOf(dump).height, 8L, "re-decoded height");
  checkEqual(documentOf(dump).colourMode, 16L, "re-decoded colour mode");
  checkEqual(dump.value("view", 1) * 10 + dump.value("view", 2), 11L, "zoom 1 x 1");
  std::vector<uint8_t> expected;
  for (uint8_t byte : data) expected.push_back(sixteenColourPixels(byte));
  checkText(dump.text("pixels", 2), pixelHash(expected), "the bytes read as 16 colours");
  clickLater(properties, IDOK);
  check(waitClosed(properties), "OK closes the picture properties");
  sync(program.window);
  checkPicture(
      program, 128, 8,
      [&](int x, int y) {
        const uint8_t pixels = expected[static_cast<size_t>(y * 64 + x / 2)];
        return tvcColour(x % 2 ? pixels & 15 : pixels >> 4);
      },
      "the window shows the re-decoded picture");
  // Saved plain with the full header, the re-decoded picture keeps every TVC byte.
  saveThroughDialogs(program, SaveChoice{}, L"tizenhat.kep");
  const uint8_t tvcPaletteStart[4] = {hardwareByte(0), hardwareByte(1), hardwareByte(2),
                                      hardwareByte(3)};
  check(readFile(L"tizenhat.kep") == kepFile(10, tvcPaletteStart, 128, 8, data),
        "the re-decoded picture saves as the same bytes under a 16-colour header");

  // Interlaced: the kind, 16 entries and no re-decoding.
  writeFile(L"valtott.kep", kepFile(11, hardware, 64, 4, std::vector<uint8_t>(16 * 4, 0x0F)));
  check(openThroughDialog(program, L"valtott.kep"), "an interlaced picture opens");
  properties = openProperties(program);
  if (!properties) return stop(program);
  checkText(itemText(properties, 1004), "TVC - 4 szín (Interlaced)", "interlaced kind");
  checkEqual<long>(static_cast<long>(ask(GetDlgItem(properties, 1027), LB_GETCOUNT)), 16L,
                   "interlaced: 16 list entries");
  check(!isEnabled(properties, 1015), "an interlaced picture cannot be re-decoded");
  clickLater(properties, IDCANCEL);
  check(waitClosed(properties), "\"Mégse\" closes the picture properties");
  stop(program);
}

const std::vector<ControlSpec> kResizeControls = {
    {-1, "button", "Új méret (képpont)"},
    {-1, "static", "X :"},
    {1100, "edit", "256"},
    {-1, "static", "Y :"},
    {1101, "edit", "240"},
    {-1, "button", "Mód"},
    {1102, "button", "Arányosan belül"},
    {1103, "button", "Arányosan kitöltve (vágással)"},
    {1104, "button", "Torzítva"},
    {1, "button", "OK"},
    {2, "button", "Mégse"},
    {-1, "button", "Forrás (ahogy látszik)"},
    {1105, "static", "128 × 96 képpont"},
    {-1, "button", "Cél"},
    {1106, "button", "Képarány megtartása"},
    {1107, "button", "TVC 4 és 16 szín (256 × 240)"},
    {1108, "button", "TVC 2 szín (512 × 480)"},
};

HWND openResize(const Program& program) {
  PostMessageW(program.window, WM_COMMAND, ID_RESIZE, 0);
  return waitForDialogTitled(program, L"\u00c1tm\u00e9retez\u00e9s");
}

struct OwnedSearch {
  HWND owner;
  HWND found;
};

BOOL CALLBACK matchOwned(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<OwnedSearch*>(parameter);
  if (GetWindow(window, GW_OWNER) == search->owner && IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// A message box the dialog shows (its caption is the dialog's own).
HWND waitForBoxOwnedBy(HWND dialog) {
  OwnedSearch search{dialog, nullptr};
  waitFor([&] {
    EnumWindows(matchOwned, reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
  });
  return search.found;
}

// The screen shows the true-colour document byte for byte: its pixels, packed as the
// document packs them, hash to the document's pixel hash.
bool showsDocument(const Capture& c, const StateDump& dump) {
  const int left = static_cast<int>(dump.value("view", 5));
  const int top = static_cast<int>(dump.value("view", 6));
  const int width = static_cast<int>(documentOf(dump).width);
  const int height = static_cast<int>(documentOf(dump).height);
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
  std::vector<uint8_t> bytes(stride * static_cast<size_t>(height), 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const COLORREF pixel = c.at(left + x, top + y);
      uint8_t* out = &bytes[stride * static_cast<size_t>(y) + 3 * static_cast<size_t>(x)];
      out[0] = GetBValue(pixel);
      out[1] = GetGValue(pixel);
      out[2] = GetRValue(pixel);
    }
  return pixelHash(bytes) == dump.text("pixels", 2);
}

// Resizing: the dialog opens from the menu with the crop size, "fit", the aspect kept
// and the picture's size as shown; a typed side brings the other along, and the presets
// fill in theirs; "Mégse" changes nothing; a width of 0 is refused and the dialog stays;
// OK resizes into a new true-colour picture at zoom 1 x 1, which the window shows. The
// preview is then saved through the save dialog, for the script to compare with
// vizorka-cli's. A 16-colour picture shown 2 x 1 is fitted by its shown shape.
void scenarioResize(const std::wstring& exe) {
  writeFile(L"minta.bmp", patternBmp(64, 48));
  Program program = start(exe, L"minta.bmp");
  sync(program.window);
  command(program, ID_FOURFOLD_SIZE);
  const std::string openedHash = dumpState(program).text("pixels", 2);

  HWND dialog = openResize(program);
  if (!dialog) return stop(program);
  checkControls(dialog, kResizeControls, "resize");
  checkTextsFit(dialog, "resize");
  check(isChecked(dialog, 1102) && !isChecked(dialog, 1103) && !isChecked(dialog, 1104),
        "\"Arányosan belül\" is checked on opening");
  check(isChecked(dialog, 1106), "the aspect is kept on opening");
  setItemText(dialog, 1100, L"100");
  checkText(itemText(dialog, 1101), "75", "the height follows the width in the shown aspect");
  setItemText(dialog, 1101, L"30");
  checkText(itemText(dialog, 1100), "40", "the width follows the height");
  clickNow(dialog, 1107);
  checkText(itemText(dialog, 1100) + " x " + itemText(dialog, 1101), "256 x 240",
            "the 4- and 16-colour preset with pre-distortion");
  clickNow(dialog, 1108);
  checkText(itemText(dialog, 1100) + " x " + itemText(dialog, 1101), "512 x 480",
            "the 2-colour preset with pre-distortion");
  clickNow(dialog, 1106);
  setItemText(dialog, 1100, L"40");
  checkText(itemText(dialog, 1101), "480", "without the lock the height stays");
  clickNow(dialog, 1104);
  clickLater(dialog, IDCANCEL);
  check(waitClosed(dialog), "\"Mégse\" closes the dialog");
  sync(program.window);
  StateDump dump = dumpState(program);
  checkEqual(documentOf(dump).width, 64L, "\"Mégse\" keeps the width");
  checkText(dump.text("pixels", 2), openedHash, "\"Mégse\" keeps the pixels");
  checkEqual(dump.value("view", 1) * 10 + dump.value("view", 2), 22L, "\"Mégse\" keeps the zoom");

  dialog = openResize(program);
  if (!dialog) return stop(program);
  checkText(itemText(dialog, 1100), "256", "the width starts from the crop size again");
  check(isChecked(dialog, 1102), "\"Arányosan belül\" is checked again");
  check(isChecked(dialog, 1106), "the aspect is kept again");
  setItemText(dialog, 1101, L"30");
  setItemText(dialog, 1100, L"0");
  clickLater(dialog, IDOK);
  HWND refusal = waitForBoxOwnedBy(dialog);
  check(refusal != nullptr, "a width of 0 is refused with a message");
  if (refusal) {
    std::wstring text;
    EnumChildWindows(refusal, collectStaticText, reinterpret_cast<LPARAM>(&text));
    checkText(titleOf(refusal), "Átméretezés", "the refusal's caption");
    checkText(narrow(text), "A szélesség és a magasság csak 1 és 65535 közötti egész szám lehet!",
              "the refusal's text");
    PostMessageW(refusal, WM_COMMAND, IDOK, 0);
    check(waitClosed(refusal), "the refusal closes");
  }
  check(IsWindowVisible(dialog) != FALSE, "the dialog stays after a refusal");
  checkEqual(documentOf(dumpState(program)).width, 64L, "a refusal keeps the picture");

  setItemText(dialog, 1100, L"40");
  clickNow(dialog, 1103);
  clickLater(dialog, IDOK);
  check(waitClosed(dialog), "OK closes the dialog");
  sync(program.window);
  dump = dumpState(program);
  checkEqual(documentOf(dump).width, 40L, "fill: the width asked for");
  checkEqual(documentOf(dump).height, 30L, "fill: the height asked for");
  checkEqual(documentOf(dump).colourMode, 0L, "a true-colour picture");
  checkEqual(dump.value("view", 1) * 10 + dump.value("view", 2), 11L, "zoom 1 x 1");
  const Capture shot =
      captureWhen(program.window, [&](const Capture& c) { return showsDocument(c, dump); });
  check(showsDocument(shot, dump), "the window shows the resized picture");

  PostMessageW(program.window, WM_COMMAND, ID_FILE_SAVE_PREVIEW, 0);
  check(chooseInFileDialog(program, L"el\u0151n\u00e9zet.png"),
        "the preview is saved through the save dialog");
  // The resized picture is changed, and saving a preview does not save it.
  checkText(titleOf(program.window), "Vizorka - [minta.bmp]*",
            "saving the preview keeps the title");

  // 40 x 30 dithered to 16 colours is 20 x 30 shown 2 x 1: fitted into 40 x 30 it fills it.
  command(program, ID_DITHER_16);
  dialog = openResize(program);
  if (!dialog) return stop(program);
  checkText(itemText(dialog, 1105), "40 × 30 képpont", "the source as shown");
  setItemText(dialog, 1100, L"40");
  checkText(itemText(dialog, 1101), "30", "the shown aspect");
  clickLater(dialog, IDOK);
  check(waitClosed(dialog), "OK closes the dialog");
  sync(program.window);
  dump = dumpState(program);
  checkEqual(documentOf(dump).width * 1000 + documentOf(dump).height, 40030L,
             "fitted by the shown shape: 40 x 30");
  stop(program);
}

// ---- tone ------------------------------------------------------------------------

const std::vector<ControlSpec> kToneControls = {
    {-1, "static", "Fényerő:"},      {1200, "msctls_trackbar32", ""},
    {1210, "static", "0"},           {-1, "static", "Kontraszt:"},
    {1201, "msctls_trackbar32", ""}, {1211, "static", "0"},
    {-1, "static", "Gamma:"},        {1202, "msctls_trackbar32", ""},
    {1212, "static", "1.00"},        {-1, "static", "Telítettség:"},
    {1203, "msctls_trackbar32", ""}, {1213, "static", "100 %"},
    {1220, "button", "Alaphelyzet"}, {1, "button", "OK"},
    {2, "button", "Mégse"},
};

HWND openTone(const Program& program) {
  PostMessageW(program.window, WM_COMMAND, ID_TONE, 0);
  return waitForDialogTitled(program, L"T\u00f3nus");
}

// The slider's trackbar counts from 0 at the slider's minimum.
int trackbarMinimum(int id) {
  return id == 1202 ? 20 : id == 1203 ? 0 : -100;
}

// A drag of the slider to `value` through every step on the way, as the mouse sends it.
void dragSlider(HWND dialog, int id, int value) {
  HWND slider = GetDlgItem(dialog, id);
  const int position = value - trackbarMinimum(id);
  const int step = position > static_cast<int>(ask(slider, TBM_GETPOS)) ? 1 : -1;
  for (int at = static_cast<int>(ask(slider, TBM_GETPOS)); at != position;) {
    at += step;
    ask(slider, TBM_SETPOS, TRUE, at);
    ask(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, at), reinterpret_cast<LPARAM>(slider));
  }
  ask(dialog, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(slider));
}

// The pattern as brightness 40 makes it: every channel 102 higher, at most 255.
COLORREF brightened(int x, int y) {
  const COLORREF c = patternColour(x, y);
  const auto up = [](int v) { return v + 102 > 255 ? 255 : v + 102; };
  return RGB(up(GetRValue(c)), up(GetGValue(c)), up(GetBValue(c)));
}

// The picture's pixels on the screen where the dialog leaves them visible show
// colourAt; false when too few are visible to tell.
bool showsAround(const Capture& c, const StateDump& dump, HWND window, HWND dialog, int width,
                 int height, const std::function<COLORREF(int, int)>& colourAt) {
  const int left = static_cast<int>(dump.value("view", 5));
  const int top = static_cast<int>(dump.value("view", 6));
  RECT covered{};
  GetWindowRect(dialog, &covered);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  int seen = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const POINT at{origin.x + left + x, origin.y + top + y};
      if (IsWindowVisible(dialog) && PtInRect(&covered, at)) continue;
      if (c.at(left + x, top + y) != colourAt(x, y)) return false;
      ++seen;
    }
  return seen >= width * height / 2;
}

bool samePixels(const Capture& a, const Capture& b) {
  return a.width == b.width && a.height == b.height && a.pixels == b.pixels;
}

// Tone: the menu item after "Paletta..."; the dialog's controls beside the picture; a
// drag shows its result live in the window; "Mégse" brings back the screen pixel for
// pixel and leaves no undo step; "Alaphelyzet" returns the sliders and the preview; OK
// is one undo step, which Undo takes back; greyed for a 16-colour picture.
void scenarioTone(const std::wstring& exe) {
  writeFile(L"minta.bmp", patternBmp(64, 48));
  Program program = start(exe, L"minta.bmp");
  sync(program.window);
  openMenuPopups(program);
  StateDump dump = dumpState(program);
  const std::string openedHash = dump.text("pixels", 2);
  bool afterPalette = false;
  for (size_t i = 0; i + 1 < dump.menuLines.size(); ++i)
    if (dump.menuLines[i].find("\t" + std::to_string(ID_PALETTE) + "\t") != std::string::npos)
      afterPalette =
          dump.menuLines[i + 1].find("\t" + std::to_string(ID_TONE) + "\t") != std::string::npos &&
          dump.menuLines[i + 1].find("&Tónus...") != std::string::npos;
  check(afterPalette, "\"&Tónus...\" follows \"&Paletta...\"");
  check(itemEnabled(dump, ID_TONE), "tone is enabled for a true-colour picture");
  const Capture opened = captureWhen(program.window, [&](const Capture& c) {
    return showsPicture(c, dump, 64, 48, patternColour);
  });
  check(showsPicture(opened, dump, 64, 48, patternColour), "the window shows the picture");

  HWND dialog = openTone(program);
  if (!dialog) return stop(program);
  checkControls(dialog, kToneControls, "tone");
  checkTextsFit(dialog, "tone");
  const struct {
    int id, minimum, maximum, position;
  } sliders[] = {
      {1200, -100, 100, 0}, {1201, -100, 100, 0}, {1202, 20, 500, 100}, {1203, 0, 200, 100}};
  for (const auto& slider : sliders) {
    HWND bar = GetDlgItem(dialog, slider.id);
    const long offset = trackbarMinimum(slider.id);
    checkEqual<long>((ask(bar, TBM_GETRANGEMIN) + offset) * 1000000 +
                         (ask(bar, TBM_GETRANGEMAX) + offset) * 1000 + ask(bar, TBM_GETPOS) +
                         offset,
                     slider.minimum * 1000000L + slider.maximum * 1000L + slider.position,
                     "slider " + std::to_string(slider.id) + ": range and start");
  }
  dragSlider(dialog, 1200, 40);
  checkText(itemText(dialog, 1210), "40", "the number beside the slider follows it");
  Capture shot = captureWhen(program.window, [&](const Capture& c) {
    return showsAround(c, dump, program.window, dialog, 64, 48, brightened);
  });
  check(showsAround(shot, dump, program.window, dialog, 64, 48, brightened),
        "the window shows the brightened picture while the dialog is open");
  clickLater(dialog, IDCANCEL);
  check(waitClosed(dialog), "\"Mégse\" closes the dialog");
  sync(program.window);
  shot = captureWhen(program.window, [&](const Capture& c) { return samePixels(c, opened); });
  check(samePixels(shot, opened), "\"Mégse\" brings back the screen pixel for pixel");
  dump = dumpState(program);
  checkText(dump.text("pixels", 2), openedHash, "\"Mégse\" brings back every byte");
  checkEqual(dump.value("history", 1), 0L, "\"Mégse\" leaves no undo step");
  checkText(titleOf(program.window), "Vizorka - [minta.bmp]", "\"Mégse\" leaves no change mark");

  // Alaphelyzet: the sliders and the picture come back while the dialog stays.
  dialog = openTone(program);
  if (!dialog) return stop(program);
  dragSlider(dialog, 1200, 40);
  dragSlider(dialog, 1202, 180);
  checkText(itemText(dialog, 1212), "1.80", "gamma's number");
  clickNow(dialog, 1220);
  checkText(itemText(dialog, 1210) + " " + itemText(dialog, 1212), "0 1.00",
            "\"Alaphelyzet\" puts the numbers back");
  checkEqual<long>(static_cast<long>(ask(GetDlgItem(dialog, 1202), TBM_GETPOS)), 80L,
                   "\"Alaphelyzet\" puts the gamma slider back to 1.00");
  shot = captureWhen(program.window, [&](const Capture& c) {
    return showsAround(c, dump, program.window, dialog, 64, 48, patternColour);
  });
  check(showsAround(shot, dump, program.window, dialog, 64, 48, patternColour),
        "after \"Alaphelyzet\" the window shows the picture as it was");

  // OK: one undo step, the toned picture kept.
  dragSlider(dialog, 1200, 40);
  clickLater(dialog, IDOK);
  check(waitClosed(dialog), "OK closes the dialog");
  sync(program.window);
  dump = dumpState(program);
  checkEqual(dump.value("history", 1), 1L, "OK is one undo step");
  checkText(titleOf(program.window), "Vizorka - [minta.bmp]*", "OK marks the picture changed");
  check(dump.text("pixels", 2) != openedHash, "OK keeps the toned picture");
  checkPicture(program, 64, 48, brightened, "the window shows the toned picture after OK");
  command(program, ID_EDIT_UNDO);
  checkText(dumpState(program).text("pixels", 2), openedHash, "Undo brings back the picture");
  shot = captureWhen(program.window, [&](const Capture& c) { return samePixels(c, opened); });
  check(samePixels(shot, opened), "after Undo the screen is as it was");

  command(program, ID_DITHER_16);
  openMenuPopups(program);
  check(!itemEnabled(dumpState(program), ID_TONE), "tone is greyed for a 16-colour picture");
  stop(program);
}

}  // namespace

// Every label of the program's dialogs fits its control in the dialog's own font on
// one line: nothing wraps or is cut. The calling script runs it at 96, 120 and 144 DPI
// and names the DPI it set.
void scenarioLabels(const std::wstring& exe, long dpi) {
  const uint8_t hardware[4] = {hardwareByte(0), hardwareByte(12), hardwareByte(10),
                               hardwareByte(9)};
  // A 4-colour KEP picture: every dialog opens for it.
  writeFile(L"negy.kep", kepFile(9, hardware, 64, 16, std::vector<uint8_t>(16 * 16, 0x5A)));
  Program program = start(exe, L"negy.kep");
  sync(program.window);
  checkEqual(dumpState(program).value("dpi", 1), dpi, "the program runs at the DPI set");
  const auto checkLabels = [&](HWND dialog, const std::string& what) {
    if (!dialog) return;
    const StateDump dump = dumpState(program);
    size_t measured = 0;
    for (const std::vector<std::string>& label : dump.labelLines) {
      if (label.size() < 6 || label[1] != titleOf(dialog)) continue;
      ++measured;
      const long needed = std::strtol(label[4].c_str(), nullptr, 10);
      const long has = std::strtol(label[5].c_str(), nullptr, 10);
      check(needed <= has,
            what + ": \"" + label[3] + "\" fits (" + label[4] + " of " + label[5] + " pixels)");
    }
    check(measured > 0, what + ": its labels are measured");
  };
  const auto close = [&](HWND dialog) {
    if (!dialog) return;
    clickLater(dialog, IDCANCEL);
    waitClosed(dialog);
  };

  HWND dialog = openEffectSettings(program);
  checkLabels(dialog, "effect settings");
  close(dialog);
  PostMessageW(program.window, WM_COMMAND, ID_FILE_SAVE_AS, 0);
  dialog = waitForDialogTitled(program, L"Ment\u00e9s be\u00e1ll\u00edt\u00e1sai");
  checkLabels(dialog, "save options");
  close(dialog);
  dialog = openPaletteDialog(program);
  checkLabels(dialog, "palette");
  close(dialog);
  dialog = openResize(program);
  checkLabels(dialog, "resize");
  close(dialog);
  HWND properties = openProperties(program);
  checkLabels(properties, "picture properties");
  if (properties) {
    dialog = openDecode(program, properties);
    checkLabels(dialog, "KEP decode");
    close(dialog);
  }
  close(properties);
  sync(program.window);
  stop(program);
}

int wmain(int argc, wchar_t** argv) {
  const bool labels = argc == 4 && std::wstring(argv[1]) == L"labels";
  if (argc != 3 && !labels) {
    std::printf(
        "usage: vizorka_dialogs_driver effects|palette|save|properties|resize|tone "
        "PATH\\Vizorka-test.exe\n"
        "       vizorka_dialogs_driver labels PATH\\Vizorka-test.exe DPI\n");
    return 2;
  }
  // The real pointer would send stray mouse moves into the windows: park it far away.
  SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
  const std::wstring scenario = argv[1];
  const std::wstring exe = argv[2];
  if (scenario == L"effects")
    scenarioEffects(exe);
  else if (scenario == L"palette")
    scenarioPalette(exe);
  else if (scenario == L"save")
    scenarioSave(exe);
  else if (scenario == L"properties")
    scenarioProperties(exe);
  else if (scenario == L"resize")
    scenarioResize(exe);
  else if (scenario == L"tone")
    scenarioTone(exe);
  else if (labels)
    scenarioLabels(exe, std::wcstol(argv[3], nullptr, 10));
  else
    return 2;
  std::printf("%d check(s) failed\n", failures);
  return failures == 0 ? 0 : 1;
}
