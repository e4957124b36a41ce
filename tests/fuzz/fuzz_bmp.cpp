// readBmp and readDib on arbitrary bytes: never a read past the data, never a crash,
// and either a whole picture or an empty document. The same bytes read from a file
// with readBmpFile give the same status and picture.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "converter/formats/bmp.h"

namespace {

// The file the bytes are written to, in memory where there is a file system for it, and
// removed at the end of the run.
struct ScratchFile {
  const std::string path = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                           "/fuzz_bmp_" + std::to_string(getpid()) + ".bmp";
  ~ScratchFile() { unlink(path.c_str()); }
  bool write(const std::vector<uint8_t>& bytes) const {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written =
        bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
  }
};

void checkOutcome(vz::Status status, const vz::ImageDocument& doc) {
  if (vz::givesPicture(status) && doc.pixels.size() != static_cast<size_t>(doc.pictureSize()))
    __builtin_trap();
  if (!vz::givesPicture(status) && !doc.pixels.empty()) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly the given size, so that any over-read hits the sanitizer.
  std::vector<uint8_t> file(data, data + size);
  vz::ImageDocument doc;
  const vz::Status status = vz::readBmp(file.size(), file.data(), doc);
  checkOutcome(status, doc);

  static const ScratchFile scratch;
  if (!scratch.write(file)) __builtin_trap();
  {
    vz::ImageDocument fromFile;
    if (vz::readBmpFile(scratch.path, fromFile) != status || fromFile.pixels != doc.pixels ||
        fromFile.palette != doc.palette || fromFile.width != doc.width ||
        fromFile.height != doc.height)
      __builtin_trap();
  }  // gone before the next picture is made: together they could reach the memory limit

  checkOutcome(vz::readDib(0, file.data(), file.size(), doc), doc);
  return 0;
}
