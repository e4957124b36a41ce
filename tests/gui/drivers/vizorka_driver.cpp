// Drives the real Vizorka-test.exe (Vizorka.exe with the state dump) through Win32 calls
// only, one scenario per run:
//   vizorka_driver SCENARIO PATH\TO\Vizorka-test.exe
// The scenario "release" checks that Vizorka.exe itself answers no state-dump request.
// Test pictures are written to the current folder. The window's menus and scroll bars
// are read through its state-dump hook (WM_COPYDATA), since another process cannot
// read them under Wine; everything else (title, message boxes, dialogs, clipboard,
// the pixels on the screen) is read from outside. Exit status 0 when every check held.
#include "tests/gui/drivers/driver_support.h"

// After <windows.h>, which the helpers include.
#include <shlobj.h>

#include <initializer_list>

namespace {

using namespace driver;

// ---- scenarios ---------------------------------------------------------------------

const char* const kMenuTree[] = {
    "0\tpopup\tenabled\t&Fájl",
    "1\t40001\tenabled\t&Megnyitás",
    "1\t40042\tgrayed\t&Mentés",
    "1\t40004\tgrayed\tMenté&s mint...",
    "1\t40041\tgrayed\t&Előnézet mentése PNG-ként...",
    "1\tseparator",
    "1\t40002\tenabled\t&Kilép",
    "0\tpopup\tenabled\t&Szerkesztés",
    "1\t40051\tgrayed\t&Visszavonás\tCtrl+Z",
    "1\t40052\tgrayed\t&Újra\tCtrl+Y",
    "1\tseparator",
    "1\t40003\tenabled\t&Másol",
    "1\t40026\tenabled\t&Beillesztés új képként",
    "1\tseparator",
    "1\t40019\tenabled\t&Képernyő-kivágás",
    "0\tpopup\tenabled\t&Eszközök",
    "1\tpopup\tenabled\tÁt&méretezés",
    "2\t40027\tenabled\t&Függőlegesen 1/2",
    "2\t40028\tenabled\t&Vízszintesen 1/2",
    "2\t40040\tgrayed\t&Méretre igazítás...",
    "1\tseparator",
    "1\tpopup\tenabled\t&Dithering",
    "2\t40007\tenabled\t&2 árnyalat",
    "2\t40008\tenabled\t&4 árnyalat",
    "2\t40009\tenabled\t&16 szín",
    "1\tpopup\tenabled\t&Legközelebbi színek",
    "2\t40022\tenabled\t&2 szín",
    "2\t40023\tenabled\t&4 szín",
    "2\t40024\tenabled\t&16 szín",
    "1\tpopup\tenabled\t&Szürke árnyalat",
    "2\t40010\tenabled\t&4 szürke (fekete-fehér módban)",
    "2\t40011\tenabled\t&16 szürke (fekete-fehér módban)",
    "2\t40012\tenabled\t&256 szürke",
    "1\tseparator",
    "1\t40029\tgrayed\t&Paletta...",
    "1\t40070\tgrayed\t&Tónus...",
    "1\tseparator",
    "1\t40025\tenabled\t&Beállítások...",
    "0\tpopup\tenabled\t&Nézet",
    "1\tpopup\tenabled\t&Nagyítás",
    "2\t40014\tenabled\t&Függőlegesen x2",
    "2\t40015\tenabled\t&Vízszintesen x2",
    "2\tseparator",
    "2\t40043\tenabled\t&Ablakhoz igazítás",
    "1\tpopup\tenabled\t&Kicsinyítés",
    "2\t40016\tenabled\t&Függőlegesen 1/2",
    "2\t40017\tenabled\t&Vízszintesen 1/2",
    "1\tseparator",
    "1\t40021\tenabled\tNé&gyszeres méret",
    "1\t40018\tenabled\tNo&rmál méret",
    "1\tseparator",
    "1\t40030\tgrayed\t&Színkapcsoló váltása",
    "1\tseparator",
    "1\t40005\tenabled\tKép &jellemzői...",
};

// Start without a picture: class, title, the whole menu tree, an all-margin window.
void scenarioStart(const std::wstring& exe) {
  Program program = start(exe, L"");
  sync(program.window);
  wchar_t className[64] = {};
  GetClassNameW(program.window, className, 64);
  checkText(narrow(className), "FoAblak", "window class");
  checkText(titleOf(program.window), "Vizorka", "title at start");
  const LONG style = GetWindowLongW(program.window, GWL_STYLE);
  check((style & WS_OVERLAPPEDWINDOW) == WS_OVERLAPPEDWINDOW, "overlapped-window style");

  openMenuPopups(program);
  const StateDump dump = dumpState(program);
  const size_t expectedCount = sizeof(kMenuTree) / sizeof(kMenuTree[0]);
  checkEqual(dump.menuLines.size(), expectedCount, "menu item count");
  for (size_t i = 0; i < expectedCount && i < dump.menuLines.size(); ++i)
    checkText(dump.menuLines[i], kMenuTree[i], "menu line " + std::to_string(i));
  checkEqual(dump.value("icon", 1), 1L, "the window class has the program icon");
  checkEqual(dump.value("horizontal", 2), 0L, "no horizontal scrolling without a picture");
  checkEqual(dump.value("vertical", 2), 0L, "no vertical scrolling without a picture");

  const Capture empty =
      captureWhen(program.window, [](const Capture& c) { return hatchedOutside(c, 0, 0, 0, 0); });
  check(hatchedOutside(empty, 0, 0, 0, 0), "the whole client area is hatched margin");

  // Pictures for the paste check: an empty clipboard pastes nothing.
  if (OpenClipboard(nullptr)) {
    EmptyClipboard();
    CloseClipboard();
  }
  command(program, ID_PASTE);
  checkText(titleOf(program.window), "Vizorka", "paste from an empty clipboard changes nothing");
  stop(program);
}

// A picture named on the command line (quoted, accented), its placement, margin,
// zoom and menu states; then indexed pictures through the open dialog.
void scenarioOpen(const std::wstring& exe) {
  const std::wstring accented = L"\u00e1rv\u00edzt\u0171r\u0151.bmp";  // árvíztűrő.bmp
  writeFile(accented, patternBmp(100, 50));
  Program program = start(exe, L"\"" + fullPath(accented) + L"\"");
  sync(program.window);
  checkText(titleOf(program.window), "Vizorka - [árvíztűrő.bmp]", "title after command-line Open");

  StateDump dump = dumpState(program);
  const DocumentFacts facts = documentOf(dump);
  checkEqual(facts.width, 100L, "picture width");
  checkEqual(facts.height, 50L, "picture height");
  checkEqual(facts.colourMode, 0L, "true colour");
  const long clientWidth = dump.value("client", 1);
  const long clientHeight = dump.value("client", 2);
  const int left = static_cast<int>((clientWidth - 100) / 2);
  const int top = static_cast<int>((clientHeight - 50) / 2);
  checkEqual(dump.value("view", 5), static_cast<long>(left), "picture centred across");
  checkEqual(dump.value("view", 6), static_cast<long>(top), "picture centred down");

  Capture shot = captureWhen(
      program.window, [&](const Capture& c) { return showsPattern(c, left, top, 100, 50, 1, 1); });
  check(showsPattern(shot, left, top, 100, 50, 1, 1), "every picture pixel in its place");
  check(hatchedOutside(shot, left, top, left + 100, top + 50), "hatched 0xC0C0C0 margin");

  openMenuPopups(program);
  dump = dumpState(program);
  check(!itemEnabled(dump, ID_FILE_SAVE_AS), "true colour: Save as greyed");
  check(!itemEnabled(dump, ID_COLOUR_SWITCH), "true colour: colour switch greyed");
  check(!itemEnabled(dump, ID_PALETTE), "true colour: palette greyed");
  check(itemEnabled(dump, ID_HALVE_VERTICALLY) && itemEnabled(dump, ID_HALVE_HORIZONTALLY),
        "true colour: halving enabled");

  command(program, ID_ZOOM_HORIZONTALLY);  // zoom across x2
  const int zoomedLeft = static_cast<int>((clientWidth - 200) / 2);
  shot = captureWhen(program.window, [&](const Capture& c) {
    return showsPattern(c, zoomedLeft, top, 100, 50, 2, 1);
  });
  check(showsPattern(shot, zoomedLeft, top, 100, 50, 2, 1), "zoom 2 x 1 doubles every column");
  check(hatchedOutside(shot, zoomedLeft, top, zoomedLeft + 200, top + 50),
        "margin around the zoomed picture");
  command(program, ID_NORMAL_SIZE);  // normal size
  checkEqual(dumpState(program).value("view", 1), 1L, "normal size resets the zoom");

  struct IndexedCase {
    const wchar_t* name;
    int bits;
    long colourMode;
    bool save, colourSwitch, palette;
  };
  const IndexedCase cases[] = {{L"mono.bmp", 1, 2, true, true, true},
                               {L"sixteen.bmp", 4, 16, true, true, false},
                               {L"index8.bmp", 8, 256, false, false, false}};
  for (const IndexedCase& c : cases) {
    std::vector<Rgb> palette;
    for (int i = 0; i < (1 << c.bits); ++i) palette.push_back(RGB(i * 13, 255 - i, i * 7));
    writeFile(c.name, makeBmp(40, 30, c.bits, palette,
                              [&](int x, int y) { return static_cast<uint32_t>(x + y); }));
    const std::string label = narrow(c.name);
    check(openThroughDialog(program, c.name), label + " opens through the open dialog");
    checkText(titleOf(program.window), "Vizorka - [" + label + "]", label + ": title");
    openMenuPopups(program);
    dump = dumpState(program);
    checkEqual(documentOf(dump).colourMode, c.colourMode, label + ": colour mode");
    checkEqual(itemEnabled(dump, ID_FILE_SAVE_AS), c.save, label + ": Save as state");
    checkEqual(itemEnabled(dump, ID_COLOUR_SWITCH), c.colourSwitch,
               label + ": colour switch state");
    checkEqual(itemEnabled(dump, ID_PALETTE), c.palette, label + ": palette state");
    checkEqual(itemEnabled(dump, ID_HALVE_VERTICALLY), false, label + ": halving greyed");
  }
  // The 8-bit picture's pixel (x, y) shows palette entry x + y.
  dump = dumpState(program);
  const int left8 = static_cast<int>(dump.value("view", 5));
  const int top8 = static_cast<int>(dump.value("view", 6));
  shot = captureWhen(program.window, [&](const Capture& c) {
    return c.at(left8 + 5, top8 + 7) == RGB(12 * 13, 255 - 12, 12 * 7);
  });
  checkEqual(shot.at(left8 + 5, top8 + 7), RGB(12 * 13, 255 - 12, 12 * 7),
             "indexed pixel shows its palette colour");

  // The colour switch shows a 16-colour picture's palette as grey levels.
  check(openThroughDialog(program, L"sixteen.bmp"), "sixteen.bmp opens again");
  command(program, ID_COLOUR_SWITCH);
  dump = dumpState(program);
  const int left4 = static_cast<int>(dump.value("view", 5));
  const int top4 = static_cast<int>(dump.value("view", 6));
  const COLORREF entry12 = RGB(12 * 13, 255 - 12, 12 * 7);
  const double weighted =
      GetBValue(entry12) * 0.11 + GetGValue(entry12) * 0.59 + GetRValue(entry12) * 0.3;
  const int grey = static_cast<int>(weighted);
  shot = captureWhen(program.window, [&](const Capture& c) {
    return c.at(left4 + 5, top4 + 7) == RGB(grey, grey, grey);
  });
  checkEqual(shot.at(left4 + 5, top4 + 7), RGB(grey, grey, grey),
             "colour switch: the pixel shows the grey level of its colour");
  stop(program);
}

// The messages of Open: cannot open, no extension, unknown extension. A file that
// gives no picture changes neither the picture nor the title.
void scenarioMessages(const std::wstring& exe) {
  Program program = start(exe, L"\"" + fullPath(L"hiányzó.bmp") + L"\"");
  MessageBoxSeen seen = answerMessageBox(program, IDOK);
  checkText(seen.caption, "Megnyitás", "cannot-open caption");
  checkText(seen.text, "A fájlt nem lehet megnyitni!", "cannot-open text");
  sync(program.window);
  checkText(titleOf(program.window), "Vizorka", "a missing file leaves the title");

  writeFile(L"picture.bmp", patternBmp(60, 40));
  check(openThroughDialog(program, L"picture.bmp"), "a picture opens");
  cancelOpenDialog(program);
  checkText(titleOf(program.window), "Vizorka - [picture.bmp]", "cancelled Open changes nothing");

  // No extension, and no signature a picture format starts with.
  const std::string words = "no picture here";
  writeFile(L"noext", std::vector<uint8_t>(words.begin(), words.end()));
  // The dialog closes before the message box; the window still answers while it shows.
  openThroughDialog(program, L"noext");
  seen = answerMessageBox(program, IDOK);
  checkText(seen.caption, "Megnyitás", "extension caption");
  checkText(seen.text, "A fájl kiterjesztése nem azonosítható!", "extension text");
  sync(program.window);
  checkText(titleOf(program.window), "Vizorka - [picture.bmp]",
            "the refused file leaves the title");
  checkEqual(documentOf(dumpState(program)).width, 60L, "the previous picture stays");

  writeFile(L"data.xyz", std::vector<uint8_t>(100, 0x55));
  // The dialog closes before the message box; the window still answers while it shows.
  openThroughDialog(program, L"data.xyz");
  seen = answerMessageBox(program, IDNO);
  checkText(seen.caption, "Megnyitás", "unknown-format caption");
  checkText(seen.text, "Ismeretlen formátumú fájl!\r\nFeldolgozzam mint 4-színű KEP fájlt?",
            "unknown-format question");
  sync(program.window);
  // The question comes before anything is released: No keeps the picture and its name.
  const DocumentFacts facts = documentOf(dumpState(program));
  checkEqual(facts.width, 60L, "answering No keeps the picture");
  checkEqual(facts.tvcPicture, 0L, "answering No keeps its kind");
  checkText(titleOf(program.window), "Vizorka - [picture.bmp]", "answering No keeps the title");
  stop(program);
}

// Scroll ranges and requests for a large picture; crops at zoom 1 and 2.
void scenarioView(const std::wstring& exe) {
  writeFile(L"large.bmp", patternBmp(1200, 900));
  Program program = start(exe, L"large.bmp");
  // It opens fitted to the window; at its own size it scrolls, from its top-left corner.
  command(program, ID_NORMAL_SIZE);
  StateDump dump = dumpState(program);
  const long clientWidth = dump.value("client", 1);
  const long clientHeight = dump.value("client", 2);
  checkEqual(dump.value("horizontal", 1), 0L, "horizontal minimum");
  checkEqual(dump.value("horizontal", 2), 1199L, "horizontal maximum is width - 1");
  checkEqual(dump.value("horizontal", 3), clientWidth, "horizontal page is the client width");
  checkEqual(dump.value("horizontal", 4), 0L, "a new picture starts at its left edge");
  checkEqual(dump.value("vertical", 4), 0L, "a new picture starts at its top edge");
  checkEqual(dump.value("vertical", 2), 899L, "vertical maximum is height - 1");
  checkEqual(dump.value("vertical", 3), clientHeight, "vertical page is the client height");
  const long startX = dump.value("horizontal", 4);

  const auto scroll = [&](UINT message, int code, int thumb = 0) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(pictureViewOf(program.window), message, MAKEWPARAM(code, thumb), 0,
                        SMTO_NORMAL, kWaitMs, &result);
    return dumpState(program);
  };
  dump = scroll(WM_HSCROLL, SB_LINEDOWN);
  checkEqual(dump.value("horizontal", 4), startX + 1, "line right");
  dump = scroll(WM_VSCROLL, SB_PAGEDOWN);
  checkEqual(dump.value("vertical", 4), 900 - clientHeight, "page down stops at the end");
  dump = scroll(WM_VSCROLL, SB_PAGEUP);
  checkEqual(dump.value("vertical", 4), 900 - 2 * clientHeight > 0 ? 900 - 2 * clientHeight : 0L,
             "page up");
  dump = scroll(WM_HSCROLL, SB_THUMBTRACK, 17);
  checkEqual(dump.value("horizontal", 4), 17L, "thumb track");
  dump = scroll(WM_HSCROLL, SB_LINEUP);
  checkEqual(dump.value("horizontal", 4), 16L, "line left");
  dump = scroll(WM_HSCROLL, SB_ENDSCROLL);
  checkEqual(dump.value("horizontal", 4), 16L, "end of scrolling moves nothing");
  const int scrollX = static_cast<int>(dump.value("horizontal", 4));
  const int scrollY = static_cast<int>(dump.value("vertical", 4));
  Capture shot = captureWhen(program.window, [&](const Capture& c) {
    return showsPattern(c, 0, 0, c.width, c.height, 1, 1, scrollX, scrollY);
  });
  check(showsPattern(shot, 0, 0, shot.width, shot.height, 1, 1, scrollX, scrollY),
        "the scrolled view shows the picture from the scroll position");
  stop(program);

