// rawplay: plays a raw 4-bit sound file through the wave-out device.
//
// Console texts are UTF-8 and reach standard output byte for byte: the C runtime's text
// mode is switched off, so "\n\r\n" stays three bytes in a pipe or a file. On a console
// window the texts go through the wide-character API instead, so accented file names read
// right on any locale.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/utf16.h"
#include "player/player.h"
#include "player/win32/winmm_wave_out.h"

namespace {

class StdioSoundFile : public rawplay::SoundFile {
 public:
  explicit StdioSoundFile(std::FILE* file) : file_(file) {}
  ~StdioSoundFile() override { std::fclose(file_); }
  StdioSoundFile(const StdioSoundFile&) = delete;
  StdioSoundFile& operator=(const StdioSoundFile&) = delete;

  size_t read(uint8_t* destination, size_t count) override {
    return std::fread(destination, 1, count, file_);
  }

 private:
  std::FILE* file_;
};

class Win32Host : public rawplay::Host {
 public:
  Win32Host() {
    DWORD mode = 0;
    console_ = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!GetConsoleMode(console_, &mode)) {
      console_ = nullptr;
      _setmode(_fileno(stdout), _O_BINARY);
    }
  }

  void print(const std::string& text) override {
    if (console_) {
      const std::wstring wide = vz::utf8ToWide(text);
      DWORD written = 0;
      WriteConsoleW(console_, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
      return;
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);  // the lines come before a blocking playback or a message box
  }

  std::unique_ptr<rawplay::SoundFile> openForReading(const std::string& path) override {
    std::FILE* file = _wfopen(vz::utf8ToWide(path).c_str(), L"rb");
    if (!file) return nullptr;
    return std::make_unique<StdioSoundFile>(file);
  }

  void showError(const std::string& text) override {
    MessageBoxW(nullptr, vz::utf8ToWide(text).c_str(),
                vz::utf8ToWide(rawplay::kMessageBoxCaption).c_str(), MB_OK | MB_ICONERROR);
  }

 private:
  HANDLE console_ = nullptr;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(vz::wideToUtf8(argv[i]));
  Win32Host host;
  rawplay::WinmmWaveOut device;
  return rawplay::runRawPlay(arguments, host, device);
}
