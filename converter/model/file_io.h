// Whole-file reading by UTF-8 path (wide paths on Windows); writing is base/file_write.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/file_write.h"
#include "base/status.h"
#include "converter/model/document.h"

namespace vz {

// The largest file a picture is read from: the document limit, plus generous room for
// headers, colour tables, embedded profiles and coding overhead.
constexpr int64_t kMaxPictureFileBytes = kMaxPictureBytes + (int64_t{1} << 28);

// Whether a picture file may be read, looked at without reading it: kOk for a regular
// file that opens, of at most kMaxPictureFileBytes; kTooLarge for a bigger one;
// kCannotOpen for anything else (missing, a folder, a pipe or device, no permission).
// A pipe or device is never opened: opening a pipe could wait forever.
Status checkPictureFile(const std::string& utf8Path);

// Reads a picture file whole, after the same checks; data is empty unless kOk.
// kOutOfMemory when no buffer can be had for it.
Status readPictureFile(const std::string& utf8Path, std::vector<uint8_t>& data);

// A picture file read piece by piece, opened after the checks of readPictureFile. Each
// read answers kOk; kDamaged when the file ends first (it shrank since it was opened); or
// kCannotOpen when reading fails.
class PictureFile {
 public:
  PictureFile() = default;
  PictureFile(const PictureFile&) = delete;
  PictureFile& operator=(const PictureFile&) = delete;
  ~PictureFile();

  // kOk; kTooLarge or kCannotOpen as checkPictureFile gives them.
  Status open(const std::string& utf8Path);
  // The size the file had when it was opened.
  int64_t size() const { return size_; }
  // Reads `count` bytes from `offset`.
  Status readAt(int64_t offset, uint8_t* target, size_t count);
  // Reads `rows` rows of `rowBytes` each, stored one after another from `offset`, into
  // rows `stride` bytes apart from `first`: with a negative stride the rows fill upward,
  // as bottom-up bitmaps store them. Where the system can, in a few reads.
  Status readRowsAt(int64_t offset, uint8_t* first, ptrdiff_t stride, size_t rowBytes,
                    int64_t rows);

 private:
  std::FILE* file_ = nullptr;
  int64_t size_ = 0;
};

// Reads a whole regular file of any size. False when it cannot be opened or read (also
// for a folder, pipe or device); data is then empty.
bool readWholeFile(const std::string& utf8Path, std::vector<uint8_t>& data);

// Opens a file with a UTF-8 path the way fopen does (wide API on Windows).
std::FILE* openFile(const std::string& utf8Path, const char* mode);

}  // namespace vz