  // Crop at zoom 1: the default 256 x 240 selection held by its bottom-right corner.
  writeFile(L"crop.bmp", patternBmp(400, 300));
  program = start(exe, L"crop.bmp");
  sync(program.window);
  dump = dumpState(program);
  const int left = static_cast<int>(dump.value("view", 5));
  const int top = static_cast<int>(dump.value("view", 6));
  command(program, ID_SCREEN_CROP);
  const int mouseX = left + 300, mouseY = top + 260;
  sendMouse(pictureViewOf(program.window), WM_MOUSEMOVE, 0, mouseX, mouseY);
  sync(program.window);
  checkEqual(dumpState(program).value("selection", 2), 1L, "the outline is shown");
  shot = captureWhen(program.window, [&](const Capture& c) {
    return c.at(mouseX, mouseY - 100) == (patternColour(300, 160) ^ 0xFFFFFF);
  });
  checkEqual(shot.at(mouseX, mouseY - 100), patternColour(300, 160) ^ 0xFFFFFF,
             "the outline inverts the picture (XOR white)");
  sendMouse(pictureViewOf(program.window), WM_LBUTTONDOWN, MK_LBUTTON, mouseX, mouseY);
  sync(program.window);
  dump = dumpState(program);
  checkEqual(documentOf(dump).width, 256L, "crop at zoom 1: width");
  checkEqual(documentOf(dump).height, 240L, "crop at zoom 1: height");
  checkEqual(dump.value("selection", 1), 0L, "selection mode ends with the click");
  const int cutLeft = static_cast<int>(dump.value("view", 5));
  const int cutTop = static_cast<int>(dump.value("view", 6));
  shot = captureWhen(program.window, [&](const Capture& c) {
    return showsPattern(c, cutLeft, cutTop, 256, 240, 1, 1, 44, 20);
  });
  check(showsPattern(shot, cutLeft, cutTop, 256, 240, 1, 1, 44, 20),
        "the cut shows columns 44.. and rows 20.. of the old picture");
  check(hatchedOutside(shot, cutLeft, cutTop, cutLeft + 256, cutTop + 240),
        "no outline left behind");

