// Helpers shared by the driver programs that steer the real Vizorka.exe under Wine:
// test pictures, starting and stopping the program, its state dump, dialogs and
// message boxes, and captures of what the screen shows. Each driver is one program
// that includes this file once.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "converter/resources/resource.h"

namespace driver {

constexpr ULONG_PTR kStateDumpRequest = 0x565A5354;
constexpr DWORD kWaitMs = 15000;
constexpr COLORREF kHatch = RGB(0xC0, 0xC0, 0xC0);
constexpr COLORREF kWhite = RGB(0xFF, 0xFF, 0xFF);

// Checks that did not hold so far in this run.
inline int failures = 0;

inline std::string narrow(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size > 0 ? size - 1 : 0), '\0');
  if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], size, nullptr, nullptr);
  return out;
}

inline void check(bool condition, const std::string& what) {
  std::printf("%s: %s [%lu]\n", condition ? "ok" : "FAIL", what.c_str(), GetTickCount());
  std::fflush(stdout);
  if (!condition) ++failures;
}

template <typename T>
inline void checkEqual(const T& actual, const T& expected, const std::string& what) {
  std::ostringstream text;
  text << what;
  if (!(actual == expected)) text << " (got " << actual << ", expected " << expected << ")";
  check(actual == expected, text.str());
}

inline void checkText(const std::string& actual, const std::string& expected,
                      const std::string& what) {
  check(actual == expected,
        what +
            (actual == expected ? "" : " (got \"" + actual + "\", expected \"" + expected + "\")"));
}

// Polls until the condition holds or the deadline passes.
inline bool waitFor(const std::function<bool()>& condition, DWORD timeoutMs = kWaitMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(50);
  }
}

// ---- test pictures ----------------------------------------------------------------

using Rgb = COLORREF;

inline Rgb patternColour(int x, int y) {
  return RGB((x * 7 + 3) & 0xFF, (y * 5 + 11) & 0xFF, ((x + y) * 3 + 40) & 0xFF);
}

