// Starts a program, waits for the message box it raises, prints the box's caption and text,
// dismisses it with OK and prints the program's exit status:
//   rawplay_message_box.exe PROGRAM [ARGUMENT]...
// prints (UTF-8, "\n" line ends)  "box: CAPTION|TEXT"  for each box, then  "status: N".
// The program's own standard output goes to the same place, before the box lines.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr DWORD kPollMilliseconds = 50;
constexpr DWORD kDeadlineMilliseconds = 60000;

std::string toUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], length,
                      nullptr, nullptr);
  return utf8;
}

std::wstring windowText(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

std::wstring className(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

struct Search {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK findDialogOfProcess(HWND window, LPARAM parameter) {
  Search& search = *reinterpret_cast<Search*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search.processId && className(window) == L"#32770" && IsWindowVisible(window)) {
    search.found = window;
    return FALSE;
  }
  return TRUE;
}

// The icon is a text-less Static too: the message is the one with text.
BOOL CALLBACK findMessageText(HWND child, LPARAM parameter) {
  std::wstring& message = *reinterpret_cast<std::wstring*>(parameter);
  if (_wcsicmp(className(child).c_str(), L"Static") == 0 && !windowText(child).empty()) {
    message = windowText(child);
    return FALSE;
  }
  return TRUE;
}

std::wstring quoted(const std::wstring& argument) {
  return L"\"" + argument + L"\"";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  if (argc < 2) {
    std::printf("usage: rawplay_message_box PROGRAM [ARGUMENT]...\n");
    return 2;
  }
  std::wstring commandLine = quoted(argv[1]);
  for (int i = 2; i < argc; ++i) commandLine += L" " + quoted(argv[i]);

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::printf("cannot start the program\n");
    return 1;
  }

  DWORD waited = 0;
  while (WaitForSingleObject(process.hProcess, kPollMilliseconds) == WAIT_TIMEOUT) {
    waited += kPollMilliseconds;
    if (waited > kDeadlineMilliseconds) {
      std::printf("timeout\n");
      std::fflush(stdout);
      TerminateProcess(process.hProcess, 99);
      return 1;
    }
    Search search = {process.dwProcessId, nullptr};
    EnumWindows(findDialogOfProcess, reinterpret_cast<LPARAM>(&search));
    if (!search.found) continue;
    std::wstring message;
    EnumChildWindows(search.found, findMessageText, reinterpret_cast<LPARAM>(&message));
    if (message.empty()) continue;  // still being built
    std::printf("box: %s|%s\n", toUtf8(windowText(search.found)).c_str(), toUtf8(message).c_str());
    std::fflush(stdout);
    PostMessageW(search.found, WM_COMMAND, IDOK, 0);
    waited = 0;
    // The box may take a moment to go; do not report it twice.
    for (int tries = 0; tries < 100 && IsWindow(search.found) && IsWindowVisible(search.found);
         ++tries)
      Sleep(kPollMilliseconds);
  }
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  std::printf("status: %lu\n", static_cast<unsigned long>(status));
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 0;
}
