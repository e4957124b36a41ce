// The wave-out device through winmm: the wave mapper with an event as callback.
#pragma once

#include <windows.h>

#include "player/wave_out.h"

namespace rawplay {

class WinmmWaveOut : public WaveOut {
 public:
  bool open(const WaveFormat& format) override;
  bool prepare(int buffer, uint8_t* samples, size_t capacity) override;
  void setVolume(uint32_t volumeWord) override;
  void resetEvent() override;
  bool write(int buffer, size_t length) override;
  bool waitForEvent() override;
  void waitUntilFinished(int buffer) override;
  void unprepare(int buffer) override;
  bool close() override;

 private:
  HWAVEOUT device_ = nullptr;
  HANDLE event_ = nullptr;
  WAVEHDR headers_[2] = {};
};

}  // namespace rawplay