inline void putU32(std::vector<uint8_t>& out, uint32_t value, int bytes = 4) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// An uncompressed bottom-up BMP: 24 bits, or 1, 4 or 8 bits with a palette.
inline std::vector<uint8_t> makeBmp(int width, int height, int bits,
                                    const std::vector<Rgb>& palette,
                                    const std::function<uint32_t(int, int)>& pixel) {
  const uint32_t stride = static_cast<uint32_t>((width * bits + 31) / 32 * 4);
  const uint32_t offset = 14 + 40 + 4 * static_cast<uint32_t>(palette.size());
  std::vector<uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  putU32(out, offset + stride * static_cast<uint32_t>(height));
  putU32(out, 0);
  putU32(out, offset);
  putU32(out, 40);
  putU32(out, static_cast<uint32_t>(width));
  putU32(out, static_cast<uint32_t>(height));
  putU32(out, 1, 2);
  putU32(out, static_cast<uint32_t>(bits), 2);
  putU32(out, 0);
  putU32(out, stride * static_cast<uint32_t>(height));
  putU32(out, 2835);
  putU32(out, 2835);
  putU32(out, static_cast<uint32_t>(palette.size()));
  putU32(out, 0);
  for (Rgb colour : palette) {
    out.push_back(GetBValue(colour));
    out.push_back(GetGValue(colour));
    out.push_back(GetRValue(colour));
    out.push_back(0);
  }
  for (int y = height - 1; y >= 0; --y) {
    std::vector<uint8_t> row(stride, 0);
    for (int x = 0; x < width; ++x) {
      const uint32_t value = pixel(x, y);
      if (bits == 24) {
        row[3 * x] = GetBValue(value);
        row[3 * x + 1] = GetGValue(value);
        row[3 * x + 2] = GetRValue(value);
      } else if (bits == 8) {
        row[x] = static_cast<uint8_t>(value);
      } else if (bits == 4) {
        row[x / 2] |= static_cast<uint8_t>((value & 15) << (x % 2 ? 0 : 4));
      } else {
        row[x / 8] |= static_cast<uint8_t>((value & 1) << (7 - x % 8));
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

inline std::vector<uint8_t> patternBmp(int width, int height) {
  return makeBmp(width, height, 24, {}, [](int x, int y) { return patternColour(x, y); });
}

inline void writeFile(const std::wstring& name, const std::vector<uint8_t>& bytes) {
  HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  if (file != INVALID_HANDLE_VALUE) {
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
  }
  if (written != bytes.size()) {
    std::printf("FAIL: cannot write %s\n", narrow(name).c_str());
    std::exit(2);
  }
}

inline std::wstring fullPath(const std::wstring& name) {
  wchar_t buffer[MAX_PATH];
  GetFullPathNameW(name.c_str(), MAX_PATH, buffer, nullptr);
  return buffer;
}

// ---- the program under test ---------------------------------------------------------

struct Program {
  PROCESS_INFORMATION process{};
  HWND window = nullptr;
};

struct WindowSearch {
  DWORD processId;
  const wchar_t* className;
  HWND found;
  HWND except = nullptr;  // a window of the class not to be found (a dialog under a box)
};

inline BOOL CALLBACK matchWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<WindowSearch*>(parameter);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (processId == search->processId && IsWindowVisible(window) && window != search->except &&
      lstrcmpW(name, search->className) == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

inline HWND findWindowOf(DWORD processId, const wchar_t* className, HWND except = nullptr) {
  WindowSearch search{processId, className, nullptr, except};
  EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Waits until the window has handled everything sent before.
// Mouse messages are sent, not posted: a posted one could be overtaken by the sent
// messages (WM_NULL, the state dump) that the checks after it rely on.
inline void sendMouse(HWND target, UINT message, WPARAM keys, int x, int y) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(target, message, keys, MAKELPARAM(x, y), SMTO_NORMAL, kWaitMs, &result);
}

inline bool sync(HWND window) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kWaitMs, &result) != 0;
}

inline Program start(const std::wstring& exe, const std::wstring& arguments) {
  Program program;
  std::wstring commandLine = L"\"" + exe + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &program.process)) {
    std::printf("FAIL: cannot start %s\n", narrow(exe).c_str());
    std::exit(2);
  }
  WaitForInputIdle(program.process.hProcess, kWaitMs);
  waitFor([&] {
    program.window = findWindowOf(program.process.dwProcessId, L"FoAblak");
    return program.window != nullptr;
  });
  if (!program.window) {
    std::printf("FAIL: no FoAblak window\n");
    std::exit(2);
  }
  return program;
}

inline BOOL CALLBACK collectStaticText(HWND child, LPARAM parameter);

// Exit through the menu command and wait for the process; terminate it if it hangs.
// A changed picture is let go: the question about saving it is answered "Nem", the
// one about discarding it (a picture that cannot be saved as KEP) "Igen".
inline void stop(Program& program) {
  PostMessageW(program.window, WM_COMMAND, ID_FILE_EXIT, 0);
  const bool ended = waitFor([&] {
    if (WaitForSingleObject(program.process.hProcess, 0) == WAIT_OBJECT_0) return true;
    HWND box = findWindowOf(program.process.dwProcessId, L"#32770");
    wchar_t caption[32] = {};
    if (box) GetWindowTextW(box, caption, 32);
    if (box && lstrcmpW(caption, L"Kil\u00e9p\u00e9s") == 0) {
      std::wstring text;
      EnumChildWindows(box, collectStaticText, reinterpret_cast<LPARAM>(&text));
      const bool discard = text.find(L"Elveted") != std::wstring::npos;
      PostMessageW(box, WM_COMMAND, discard ? IDYES : IDNO, 0);
    }
    return false;
  });
  if (!ended) {
    check(false, "Vizorka ends on Exit");
    TerminateProcess(program.process.hProcess, 1);
  } else {
    DWORD code = 1;
    GetExitCodeProcess(program.process.hProcess, &code);
    checkEqual<DWORD>(code, 0, "exit code after Exit");
  }
  CloseHandle(program.process.hThread);
  CloseHandle(program.process.hProcess);
}

inline void command(const Program& program, int id) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(program.window, WM_COMMAND, static_cast<WPARAM>(id), 0, SMTO_NORMAL, kWaitMs,
                      &result);
}

inline std::string titleOf(HWND window) {
  wchar_t text[600] = {};
  GetWindowTextW(window, text, 600);
  return narrow(text);
}

// ---- the state dump ---------------------------------------------------------------

struct StateDump {
  std::map<std::string, std::vector<std::string>> records;  // by first field
  std::vector<std::string> menuLines;                       // "depth id state text"
  std::vector<std::vector<std::string>> labelLines;         // "label caption id text needed has"
  long value(const std::string& record, size_t field) const {
    const auto found = records.find(record);
    if (found == records.end() || field >= found->second.size()) return -99999;
    return std::strtol(found->second[field].c_str(), nullptr, 10);
  }
  std::string text(const std::string& record, size_t field) const {
    const auto found = records.find(record);
    if (found == records.end() || field >= found->second.size()) return "";
    return found->second[field];
  }
};