  // A click whose rectangle misses the picture cuts nothing.
  command(program, ID_SCREEN_CROP);
  sendMouse(pictureViewOf(program.window), WM_MOUSEMOVE, 0, cutLeft - 2, cutTop - 2);
  sendMouse(pictureViewOf(program.window), WM_LBUTTONDOWN, MK_LBUTTON, cutLeft - 2, cutTop - 2);
  sync(program.window);
  checkEqual(documentOf(dumpState(program)).width, 256L, "a missed click keeps the picture");
  stop(program);

  // Crop at zoom 2 x 2 (the selection doubles) and 2 x 1 (it does not).
  struct ZoomCase {
    int zoomCommand;
    long width, height;
    const char* label;
  };
  for (const ZoomCase& c : {ZoomCase{ID_FOURFOLD_SIZE, 256, 240, "zoom 2 x 2"},
                            ZoomCase{ID_ZOOM_HORIZONTALLY, 128, 240, "zoom 2 x 1"}}) {
    program = start(exe, L"crop.bmp");
    command(program, c.zoomCommand);
    command(program, ID_SCREEN_CROP);
    // Inside the picture: it scrolls across (800 wide); down it may be centred.
    const long imageTop = dumpState(program).value("view", 6);
    const int cropY = imageTop != 0 ? static_cast<int>(imageTop) + 260 : 500;
    sendMouse(pictureViewOf(program.window), WM_MOUSEMOVE, 0, 600, cropY);
    sendMouse(pictureViewOf(program.window), WM_LBUTTONDOWN, MK_LBUTTON, 600, cropY);
    sync(program.window);
    dump = dumpState(program);
    checkEqual(documentOf(dump).width, c.width, std::string("crop at ") + c.label + ": width");
    checkEqual(documentOf(dump).height, c.height, std::string("crop at ") + c.label + ": height");
    stop(program);
  }
}

