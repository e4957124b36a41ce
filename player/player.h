// The rawplay program as one sequence over its platform: command line, console lines,
// message boxes, exit status, and the two-buffer playback.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "player/wave_out.h"

namespace rawplay {

constexpr size_t kInputChunkSize = 16384;
constexpr size_t kSampleBufferSize = 2 * kInputChunkSize;
constexpr int kVolumeLevel = 15;

constexpr int kExitPlayed = 0;
constexpr int kExitFileNotOpened = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNoSoundCard = 3;

extern const char kMessageBoxCaption[];
extern const char kNoSoundCardText[];
extern const char kCannotCloseText[];

class SoundFile {
 public:
  virtual ~SoundFile() = default;
  // Reads up to `count` bytes; fewer at the end of the file or on a read error.
  virtual size_t read(uint8_t* destination, size_t count) = 0;
};

// Everything but the device that the program reaches on its platform. Texts are UTF-8.
class Host {
 public:
  virtual ~Host() = default;
  // Writes the text exactly as given, with no line-end translation.
  virtual void print(const std::string& text) = 0;
  // Opens the file for binary reading at its start; null when it cannot be opened.
  virtual std::unique_ptr<SoundFile> openForReading(const std::string& path) = 0;
  // An error message box with no owner window and the caption kMessageBoxCaption.
  virtual void showError(const std::string& text) = 0;
};

// Runs the program on its arguments (argument 0 is the program's own name) and returns
// the exit status.
int runRawPlay(const std::vector<std::string>& arguments, Host& host, WaveOut& device);

}  // namespace rawplay