inline std::vector<uint8_t> readFile(const std::wstring& name) {
  std::vector<uint8_t> bytes;
  HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  uint8_t buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
    bytes.insert(bytes.end(), buffer, buffer + read);
  CloseHandle(file);
  return bytes;
}

// Asks the window for its state dump into `path` (deleted first); false when the
// message went unanswered. `answer` is what the window returned.
inline bool requestStateDump(const Program& program, const std::wstring& path, DWORD_PTR& answer) {
  DeleteFileW(path.c_str());
  COPYDATASTRUCT request{};
  request.dwData = kStateDumpRequest;
  request.cbData = static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t));
  request.lpData = const_cast<wchar_t*>(path.c_str());
  answer = 0;
  return SendMessageTimeoutW(program.window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&request),
                             SMTO_NORMAL, kWaitMs, &answer) != 0;
}

inline StateDump dumpState(const Program& program) {
  const std::wstring path = fullPath(L"state-dump.txt");
  DWORD_PTR answered = 0;
  requestStateDump(program, path, answered);
  StateDump dump;
  const std::vector<uint8_t> bytes = readFile(path);
  const std::string text(bytes.begin(), bytes.end());
  if (!answered || text.empty()) check(false, "state dump answered");
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> fields;
    std::istringstream parts(line);
    std::string field;
    while (std::getline(parts, field, '\t')) fields.push_back(field);
    if (fields.empty()) continue;
    if (fields[0] == "menu") {
      dump.menuLines.push_back(line.substr(5));
    } else if (fields[0] == "label") {
      dump.labelLines.push_back(fields);
    } else {
      const std::string key = fields[0] == "scroll" ? fields[1] : fields[0];
      if (fields[0] == "scroll") fields.erase(fields.begin());
      dump.records[key] = fields;
    }
  }
  return dump;
}

struct DocumentFacts {
  long width, height, colourMode, tvcPicture;
};

inline DocumentFacts documentOf(const StateDump& dump) {
  return {dump.value("document", 1), dump.value("document", 2), dump.value("document", 3),
          dump.value("document", 5)};
}

// Opens the popups the way the menu bar does before it shows them.
inline void openMenuPopups(const Program& program) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(program.window, WM_INITMENUPOPUP, 0, 0, SMTO_NORMAL, kWaitMs, &result);
}

inline bool itemEnabled(const StateDump& dump, int id) {
  const std::string prefix = "\t" + std::to_string(id) + "\t";
  for (const std::string& line : dump.menuLines)
    if (line.find(prefix) != std::string::npos)
      return line.find("\tenabled\t") != std::string::npos;
  return false;
}

// ---- dialogs and message boxes --------------------------------------------------------

inline HWND waitForDialog(const Program& program, HWND except = nullptr) {
  HWND dialog = nullptr;
  waitFor([&] {
    dialog = findWindowOf(program.process.dwProcessId, L"#32770", except);
    return dialog != nullptr;
  });
  return dialog;
}

inline BOOL CALLBACK collectStaticText(HWND child, LPARAM parameter) {
  wchar_t name[32] = {};
  GetClassNameW(child, name, 32);
  wchar_t text[512] = {};
  GetWindowTextW(child, text, 512);
  if (lstrcmpiW(name, L"Static") == 0 && text[0])
    *reinterpret_cast<std::wstring*>(parameter) = text;
  return TRUE;
}

struct MessageBoxSeen {
  std::string caption;
  std::string text;
};

// Reads the message box the program shows and closes it with the given button.
// `over` is a dialog that stays open under the box.
inline MessageBoxSeen answerMessageBox(const Program& program, int button, HWND over = nullptr) {
  MessageBoxSeen seen;
  HWND box = waitForDialog(program, over);
  if (!box) {
    check(false, "a message box appears");
    return seen;
  }
  std::wstring text;
  EnumChildWindows(box, collectStaticText, reinterpret_cast<LPARAM>(&text));
  seen.caption = titleOf(box);
  seen.text = narrow(text);
  PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(button), 0);
  waitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); });
  return seen;
}

struct EditSearch {
  HWND found;
};

inline BOOL CALLBACK findFileNameEdit(HWND child, LPARAM parameter) {
  auto* search = reinterpret_cast<EditSearch*>(parameter);
  wchar_t name[32] = {};
  GetClassNameW(child, name, 32);
  const int id = GetDlgCtrlID(child);
  // The file-name field: edt1, or the edit inside the cmb13 combo box.
  HWND parent = GetParent(child);
  const bool inFileNameCombo = parent && GetDlgCtrlID(parent) == 0x47C;
  if (lstrcmpiW(name, L"Edit") == 0 && (id == 0x480 || inFileNameCombo)) {
    search->found = child;
    return FALSE;
  }
  return TRUE;
}

