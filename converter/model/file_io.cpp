#include "converter/model/file_io.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>

#ifndef _WIN32
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "base/utf16.h"

namespace vz {

std::FILE* openFile(const std::string& utf8Path, const char* mode) {
#ifdef _WIN32
  return _wfopen(utf8ToWide(utf8Path).c_str(), utf8ToWide(mode).c_str());
#else
  return std::fopen(utf8Path.c_str(), mode);
#endif
}

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

struct FileFacts {
  bool regular = false;
  int64_t size = 0;
};

bool factsOfPath(const std::string& utf8Path, FileFacts& facts) {
#ifdef _WIN32
  struct _stat64 info;
  if (_wstat64(utf8ToWide(utf8Path).c_str(), &info) != 0) return false;
  facts = {(info.st_mode & _S_IFMT) == _S_IFREG, info.st_size};
#else
  struct stat info;
  if (stat(utf8Path.c_str(), &info) != 0) return false;
  facts = {S_ISREG(info.st_mode), static_cast<int64_t>(info.st_size)};
#endif
  return true;
}

bool factsOfOpenFile(std::FILE* file, FileFacts& facts) {
#ifdef _WIN32
  struct _stat64 info;
  if (_fstat64(_fileno(file), &info) != 0) return false;
  facts = {(info.st_mode & _S_IFMT) == _S_IFREG, info.st_size};
#else
  struct stat info;
  if (fstat(fileno(file), &info) != 0) return false;
  facts = {S_ISREG(info.st_mode), static_cast<int64_t>(info.st_size)};
#endif
  return true;
}

Status screenFile(const FileFacts& facts, int64_t maxBytes) {
  if (!facts.regular) return StatusCode::kCannotOpen;
  return facts.size > maxBytes ? StatusCode::kTooLarge : StatusCode::kOk;
}

// Opens a regular file of at most maxBytes for reading. The path is looked at before it
// is opened, so that a pipe is never opened; then the file that did open is looked at,
// in case the path changed in between.
Status openRegularFile(const std::string& utf8Path, int64_t maxBytes, FileHandle& file,
                       int64_t& size) {
  FileFacts facts;
  if (!factsOfPath(utf8Path, facts)) return StatusCode::kCannotOpen;
  Status status = screenFile(facts, maxBytes);
  if (status != StatusCode::kOk) return status;
  file.reset(openFile(utf8Path, "rb"));
  if (!file || !factsOfOpenFile(file.get(), facts)) return StatusCode::kCannotOpen;
  status = screenFile(facts, maxBytes);
  size = facts.size;
  return status;
}

Status readRegularFile(const std::string& utf8Path, int64_t maxBytes, std::vector<uint8_t>& data) {
  data.clear();
  FileHandle file;
  int64_t size = 0;
  const Status status = openRegularFile(utf8Path, maxBytes, file, size);
  if (status != StatusCode::kOk) return status;
  if (static_cast<uint64_t>(size) > std::numeric_limits<size_t>::max() ||
      !allocateZeroed(data, static_cast<size_t>(size)))
    return StatusCode::kOutOfMemory;
  // A file that shrank meanwhile gives what it still holds.
  const size_t read = size > 0 ? std::fread(data.data(), 1, data.size(), file.get()) : 0;
  data.resize(read);
  if (std::ferror(file.get())) {
    data.clear();
    return StatusCode::kCannotOpen;
  }
  return StatusCode::kOk;
}

}  // namespace

PictureFile::~PictureFile() {
  if (file_) std::fclose(file_);
}

Status PictureFile::open(const std::string& utf8Path) {
  FileHandle file;
  const Status status = openRegularFile(utf8Path, kMaxPictureFileBytes, file, size_);
  if (status == StatusCode::kOk) {
    if (file_) std::fclose(file_);
    file_ = file.release();
  }
  return status;
}

#ifdef _WIN32
namespace {

Status readNext(std::FILE* file, uint8_t* target, size_t count) {
  if (count == 0 || std::fread(target, 1, count, file) == count) return StatusCode::kOk;
  return std::ferror(file) ? StatusCode::kCannotOpen : StatusCode::kDamaged;
}

}  // namespace

Status PictureFile::readAt(int64_t offset, uint8_t* target, size_t count) {
  if (_fseeki64(file_, offset, SEEK_SET) != 0) return StatusCode::kCannotOpen;
  return readNext(file_, target, count);
}

Status PictureFile::readRowsAt(int64_t offset, uint8_t* first, ptrdiff_t stride, size_t rowBytes,
                               int64_t rows) {
  if (_fseeki64(file_, offset, SEEK_SET) != 0) return StatusCode::kCannotOpen;
  Status status = StatusCode::kOk;
  for (int64_t row = 0; row < rows && status == StatusCode::kOk; ++row)
    status = readNext(file_, first + row * stride, rowBytes);
  return status;
}
#else
// Positioned reads on the descriptor; the stream's own buffer is never used.
Status PictureFile::readAt(int64_t offset, uint8_t* target, size_t count) {
  while (count > 0) {
    const ssize_t got = pread(fileno(file_), target, count, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return StatusCode::kCannotOpen;
    if (got == 0) return StatusCode::kDamaged;
    target += got;
    count -= static_cast<size_t>(got);
    offset += got;
  }
  return StatusCode::kOk;
}

Status PictureFile::readRowsAt(int64_t offset, uint8_t* first, ptrdiff_t stride, size_t rowBytes,
                               int64_t rows) {
  // Each read fills a batch of rows where they belong, whatever their order.
  constexpr int64_t kBatch = 512;
  iovec parts[kBatch];
  for (int64_t done = 0; done < rows;) {
    const int count = static_cast<int>(std::min(kBatch, rows - done));
    for (int i = 0; i < count; ++i) parts[i] = {first + (done + i) * stride, rowBytes};
    const ssize_t got = preadv(fileno(file_), parts, count, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return StatusCode::kCannotOpen;
    if (got == 0) return StatusCode::kDamaged;
    // A short read ends within some row: the rest of that row is read on its own.
    const int64_t whole = got / static_cast<int64_t>(rowBytes);
    const size_t part = static_cast<size_t>(got % static_cast<int64_t>(rowBytes));
    offset += got;
    done += whole;
    if (part != 0) {
      const Status status = readAt(offset, first + done * stride + part, rowBytes - part);
      if (status != StatusCode::kOk) return status;
      offset += static_cast<int64_t>(rowBytes - part);
      ++done;
    }
  }
  return StatusCode::kOk;
}
#endif

Status checkPictureFile(const std::string& utf8Path) {
  FileHandle file;
  int64_t size = 0;
  return openRegularFile(utf8Path, kMaxPictureFileBytes, file, size);
}

Status readPictureFile(const std::string& utf8Path, std::vector<uint8_t>& data) {
  return readRegularFile(utf8Path, kMaxPictureFileBytes, data);
}

bool readWholeFile(const std::string& utf8Path, std::vector<uint8_t>& data) {
  return readRegularFile(utf8Path, std::numeric_limits<int64_t>::max(), data) == StatusCode::kOk;
}

}  // namespace vz
