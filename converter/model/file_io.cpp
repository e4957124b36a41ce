#include "converter/model/file_io.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdio>
#include <limits>
#include <memory>

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

ReadStatus screenFile(const FileFacts& facts, int64_t maxBytes) {
  if (!facts.regular) return ReadStatus::kCannotOpen;
  return facts.size > maxBytes ? ReadStatus::kTooLarge : ReadStatus::kOk;
}

// Opens a regular file of at most maxBytes for reading. The path is looked at before it
// is opened, so that a pipe is never opened; then the file that did open is looked at,
// in case the path changed in between.
ReadStatus openRegularFile(const std::string& utf8Path, int64_t maxBytes, FileHandle& file,
                           int64_t& size) {
  FileFacts facts;
  if (!factsOfPath(utf8Path, facts)) return ReadStatus::kCannotOpen;
  ReadStatus status = screenFile(facts, maxBytes);
  if (status != ReadStatus::kOk) return status;
  file.reset(openFile(utf8Path, "rb"));
  if (!file || !factsOfOpenFile(file.get(), facts)) return ReadStatus::kCannotOpen;
  status = screenFile(facts, maxBytes);
  size = facts.size;
  return status;
}

ReadStatus readRegularFile(const std::string& utf8Path, int64_t maxBytes,
                           std::vector<uint8_t>& data) {
  data.clear();
  FileHandle file;
  int64_t size = 0;
  const ReadStatus status = openRegularFile(utf8Path, maxBytes, file, size);
  if (status != ReadStatus::kOk) return status;
  if (static_cast<uint64_t>(size) > std::numeric_limits<size_t>::max() ||
      !allocateZeroed(data, static_cast<size_t>(size)))
    return ReadStatus::kOutOfMemory;
  // A file that shrank meanwhile gives what it still holds.
  const size_t read = size > 0 ? std::fread(data.data(), 1, data.size(), file.get()) : 0;
  data.resize(read);
  if (std::ferror(file.get())) {
    data.clear();
    return ReadStatus::kCannotOpen;
  }
  return ReadStatus::kOk;
}

}  // namespace

ReadStatus checkPictureFile(const std::string& utf8Path) {
  FileHandle file;
  int64_t size = 0;
  return openRegularFile(utf8Path, kMaxPictureFileBytes, file, size);
}

ReadStatus readPictureFile(const std::string& utf8Path, std::vector<uint8_t>& data) {
  return readRegularFile(utf8Path, kMaxPictureFileBytes, data);
}

bool readWholeFile(const std::string& utf8Path, std::vector<uint8_t>& data) {
  return readRegularFile(utf8Path, std::numeric_limits<int64_t>::max(), data) == ReadStatus::kOk;
}

}  // namespace vz