// Copy then Paste gives the same pixels; a pasted device bitmap of 16 bits.
void scenarioClipboard(const std::wstring& exe) {
  writeFile(L"copy.bmp", patternBmp(100, 50));
  Program program = start(exe, L"copy.bmp");
  sync(program.window);
  command(program, ID_ZOOM_HORIZONTALLY);  // zoom 2 x 1 must not affect what is copied
  command(program, ID_EDIT_COPY);
  command(program, ID_NORMAL_SIZE);
  command(program, ID_PASTE);
  checkText(titleOf(program.window), "Vizorka - [nevtelen]", "title after Paste");
  StateDump dump = dumpState(program);
  checkEqual(documentOf(dump).width, 100L, "pasted width");
  checkEqual(documentOf(dump).height, 50L, "pasted height");
  checkEqual(documentOf(dump).colourMode, 0L, "pasted as true colour");
  const int left = static_cast<int>(dump.value("view", 5));
  const int top = static_cast<int>(dump.value("view", 6));
  const Capture shot = captureWhen(
      program.window, [&](const Capture& c) { return showsPattern(c, left, top, 100, 50, 1, 1); });
  check(showsPattern(shot, left, top, 100, 50, 1, 1), "Copy then Paste gives the same pixels");

  // A 16-bit device bitmap: white and black pixels become 24-bit true colour.
  std::vector<uint16_t> bits16(8 * 4, 0);
  for (int i = 0; i < 8; ++i) bits16[static_cast<size_t>(i)] = 0xFFFF;  // top row white
  HBITMAP bitmap = CreateBitmap(8, 4, 1, 16, bits16.data());
  BITMAP description{};
  GetObjectW(bitmap, sizeof(description), &description);
  checkEqual<long>(description.bmBitsPixel, 16L, "the driver made a 16-bit device bitmap");
  if (OpenClipboard(nullptr)) {
    EmptyClipboard();
    SetClipboardData(CF_BITMAP, bitmap);
    CloseClipboard();
  }
  command(program, ID_PASTE);
  dump = dumpState(program);
  checkEqual(documentOf(dump).width, 8L, "16-bit paste: width");
  checkEqual(documentOf(dump).colourMode, 0L, "16-bit paste: true colour");
  const int left16 = static_cast<int>(dump.value("view", 5));
  const int top16 = static_cast<int>(dump.value("view", 6));
  const Capture shot16 =
      captureWhen(program.window, [&](const Capture& c) { return c.at(left16, top16 + 3) == 0; });
  const COLORREF white = shot16.at(left16 + 3, top16);
  check(GetRValue(white) >= 248 && GetGValue(white) >= 248 && GetBValue(white) >= 248 &&
            GetRValue(white) == GetBValue(white),
        "16-bit white shows as white");
  checkEqual<COLORREF>(shot16.at(left16 + 3, top16 + 3), 0, "16-bit black shows as black");
  stop(program);
}

