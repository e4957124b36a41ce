#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/utf16.h"
#include "converter/model/file_io.h"

#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace vz {

namespace {

#ifdef _WIN32
int processId() {
  return _getpid();
}

// A new file only: never one that is already there.
std::FILE* createNewFile(const std::string& utf8Path) {
  const int descriptor = _wopen(utf8ToWide(utf8Path).c_str(),
                                _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (descriptor < 0) return nullptr;
  std::FILE* file = _fdopen(descriptor, "wb");
  if (!file) _close(descriptor);
  return file;
}

void removeFile(const std::string& utf8Path) {
  _wremove(utf8ToWide(utf8Path).c_str());
}

// Windows keeps the target's own attributes when a file is moved over it.
void takeOverPermissions(std::FILE*, const std::string&) {}
#else
int processId() {
  return static_cast<int>(getpid());
}

std::FILE* createNewFile(const std::string& utf8Path) {
  const int descriptor = open(utf8Path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
  if (descriptor < 0) return nullptr;
  std::FILE* file = fdopen(descriptor, "wb");
  if (!file) close(descriptor);
  return file;
}

void removeFile(const std::string& utf8Path) {
  unlink(utf8Path.c_str());
}

// The replacement keeps the permissions of the file it replaces.
void takeOverPermissions(std::FILE* file, const std::string& utf8Path) {
  struct stat target;
  if (stat(utf8Path.c_str(), &target) == 0 && S_ISREG(target.st_mode))
    fchmod(fileno(file), target.st_mode & 07777);
}

bool resolveLink(const std::string& utf8Path, std::string& resolved) {
  char* real = realpath(utf8Path.c_str(), nullptr);
  if (!real) return false;
  resolved = real;
  free(real);
  return true;
}
#endif

#ifdef _WIN32
bool writePieces(std::FILE* file, const std::vector<ByteRange>& pieces) {
  for (const ByteRange& piece : pieces)
    if (piece.size != 0 && std::fwrite(piece.data, 1, piece.size, file) != piece.size) return false;
  return true;
}
#else
// Many pieces to a write, on the descriptor: the stream has buffered nothing.
bool writePieces(std::FILE* file, const std::vector<ByteRange>& pieces) {
  constexpr size_t kBatch = 512;
  iovec parts[kBatch];
  size_t next = 0;  // the first piece not yet wholly written
  size_t skip = 0;  // how much of it is
  while (next < pieces.size()) {
    int count = 0;
    for (size_t i = next; i < pieces.size() && count < static_cast<int>(kBatch); ++i, ++count) {
      const size_t from = i == next ? skip : 0;
      parts[count] = {const_cast<uint8_t*>(pieces[i].data) + from, pieces[i].size - from};
    }
    const ssize_t wrote = writev(fileno(file), parts, count);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote < 0 || (wrote == 0 && parts[0].iov_len > 0)) return false;
    // Past the pieces written whole; a short write leaves the rest of one for next time.
    size_t left = static_cast<size_t>(wrote) + skip;
    for (; next < pieces.size() && left >= pieces[next].size; ++next) left -= pieces[next].size;
    skip = left;
  }
  return true;
}
#endif

}  // namespace

#ifndef _WIN32
bool replaceFile(const std::string& utf8From, const std::string& utf8To) {
  return std::rename(utf8From.c_str(), utf8To.c_str()) == 0;
}
#endif

bool writeWholeFile(const std::string& utf8Path, const std::vector<uint8_t>& data) {
  return writeWholeFile(utf8Path, std::vector<ByteRange>{{data.data(), data.size()}});
}

bool writeWholeFile(const std::string& utf8Path, const std::vector<ByteRange>& pieces) {
  std::string target = utf8Path;
#ifndef _WIN32
  // Through a symbolic link, the file it names is replaced, not the link.
  struct stat link;
  if (lstat(utf8Path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) resolveLink(utf8Path, target);
#endif
  std::string temporary;
  std::FILE* file = nullptr;
  for (int attempt = 0; attempt < 100 && !file; ++attempt) {
    temporary = target + ".~" + std::to_string(processId()) + "-" + std::to_string(attempt);
    file = createNewFile(temporary);
  }
  if (!file) return false;
  takeOverPermissions(file, target);
  const bool written = writePieces(file, pieces) && std::fflush(file) == 0;
  const bool closed = std::fclose(file) == 0;
  if (written && closed && replaceFile(temporary, target)) return true;
  removeFile(temporary);
  return false;
}

}  // namespace vz