// Waits for the program's open or save dialog, types the full path of `name` into its
// file-name field and confirms; true once the program has gone on from the dialog.
inline bool chooseInFileDialog(const Program& program, const std::wstring& name) {
  HWND dialog = nullptr;
  EditSearch search{nullptr};
  waitFor([&] {
    dialog = findWindowOf(program.process.dwProcessId, L"#32770");
    search.found = nullptr;
    if (dialog) EnumChildWindows(dialog, findFileNameEdit, reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
  });
  if (!search.found) return false;
  const std::wstring path = fullPath(name);
  DWORD_PTR result = 0;
  SendMessageTimeoutW(search.found, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()),
                      SMTO_NORMAL, kWaitMs, &result);
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  return waitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }) &&
         sync(program.window);
}

// Opens a file through the program's open dialog, typing its full path.
inline bool openThroughDialog(const Program& program, const std::wstring& name) {
  PostMessageW(program.window, WM_COMMAND, ID_FILE_OPEN, 0);
  return chooseInFileDialog(program, name);
}

inline void cancelOpenDialog(const Program& program) {
  PostMessageW(program.window, WM_COMMAND, ID_FILE_OPEN, 0);
  HWND dialog = waitForDialog(program);
  check(dialog != nullptr, "the open dialog appears");
  if (!dialog) return;
  PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  waitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); });
  sync(program.window);
}

// ---- screen pixels -----------------------------------------------------------------

struct Capture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB as COLORREF: red in the low byte
  COLORREF at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0xFF000000;
    return pixels[static_cast<size_t>(y) * width + x];
  }
};

// The picture view: the main window's child above the status bar, with the scroll bars.
inline HWND pictureViewOf(HWND window) {
  return FindWindowExW(window, nullptr, L"KepNezet", nullptr);
}

// The picture view's client area.
inline RECT pictureArea(HWND window) {
  RECT client{};
  GetClientRect(pictureViewOf(window), &client);
  return client;
}

// What the picture view shows, or the client area of another window (a dialog's control).
inline Capture captureClient(HWND window) {
  Capture capture;
  HWND view = pictureViewOf(window);
  HWND shown = view ? view : window;
  RECT client{};
  GetClientRect(shown, &client);
  POINT origin{0, 0};
  ClientToScreen(shown, &origin);
  capture.width = client.right;
  capture.height = client.bottom;
  if (capture.width <= 0 || capture.height <= 0) return capture;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = capture.width;
  info.bmiHeader.biHeight = -capture.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, section);
  BitBlt(memory, 0, 0, capture.width, capture.height, screen, origin.x, origin.y, SRCCOPY);
  GdiFlush();
  capture.pixels.resize(static_cast<size_t>(capture.width) * capture.height);
  const auto* source = static_cast<const uint32_t*>(bits);
  for (size_t i = 0; i < capture.pixels.size(); ++i) {
    const uint32_t bgr = source[i];
    capture.pixels[i] = RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
  }
  SelectObject(memory, old);
  DeleteObject(section);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return capture;
}

// Waits until the screen shows what `shows` expects (painting happens when idle).
inline Capture captureWhen(HWND window, const std::function<bool(const Capture&)>& shows) {
  Capture capture;
  waitFor([&] {
    capture = captureClient(window);
    return shows(capture);
  });
  return capture;
}

// The picture at (left, top), zoomed, shows the pattern in every pixel.
inline bool showsPattern(const Capture& c, int left, int top, int width, int height, int zoomX,
                         int zoomY, int firstColumn = 0, int firstRow = 0) {
  for (int y = 0; y < height * zoomY; ++y)
    for (int x = 0; x < width * zoomX; ++x)
      if (c.at(left + x, top + y) != patternColour(firstColumn + x / zoomX, firstRow + y / zoomY))
        return false;
  return true;
}

// Every pixel outside the rectangle is hatch or background, and both occur.
inline bool hatchedOutside(const Capture& c, int left, int top, int right, int bottom) {
  bool sawHatch = false, sawWhite = false;
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x) {
      if (x >= left && x < right && y >= top && y < bottom) continue;
      const COLORREF pixel = c.at(x, y);
      if (pixel == kHatch)
        sawHatch = true;
      else if (pixel == kWhite)
        sawWhite = true;
      else
        return false;
    }
  return sawHatch && sawWhite;
}

}  // namespace driver