// Keys pressed together and let go in reverse order, as the keyboard sends them.
void pressKeys(const Program& program, std::initializer_list<WORD> keys) {
  SetForegroundWindow(program.window);
  std::vector<INPUT> inputs;
  for (WORD key : keys) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    inputs.push_back(input);
  }
  for (auto key = keys.end(); key != keys.begin();) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = *--key;
    input.ki.dwFlags = KEYEVENTF_KEYUP;
    inputs.push_back(input);
  }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// Drops a file on the window as the shell does: WM_DROPFILES with the file list. The
// list must be memory of the program's own, as the shell makes it there: a fixed
// block (a pointer, which GlobalLock gives back as it is) written into the program.
void dropFile(const Program& program, const std::wstring& name) {
  const std::wstring path = fullPath(name);
  std::vector<uint8_t> list(sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t), 0);
  auto* files = reinterpret_cast<DROPFILES*>(list.data());
  files->pFiles = sizeof(DROPFILES);
  files->fWide = TRUE;
  path.copy(reinterpret_cast<wchar_t*>(list.data() + sizeof(DROPFILES)), path.size());
  void* remote = VirtualAllocEx(program.process.hProcess, nullptr, list.size(),
                                MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  SIZE_T written = 0;
  check(remote &&
            WriteProcessMemory(program.process.hProcess, remote, list.data(), list.size(),
                               &written) &&
            written == list.size(),
        "the file list is in the program's memory");
  PostMessageW(program.window, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0);
}

// The window as today's users work it: a new picture from its top-left corner, the
// wheel and keys scroll, the status bar names the picture, Ctrl+Z and Ctrl+Y undo and
// redo a dither, Exit on a changed picture asks, a dropped file opens, Esc leaves crop
// mode, a shortcut works only while its menu item is enabled, a dropped PNG opens.
void scenarioEveryday(const std::wstring& exe) {
  writeFile(L"large.bmp", patternBmp(1200, 900));
  Program program = start(exe, L"large.bmp");
  // It opens fitted to the window; at its own size it scrolls, from its top-left corner.
  command(program, ID_NORMAL_SIZE);
  StateDump dump = dumpState(program);
  checkEqual(dump.value("horizontal", 4), 0L, "opened at the left edge");
  checkEqual(dump.value("vertical", 4), 0L, "opened at the top edge");
  checkText(dump.text("status", 1), "1200 × 900 képpont", "status bar: the size");
  checkText(dump.text("status", 2), "True color", "status bar: the kind");
  checkText(dump.text("status", 3), "Nagyítás: 1 × 1", "status bar: the zoom");
  checkText(dump.text("status", 4), "Csak 2, 4 vagy 16 színű kép menthető KEP fájlként!",
            "status bar: why Save as is greyed");

  const auto wheel = [&](int delta, WORD keys) {
    POINT middle{200, 200};
    ClientToScreen(program.window, &middle);
    DWORD_PTR result = 0;
    SendMessageTimeoutW(program.window, WM_MOUSEWHEEL, MAKEWPARAM(keys, delta),
                        MAKELPARAM(middle.x, middle.y), SMTO_NORMAL, kWaitMs, &result);
    return dumpState(program);
  };
  dump = wheel(-WHEEL_DELTA, 0);
  const long down = dump.value("vertical", 4);
  check(down > 0, "the wheel turned back scrolls down");
  checkEqual(dump.value("horizontal", 4), 0L, "the wheel alone does not scroll across");
  dump = wheel(WHEEL_DELTA, 0);
  checkEqual(dump.value("vertical", 4), 0L, "the wheel turned forward scrolls back up");
  dump = wheel(-WHEEL_DELTA, MK_SHIFT);
  checkEqual(dump.value("horizontal", 4), down, "Shift and the wheel scroll across");
  checkEqual(dump.value("vertical", 4), 0L, "Shift and the wheel do not scroll down");
  dump = wheel(WHEEL_DELTA, MK_CONTROL);
  checkEqual(dump.value("view", 1) * 10 + dump.value("view", 2), 22L, "Ctrl and the wheel zoom in");
  dump = wheel(-WHEEL_DELTA, MK_CONTROL);
  checkEqual(dump.value("view", 1) * 10 + dump.value("view", 2), 11L,
             "Ctrl and the wheel zoom out");

  // Sent, not posted: a sent message overtakes posted ones, so a posted key could still
  // wait in the queue when the state dump (sent) is answered.
  const auto key = [&](WORD virtualKey) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(program.window, WM_KEYDOWN, virtualKey, 0, SMTO_NORMAL, kWaitMs, &result);
    return dumpState(program);
  };
  dump = key(VK_END);
  checkEqual(dump.value("vertical", 4), 900 - dump.value("vertical", 3),
             "End scrolls to the bottom");
  dump = key(VK_HOME);
  checkEqual(dump.value("vertical", 4), 0L, "Home scrolls to the top");

  // Ctrl+Z undoes a dither exactly; Ctrl+Y does it again.
  const std::string opened = dump.text("pixels", 2);
  command(program, ID_DITHER_4);
  dump = dumpState(program);
  checkEqual(documentOf(dump).colourMode, 4L, "dithered to 4 colours");
  checkText(titleOf(program.window), "Vizorka - [large.bmp]*", "a changed picture's title");
  checkText(dump.text("status", 2), "TVC - 4 szín", "status bar: the new kind");
  openMenuPopups(program);
  check(itemEnabled(dumpState(program), ID_EDIT_UNDO), "Visszavonás enabled after a change");
  pressKeys(program, {VK_CONTROL, 'Z'});
  waitFor([&] { return documentOf(dumpState(program)).colourMode == 0; });
  dump = dumpState(program);
  checkEqual(documentOf(dump).colourMode, 0L, "Ctrl+Z: true colour again");
  checkText(dump.text("pixels", 2), opened, "Ctrl+Z: the opened pixels again");
  checkText(titleOf(program.window), "Vizorka - [large.bmp]", "Ctrl+Z: unchanged again");
  pressKeys(program, {VK_CONTROL, 'Y'});
  waitFor([&] { return documentOf(dumpState(program)).colourMode == 4; });
  checkEqual(documentOf(dumpState(program)).colourMode, 4L, "Ctrl+Y: dithered again");

  // Exit and closing the window ask about the changed picture; Mégse keeps the window.
  for (UINT message : {static_cast<UINT>(WM_COMMAND), static_cast<UINT>(WM_CLOSE)}) {
    PostMessageW(program.window, message, message == WM_COMMAND ? ID_FILE_EXIT : 0, 0);
    const MessageBoxSeen seen = answerMessageBox(program, IDCANCEL);
    checkText(seen.caption, "Kilépés", "the question's caption");
    checkText(seen.text, "A kép megváltozott!\r\nMentsem KEP fájlként?", "the question");
    sync(program.window);
    check(IsWindowVisible(program.window) != FALSE, "Mégse keeps the window");
    checkText(titleOf(program.window), "Vizorka - [large.bmp]*", "Mégse keeps the picture");
  }

  // A dropped file opens as Open does, after the same question ("Nem": let it go).
  writeFile(L"dropped.bmp", patternBmp(60, 40));
  dropFile(program, L"dropped.bmp");
  const MessageBoxSeen asked = answerMessageBox(program, IDNO);
  checkText(asked.caption, "Megnyitás", "a drop asks as Open does");
  sync(program.window);
  waitFor([&] { return documentOf(dumpState(program)).width == 60; });
  dump = dumpState(program);
  checkEqual(documentOf(dump).width, 60L, "the dropped picture is open");
  checkText(titleOf(program.window), "Vizorka - [dropped.bmp]", "the dropped file's title");
  checkEqual(dump.value("history", 1) + dump.value("history", 2), 0L,
             "a dropped picture starts a fresh history");

  // Esc leaves crop mode, as the right button does; meanwhile the status bar says so.
  command(program, ID_SCREEN_CROP);
  dump = dumpState(program);
  checkEqual(dump.value("selection", 1), 1L, "crop mode is on");
  checkText(dump.text("status", 4), "Kivágás: 256 × 240", "status bar: the crop size");
  dump = key(VK_ESCAPE);
  checkEqual(dump.value("selection", 1), 0L, "Esc leaves crop mode");

  // Ctrl+S does nothing while Save as is greyed (true colour); Ctrl+O shows the open
  // dialog, the first dialog to appear.
  pressKeys(program, {VK_CONTROL, 'S'});
  pressKeys(program, {VK_CONTROL, 'O'});
  HWND dialog = nullptr;
  EditSearch search{nullptr};
  waitFor([&] {
    dialog = findWindowOf(program.process.dwProcessId, L"#32770");
    if (dialog) EnumChildWindows(dialog, findFileNameEdit, reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
  });
  check(search.found != nullptr, "Ctrl+O shows the open dialog, Ctrl+S nothing");
  if (dialog) {
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    waitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); });
  }
  sync(program.window);
  checkText(titleOf(program.window), "Vizorka - [dropped.bmp]", "the cancelled dialog keeps it");

  // A dropped PNG: 30 x 20 pixels of (200, 100, 50), each row below the first stored as
  // its difference from the row above.
  writeFile(L"dropped.png",
            {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49,
             0x48, 0x44, 0x52, 0x00, 0x00, 0x00, 0x1E, 0x00, 0x00, 0x00, 0x14, 0x08, 0x02,
             0x00, 0x00, 0x00, 0x15, 0xC9, 0x1A, 0x93, 0x00, 0x00, 0x00, 0x22, 0x49, 0x44,
             0x41, 0x54, 0x78, 0xDA, 0x63, 0x3A, 0x91, 0x62, 0x44, 0x23, 0xC4, 0xC4, 0x40,
             0x33, 0x30, 0x6A, 0xF4, 0xA8, 0xD1, 0xA3, 0x46, 0x8F, 0x1A, 0x3D, 0x6A, 0xF4,
             0xA8, 0xD1, 0xB4, 0x33, 0x1A, 0x00, 0x0C, 0xE9, 0x29, 0x2D, 0x34, 0x29, 0x67,
             0xC5, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82});
  dropFile(program, L"dropped.png");
  waitFor([&] { return documentOf(dumpState(program)).width == 30; });
  dump = dumpState(program);
  const DocumentFacts png = documentOf(dump);
  checkEqual(png.width * 100 + png.height, 3020L, "the dropped PNG is open, 30 x 20");
  checkEqual(png.colourMode, 0L, "an RGB PNG is true colour");
  checkText(titleOf(program.window), "Vizorka - [dropped.png]", "the dropped PNG's title");
  const int pngLeft = static_cast<int>(dump.value("view", 5));
  const int pngTop = static_cast<int>(dump.value("view", 6));
  const Capture shot = captureWhen(program.window, [&](const Capture& c) {
    return c.at(pngLeft + 29, pngTop + 19) == RGB(200, 100, 50);
  });
  checkEqual(shot.at(pngLeft + 29, pngTop + 19), RGB(200, 100, 50),
             "the PNG's last pixel shows its colour");
  stop(program);
}

