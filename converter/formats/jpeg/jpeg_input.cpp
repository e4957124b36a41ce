#include "converter/formats/jpeg/jpeg_input.h"

namespace vz {

void JpegInput::refill() {
  position_ = kPushbackSize;
  unread_ = 0;
  while (!atEnd_ && unread_ < kBufferSize) {
    const int room = kBufferSize - unread_;
    const int got = stream_->read(bytes_.data() + kPushbackSize + unread_, room, &atEnd_);
    if (got < 0 || got > room) failJpeg(JpegError::kReadError);
    // A stream that delivers nothing without saying so has ended all the same.
    if (got == 0) atEnd_ = 1;
    unread_ += got;
  }
}

uint8_t JpegInput::nextByteAfterRefill(bool& pastEnd) {
  refill();
  if (unread_ == 0) {
    pastEnd = true;
    ++bytesPastEnd_;
    const uint8_t byte = syntheticToggle_ ? 0xD9 : 0xFF;
    syntheticToggle_ = !syntheticToggle_;
    return byte;
  }
  --unread_;
  return bytes_[position_++];
}

void JpegInput::pushBack(uint8_t byte) {
  if (position_ == 0) failJpeg(JpegError::kCorruptData);
  bytes_[--position_] = byte;
  ++unread_;
}

}  // namespace vz
