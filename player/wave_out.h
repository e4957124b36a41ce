// The wave-out device as the player uses it: two sample buffers the player owns, handed
// to the device by index, and one auto-reset event the device signals when it opens and
// whenever a buffer has finished playing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "player/raw_sound.h"

namespace rawplay {

class WaveOut {
 public:
  virtual ~WaveOut() = default;

  // Creates the event (not signalled) and opens the device with that event as callback.
  // On failure nothing stays open.
  virtual bool open(const WaveFormat& format) = 0;
  // Binds buffer 0 or 1 to `capacity` bytes at `samples` and marks it finished (free).
  virtual bool prepare(int buffer, uint8_t* samples, size_t capacity) = 0;
  virtual void setVolume(uint32_t volumeWord) = 0;
  virtual void resetEvent() = 0;
  // Queues the first `length` bytes of the buffer; it is unfinished until the device is done.
  virtual bool write(int buffer, size_t length) = 0;
  // Blocks until the event is signalled.
  virtual bool waitForEvent() = 0;
  // Blocks until a queued buffer has finished.
  virtual void waitUntilFinished(int buffer) = 0;
  virtual void unprepare(int buffer) = 0;
  // Closes the device, and on success the event.
  virtual bool close() = 0;
};

}  // namespace rawplay