// Four flat quarters (red, green, blue, white): the averaged picture keeps each colour
// away from the borders between them.
COLORREF quarterColour(int x, int y, int width, int height) {
  const bool right = x >= width / 2, bottom = y >= height / 2;
  if (!right && !bottom) return RGB(255, 0, 0);
  if (right && !bottom) return RGB(0, 255, 0);
  return right ? RGB(255, 255, 255) : RGB(0, 0, 255);
}

// Waits for the program's dialog with this caption.
HWND waitForCaption(const Program& program, const std::string& caption) {
  HWND dialog = nullptr;
  waitFor([&] {
    dialog = findWindowOf(program.process.dwProcessId, L"#32770");
    return dialog && titleOf(dialog) == caption;
  });
  check(dialog && titleOf(dialog) == caption, "the dialog \"" + caption + "\" appears");
  return dialog;
}

// A 4000 x 3000 photo opens fitted to the window and whole; at its own size the
// horizontal scroll bar lies above the status bar; Ctrl+S after Save as writes the file
// again without a dialog, and Save as has moved to Ctrl+Shift+S.
void scenarioFitAndSave(const std::wstring& exe) {
  writeFile(L"nagy.bmp", makeBmp(4000, 3000, 24, {}, [](int x, int y) {
              return static_cast<uint32_t>(quarterColour(x, y, 4000, 3000));
            }));
  Program program = start(exe, L"nagy.bmp");
  StateDump dump = dumpState(program);
  const long clientWidth = dump.value("client", 1), clientHeight = dump.value("client", 2);
  const long fittedWidth = dump.value("view", 11), fittedHeight = dump.value("view", 12);
  checkEqual(dump.value("view", 10), 1L, "a picture larger than the window opens fitted");
  check(fittedWidth > 0 && fittedWidth <= clientWidth && fittedHeight <= clientHeight &&
            (fittedWidth == clientWidth || fittedHeight == clientHeight),
        "the fitted picture fills the window one way and fits it the other");
  check(std::abs(fittedWidth * 3 - fittedHeight * 4) <= 4, "the fitted picture keeps its shape");
  checkEqual(dump.value("horizontal", 2) + dump.value("vertical", 2), 0L, "nothing to scroll");
  checkText(dump.text("status", 1), "4000 × 3000 képpont", "status bar: the document's size");
  check(dump.text("status", 3).rfind("Ablakhoz igazítva: ", 0) == 0,
        "status bar: the fitted view (" + dump.text("status", 3) + ")");
  checkEqual(documentOf(dump).width, 4000L, "the document keeps its size");

  const int left = static_cast<int>(dump.value("view", 5));
  const int top = static_cast<int>(dump.value("view", 6));
  const int width = static_cast<int>(fittedWidth), height = static_cast<int>(fittedHeight);
  const auto wholeAndFitted = [&](const Capture& c) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const bool nearBorder = std::abs(2 * x - width) <= 4 || std::abs(2 * y - height) <= 4;
        if (!nearBorder && c.at(left + x, top + y) != quarterColour(x, y, width, height))
          return false;
      }
    return hatchedOutside(c, left, top, left + width, top + height);
  };
  check(wholeAndFitted(captureWhen(program.window, wholeAndFitted)),
        "every quarter shows in its place, the margin around the whole picture");

  // At its own size the picture scrolls; the bars belong to the view above the status bar.
  command(program, ID_NORMAL_SIZE);
  dump = dumpState(program);
  checkEqual(dump.value("view", 10), 0L, "normal size ends the fitting");
  checkEqual(dump.value("horizontal", 2), 3999L, "normal size scrolls across");
  const long barTop = dump.value("horizontalBar", 2), barBottom = dump.value("horizontalBar", 4);
  const long statusTop = dump.value("statusBar", 2);
  check(barBottom > barTop, "the horizontal scroll bar is shown");
  check(barBottom <= statusTop, "the horizontal scroll bar is above the status bar (" +
                                    std::to_string(barBottom) + " <= " + std::to_string(statusTop) +
                                    ")");
  check(dump.value("pictureView", 4) <= statusTop, "the view ends above the status bar");
  command(program, ID_FIT_TO_WINDOW);
  dump = dumpState(program);
  checkEqual(dump.value("view", 11), fittedWidth, "\"Ablakhoz igazítás\" fits it again");

  // The status bar's parts: all of them whole in a wide window; in one 600 pixels wide
  // the least important, the reason Save as is greyed, gives way to the others.
  for (const int windowWidth : {1000, 600}) {
    SetWindowPos(program.window, nullptr, 0, 0, windowWidth, 500,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
    waitFor([&] {
      RECT frame{};
      GetWindowRect(program.window, &frame);
      return frame.right - frame.left == windowWidth;
    });
    sync(program.window);
    dump = dumpState(program);
    for (int part = 0; part < 4; ++part) {
      const std::string name = "statusPart" + std::to_string(part);
      const long partWidth = dump.value(name, 1), text = dump.value(name, 2);
      const bool whole = text + 4 <= partWidth;
      const std::string what = std::to_string(windowWidth) + " wide: \"" +
                               dump.text("status", static_cast<size_t>(part) + 1) + "\" (" +
                               std::to_string(text) + " in " + std::to_string(partWidth) + ")";
      if (part < 3 || windowWidth == 1000)
        check(whole, what + " shows whole");
      else
        std::printf("note: %s\n", what.c_str());
    }
  }
  // Crop mode on the fitted picture: the rectangle is reduced with it, the status bar
  // names document pixels, and the cut keeps the crop size of the document, or nearly.
  dump = dumpState(program);
  const int fitLeft = static_cast<int>(dump.value("view", 5));
  const int fitTop = static_cast<int>(dump.value("view", 6));
  const int mouseX = fitLeft + static_cast<int>(dump.value("view", 11)) * 3 / 4;
  const int mouseY = fitTop + static_cast<int>(dump.value("view", 12)) * 3 / 4;
  command(program, ID_SCREEN_CROP);
  sendMouse(pictureViewOf(program.window), WM_MOUSEMOVE, 0, mouseX, mouseY);
  waitFor([&] { return dumpState(program).value("selection", 2) == 1; });
  const std::string cropText = dumpState(program).text("status", 4);
  sendMouse(pictureViewOf(program.window), WM_LBUTTONDOWN, MK_LBUTTON, mouseX, mouseY);
  waitFor([&] { return documentOf(dumpState(program)).width < 4000; });
  const DocumentFacts cut = documentOf(dumpState(program));
  check(cut.width >= 250 && cut.width <= 262 && cut.height >= 234 && cut.height <= 246,
        "the fitted view's crop cuts about 256 x 240 document pixels (" +
            std::to_string(cut.width) + " x " + std::to_string(cut.height) + ")");
  const std::string size = std::to_string(cut.width) + " × " + std::to_string(cut.height);
  check(cropText.size() > size.size() &&
            cropText.compare(cropText.size() - size.size(), size.size(), size) == 0,
        "the status bar named the cut in document pixels (" + cropText + ")");
  stop(program);

  // Ctrl+S before any save is Save as, dialogs and all; after it, no dialog.
  writeFile(L"kicsi.bmp", patternBmp(64, 48));
  program = start(exe, L"kicsi.bmp");
  command(program, ID_DITHER_4);
  pressKeys(program, {VK_CONTROL, 'S'});
  HWND options = waitForCaption(program, "Mentés beállításai");
  if (options) PostMessageW(options, WM_COMMAND, IDOK, 0);
  check(chooseInFileDialog(program, L"mentes.kep"), "the first Ctrl+S saves through the dialogs");
  checkText(titleOf(program.window), "Vizorka - [mentes.kep]", "the saved file names the title");
  const std::vector<uint8_t> saved = readFile(L"mentes.kep");
  check(saved.size() > 16, "the file is written");
  DeleteFileW(L"mentes.kep");
  pressKeys(program, {VK_CONTROL, 'S'});
  bool dialogSeen = false;
  const bool written = waitFor([&] {
    dialogSeen = dialogSeen || findWindowOf(program.process.dwProcessId, L"#32770") != nullptr;
    return readFile(L"mentes.kep").size() == saved.size();
  });
  check(written && readFile(L"mentes.kep") == saved, "Ctrl+S writes the same bytes again");
  sync(program.window);
  check(!dialogSeen && !findWindowOf(program.process.dwProcessId, L"#32770"),
        "Ctrl+S shows no dialog");
  pressKeys(program, {VK_CONTROL, VK_SHIFT, 'S'});
  options = waitForCaption(program, "Mentés beállításai");
  if (options) PostMessageW(options, WM_COMMAND, IDCANCEL, 0);
  waitFor([&] { return !IsWindow(options) || !IsWindowVisible(options); });
  sync(program.window);
  stop(program);
}

