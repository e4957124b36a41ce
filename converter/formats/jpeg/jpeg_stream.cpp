#include "converter/formats/jpeg/jpeg_stream.h"

#include <algorithm>
#include <cstring>

namespace vz {

int JpegMemoryStream::read(uint8_t* buffer, int size, uint8_t* atEnd) {
  const size_t left = size_ - position_;
  const size_t count = std::min(left, static_cast<size_t>(std::max(0, std::min(size, chunk_))));
  if (count > 0) std::memcpy(buffer, data_ + position_, count);
  position_ += count;
  if (position_ == size_) *atEnd = 1;
  return static_cast<int>(count);
}

}  // namespace vz
