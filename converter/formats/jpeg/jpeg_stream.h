// Byte sources for the JPEG decoder. The decoder borrows a stream; its owner destroys
// it after the decoder.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vz {

class JpegInputStream {
 public:
  virtual ~JpegInputStream() = default;
  // Stores up to 'size' bytes; returns how many, or -1 on a read error. Sets *atEnd to
  // 1 once the end of the data has been reached.
  virtual int read(uint8_t* buffer, int size, uint8_t* atEnd) = 0;
  // A decoder takes the stream (at its construction).
  virtual void begin() {}
  // The decoder failed or is destroyed; it no longer uses the stream.
  virtual void end() {}
};

// Serves bytes from memory the caller keeps alive; 'chunk' limits the bytes one read
// returns, so that buffer boundaries can fall anywhere.
class JpegMemoryStream : public JpegInputStream {
 public:
  JpegMemoryStream(const uint8_t* data, size_t size, int chunk = 1 << 30)
      : data_(data), size_(size), chunk_(chunk) {}
  int read(uint8_t* buffer, int size, uint8_t* atEnd) override;

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
  int chunk_;
};

}  // namespace vz