// A converted picture keeps its title, picture and undo history when a .webp file, a
// folder and a text file named .png are dropped on it in turn.
void scenarioFailedOpen(const std::wstring& exe) {
  writeFile(L"racs.bmp", patternBmp(64, 48));
  Program program = start(exe, L"racs.bmp");
  command(program, ID_DITHER_4);
  const StateDump before = dumpState(program);
  checkText(titleOf(program.window), "Vizorka - [racs.bmp]*", "the converted picture's title");
  checkEqual(before.value("history", 1), 1L, "one step to undo");

  // A lossless WebP picture of 1 x 1 pixel: a format the program does not read.
  writeFile(L"kep.webp", {'R',  'I',  'F',  'F',  0x1A, 0,    0,    0,    'W',  'E', 'B', 'P',
                          'V',  'P',  '8',  'L',  0x0D, 0,    0,    0,    0x2F, 0,   0,   0,
                          0x10, 0x07, 0x10, 0x11, 0x11, 0x88, 0x88, 0xFE, 0x07, 0});
  CreateDirectoryW(L"mappa.jpg", nullptr);
  const std::string words = "Ez nem kep, csak szoveg.\r\n";
  writeFile(L"szoveg.png", std::vector<uint8_t>(words.begin(), words.end()));
  struct Drop {
    const wchar_t* name;
    const char* message;
  };
  for (const Drop& drop : {Drop{L"kep.webp", "A fájl kiterjesztése nem azonosítható!"},
                           Drop{L"mappa.jpg", "A fájlt nem lehet megnyitni!"},
                           Drop{L"szoveg.png", "Hiba a dekódolás során!"}}) {
    const std::string label = narrow(drop.name);
    dropFile(program, drop.name);
    // The question about the changed picture comes first: "Nem" lets it go.
    MessageBoxSeen seen = answerMessageBox(program, IDNO);
    checkText(seen.text, "A kép megváltozott!\r\nMentsem KEP fájlként?", label + ": the question");
    seen = answerMessageBox(program, IDOK);
    checkText(seen.caption, "Megnyitás", label + ": the message's caption");
    checkText(seen.text, drop.message, label + ": the message");
    sync(program.window);
    const StateDump after = dumpState(program);
    checkText(titleOf(program.window), "Vizorka - [racs.bmp]*", label + ": the title stays");
    checkText(after.text("pixels", 2), before.text("pixels", 2), label + ": the picture stays");
    checkEqual(documentOf(after).colourMode, 4L, label + ": still 4 colours");
    checkEqual(after.value("history", 1), 1L, label + ": the undo step stays");
    checkEqual(after.value("history", 3), 1L, label + ": still marked changed");
  }
  pressKeys(program, {VK_CONTROL, 'Z'});
  waitFor([&] { return documentOf(dumpState(program)).colourMode == 0; });
  checkEqual(documentOf(dumpState(program)).colourMode, 0L, "Ctrl+Z still undoes the dither");
  checkText(titleOf(program.window), "Vizorka - [racs.bmp]", "and the title follows");
  stop(program);
}

