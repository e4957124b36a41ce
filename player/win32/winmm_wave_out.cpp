#include "player/win32/winmm_wave_out.h"

#include <mmsystem.h>

namespace rawplay {

namespace {

// The device sets the done flag from its own thread.
bool isDone(const WAVEHDR& header) {
  return (reinterpret_cast<const volatile DWORD&>(header.dwFlags) & WHDR_DONE) != 0;
}

}  // namespace

bool WinmmWaveOut::open(const WaveFormat& format) {
  event_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!event_) return false;
  WAVEFORMATEX waveFormat = {};
  waveFormat.wFormatTag = WAVE_FORMAT_PCM;
  waveFormat.nChannels = static_cast<WORD>(format.channels);
  waveFormat.nSamplesPerSec = static_cast<DWORD>(format.samplesPerSecond);
  waveFormat.nAvgBytesPerSec = static_cast<DWORD>(format.bytesPerSecond);
  waveFormat.nBlockAlign = static_cast<WORD>(format.blockAlign);
  waveFormat.wBitsPerSample = static_cast<WORD>(format.bitsPerSample);
  const MMRESULT result = waveOutOpen(&device_, WAVE_MAPPER, &waveFormat,
                                      reinterpret_cast<DWORD_PTR>(event_), 0, CALLBACK_EVENT);
  if (result != MMSYSERR_NOERROR) {
    device_ = nullptr;
    CloseHandle(event_);
    event_ = nullptr;
    return false;
  }
  return true;
}

bool WinmmWaveOut::prepare(int buffer, uint8_t* samples, size_t capacity) {
  WAVEHDR& header = headers_[buffer];
  header = WAVEHDR{};
  header.lpData = reinterpret_cast<LPSTR>(samples);
  header.dwBufferLength = static_cast<DWORD>(capacity);
  if (waveOutPrepareHeader(device_, &header, sizeof header) != MMSYSERR_NOERROR) return false;
  header.dwFlags |= WHDR_DONE;  // free to be filled
  return true;
}

void WinmmWaveOut::setVolume(uint32_t volumeWord) {
  waveOutSetVolume(device_, volumeWord);
}

void WinmmWaveOut::resetEvent() {
  ResetEvent(event_);
}

bool WinmmWaveOut::write(int buffer, size_t length) {
  WAVEHDR& header = headers_[buffer];
  header.dwBufferLength = static_cast<DWORD>(length);
  header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
  if (waveOutWrite(device_, &header, sizeof header) != MMSYSERR_NOERROR) {
    header.dwFlags |= WHDR_DONE;  // never reached the device
    return false;
  }
  return true;
}

bool WinmmWaveOut::waitForEvent() {
  return WaitForSingleObject(event_, INFINITE) == WAIT_OBJECT_0;
}

// Polls the done flag; the event wakes the poll as soon as any buffer finishes.
void WinmmWaveOut::waitUntilFinished(int buffer) {
  while (!isDone(headers_[buffer])) WaitForSingleObject(event_, 10);
}

void WinmmWaveOut::unprepare(int buffer) {
  waveOutUnprepareHeader(device_, &headers_[buffer], sizeof headers_[buffer]);
}

bool WinmmWaveOut::close() {
  if (waveOutClose(device_) != MMSYSERR_NOERROR) return false;
  device_ = nullptr;
  CloseHandle(event_);
  event_ = nullptr;
  return true;
}

}  // namespace rawplay
