#include "converter/formats/jpeg/jpeg_stream.h"

#include <algorithm>
#include <cstring>

#include "converter/model/file_io.h"

namespace vz {

JpegFileStream::~JpegFileStream() {
  close();
}

void JpegFileStream::close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  atEnd_ = false;
  failed_ = false;
}

bool JpegFileStream::open(const std::string& utf8Path) {
  close();
  file_ = openFile(utf8Path, "rb");
  return file_ != nullptr;
}

int JpegFileStream::read(uint8_t* buffer, int size, uint8_t* atEnd) {
  if (file_ == nullptr) return -1;
  if (atEnd_) {
    *atEnd = 1;
    return 0;
  }
  if (failed_) return -1;
  if (size <= 0) return 0;
  const size_t count = std::fread(buffer, 1, static_cast<size_t>(size), file_);
  if (count == static_cast<size_t>(size)) return size;
  if (std::ferror(file_)) {
    failed_ = true;
    return -1;
  }
  atEnd_ = true;
  *atEnd = 1;
  return static_cast<int>(count);
}

int JpegMemoryStream::read(uint8_t* buffer, int size, uint8_t* atEnd) {
  const size_t left = size_ - position_;
  const size_t count = std::min(left, static_cast<size_t>(std::max(0, std::min(size, chunk_))));
  if (count > 0) std::memcpy(buffer, data_ + position_, count);
  position_ += count;
  if (position_ == size_) *atEnd = 1;
  return static_cast<int>(count);
}

}  // namespace vz