// The program's own build answers no state-dump request: it writes nothing anywhere.
void scenarioRelease(const std::wstring& exe) {
  Program program = start(exe, L"");
  sync(program.window);
  const std::wstring path = fullPath(L"nem-irhato.txt");
  DWORD_PTR answered = 1;
  check(requestStateDump(program, path, answered), "the program answers the message");
  checkEqual<long>(static_cast<long>(answered), 0L, "the request is not taken up");
  check(GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES, "no file is written");
  stop(program);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::printf(
        "usage: vizorka_driver start|open|messages|view|clipboard|everyday|fit|failedopen "
        "PATH\\Vizorka-test.exe\n"
        "       vizorka_driver release PATH\\Vizorka.exe\n");
    return 2;
  }
  // The real pointer would send stray mouse moves into the window: park it far away.
  SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
  const std::wstring scenario = argv[1];
  const std::wstring exe = argv[2];
  if (scenario == L"start")
    scenarioStart(exe);
  else if (scenario == L"open")
    scenarioOpen(exe);
  else if (scenario == L"messages")
    scenarioMessages(exe);
  else if (scenario == L"view")
    scenarioView(exe);
  else if (scenario == L"clipboard")
    scenarioClipboard(exe);
  else if (scenario == L"everyday")
    scenarioEveryday(exe);
  else if (scenario == L"fit")
    scenarioFitAndSave(exe);
  else if (scenario == L"failedopen")
    scenarioFailedOpen(exe);
  else if (scenario == L"release")
    scenarioRelease(exe);
  else
    return 2;
  std::printf("%d check(s) failed\n", failures);
  return failures == 0 ? 0 : 1;
}
