// The JPEG decoder's bytes: a buffer refilled from the stream, with room in front to
// give bytes back. Past the end of the data it reads FF D9 FF D9 ...: an endless EOI,
// so that every reader above it ends at a marker instead of running off the data.
#pragma once

#include <array>
#include <cstdint>

#include "converter/formats/jpeg/jpeg_error.h"
#include "converter/formats/jpeg/jpeg_stream.h"

namespace vz {

class JpegInput {
 public:
  explicit JpegInput(JpegInputStream* stream) : stream_(stream) {}

  // Reads until the buffer is full or the stream has ended.
  void refill();
  uint8_t nextByte() {
    bool pastEnd = false;
    return nextByte(pastEnd);
  }
  // The same, and tells whether the byte is one of the endless EOI's.
  uint8_t nextByte(bool& pastEnd) {
    if (unread_ == 0) return nextByteAfterRefill(pastEnd);
    --unread_;
    return bytes_[position_++];
  }
  // Gives a byte back, to be read again next; fails when the room in front is used up.
  void pushBack(uint8_t byte);
  // True once a byte past the end of the data has been asked for; how many were.
  bool endReached() const { return bytesPastEnd_ > 0; }
  int64_t bytesPastEnd() const { return bytesPastEnd_; }

  // The next 'count' bytes when that many are buffered, otherwise null: for readers
  // that take several bytes at once.
  const uint8_t* peek(int count) const {
    return unread_ >= count ? bytes_.data() + position_ : nullptr;
  }
  void skip(int count) {
    position_ += count;
    unread_ -= count;
  }

 private:
  static constexpr int kBufferSize = 4096;
  static constexpr int kPushbackSize = 128;

  uint8_t nextByteAfterRefill(bool& pastEnd);

  JpegInputStream* stream_;
  std::array<uint8_t, kPushbackSize + kBufferSize> bytes_{};
  int32_t position_ = kPushbackSize;
  int32_t unread_ = 0;
  uint8_t atEnd_ = 0;
  bool syntheticToggle_ = false;  // which byte of the endless EOI comes next
  int64_t bytesPastEnd_ = 0;
};

}  // namespace vz
