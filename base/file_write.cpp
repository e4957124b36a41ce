#include "base/file_write.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "base/pending_temporaries.h"
#endif

namespace vz {

namespace {

class PiecesProducer {
 public:
  explicit PiecesProducer(const std::vector<ByteRange>& pieces) : pieces_(pieces) {}
  Status operator()(ByteSink& sink) const { return sink.append(pieces_); }

 private:
  const std::vector<ByteRange>& pieces_;
};

}  // namespace

Status writeFileSafely(const std::string& utf8Path, const std::vector<ByteRange>& pieces) {
  return writeFileSafely(utf8Path, PiecesProducer(pieces));
}

Status writeFileSafely(const std::string& utf8Path, const std::vector<uint8_t>& bytes) {
  return writeFileSafely(utf8Path, std::vector<ByteRange>{{bytes.data(), bytes.size()}});
}

Status writeStandardOutput(const std::vector<uint8_t>& bytes) {
  return writeStandardOutput(std::vector<ByteRange>{{bytes.data(), bytes.size()}});
}

#ifndef _WIN32

namespace {

// GNU's strerror_r answers with the text (perhaps a static one), POSIX's fills the buffer.
[[maybe_unused]] const char* reasonText(const char* text, const char*) {
  return text;
}
[[maybe_unused]] const char* reasonText(int, const char* buffer) {
  return buffer;
}

std::string systemReason(int error) {
  char buffer[256] = {};
  return reasonText(strerror_r(error, buffer, sizeof buffer), buffer);
}

// A failure to make or open a file: refusals of permission apart from the rest.
Status openFailure(int error) {
  if (error == EACCES || error == EPERM) return StatusCode::kPermissionDenied;
  if (error == EROFS) return {StatusCode::kPermissionDenied, systemReason(error)};
  return {StatusCode::kCannotWrite, systemReason(error)};
}

Status writeFailure(int error) {
  return {StatusCode::kCannotWrite, systemReason(error)};
}

class Descriptor {
 public:
  explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
  ~Descriptor() {
    if (descriptor_ >= 0) ::close(descriptor_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return descriptor_; }
  bool valid() const { return descriptor_ >= 0; }
  // Closes now, with the answer that a delayed write error would give.
  Status close() {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    return ::close(descriptor) == 0 ? Status() : writeFailure(errno);
  }

 private:
  int descriptor_;
};

// Many pieces to a write.
class DescriptorSink : public ByteSink {
 public:
  explicit DescriptorSink(int descriptor) : descriptor_(descriptor) {}

  Status append(const std::vector<ByteRange>& pieces) override {
    constexpr size_t kBatch = 512;
    iovec parts[kBatch];
    size_t next = 0;  // the first piece not yet wholly written
    size_t skip = 0;  // how much of it is
    while (next < pieces.size()) {
      if (pieces[next].size == skip) {
        ++next, skip = 0;
        continue;
      }
      int count = 0;
      for (size_t i = next; i < pieces.size() && count < static_cast<int>(kBatch); ++i, ++count) {
        const size_t from = i == next ? skip : 0;
        parts[count] = {const_cast<uint8_t*>(pieces[i].data) + from, pieces[i].size - from};
      }
      const ssize_t wrote = writev(descriptor_, parts, count);
      if (wrote < 0 && errno == EINTR) continue;
      if (wrote < 0) return writeFailure(errno);
      if (wrote == 0) return writeFailure(EIO);
      // Past the pieces written whole; a short write leaves the rest of one for next time.
      size_t left = static_cast<size_t>(wrote) + skip;
      for (; next < pieces.size() && left >= pieces[next].size; ++next) left -= pieces[next].size;
      skip = left;
    }
    return {};
  }

 private:
  int descriptor_;
};

std::string folderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string temporaryName(const std::string& target, int attempt) {
  return target + ".~" + std::to_string(getpid()) + "-" + std::to_string(attempt);
}

// The replacement takes over the permission bits of the file it replaces, and its owner
// where the system allows (root keeps another user's file theirs).
Status takeOver(int descriptor, const struct stat* replaced) {
  if (!replaced) return {};
  if ((replaced->st_uid != geteuid() || replaced->st_gid != getegid()) &&
      fchown(descriptor, replaced->st_uid, replaced->st_gid) != 0 &&
      fchown(descriptor, static_cast<uid_t>(-1), replaced->st_gid) != 0) {
    // Not allowed: the new file is the writer's, as a copy would be.
  }
  if (fchmod(descriptor, replaced->st_mode & 07777) != 0) return writeFailure(errno);
  return {};
}

// Fills a temporary file made without a name and names it only to rename it over the
// target; nothing when the file system cannot make one.
std::optional<Status> replaceThroughAnonymous(const std::string& target,
                                              const struct stat* replaced,
                                              const ByteProducer& produce) {
  Descriptor file(open(folderOf(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
  if (!file.valid()) return std::nullopt;
  // linkat names it through /proc; without /proc it could not be named at all.
  const std::string self = "/proc/self/fd/" + std::to_string(file.get());
  struct stat probe;
  if (lstat(self.c_str(), &probe) != 0) return std::nullopt;

  if (Status status = takeOver(file.get(), replaced); !status.ok()) return status;
  DescriptorSink sink(file.get());
  if (Status status = produce(sink); !status.ok()) return status;
  // linkat cannot replace a name: link to a fresh one, then rename that over the target.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string temporary = temporaryName(target, attempt);
    PendingTemporary pending(temporary);
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW) != 0) {
      if (errno == EEXIST) continue;
      return writeFailure(errno);
    }
    if (rename(temporary.c_str(), target.c_str()) != 0) {
      const int error = errno;
      unlink(temporary.c_str());
      return writeFailure(error);
    }
    return file.close();
  }
  return writeFailure(EEXIST);
}

Status replaceThroughNamed(const std::string& target, const struct stat* replaced,
                           const ByteProducer& produce) {
  std::string temporary;
  // Listed before it is made, so that a signal never finds it there and unlisted.
  std::optional<PendingTemporary> pending;
  int descriptor = -1;
  for (int attempt = 0; attempt < 100 && descriptor < 0; ++attempt) {
    temporary = temporaryName(target, attempt);
    pending.reset();
    pending.emplace(temporary);
    descriptor = open(temporary.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (descriptor < 0 && errno != EEXIST) return openFailure(errno);
  }
  if (descriptor < 0) return writeFailure(EEXIST);
  Descriptor file(descriptor);
  DescriptorSink sink(file.get());
  Status status = takeOver(file.get(), replaced);
  if (status.ok()) status = produce(sink);
  if (Status closed = file.close(); status.ok()) status = closed;
  if (status.ok() && rename(temporary.c_str(), target.c_str()) != 0) status = writeFailure(errno);
  if (!status.ok()) unlink(temporary.c_str());
  return status;
}

// A FIFO, device or socket: opened as it is. A FIFO waits here for its reader.
Status writeInPlace(const std::string& path, const ByteProducer& produce) {
  int descriptor;
  do descriptor = open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  while (descriptor < 0 && errno == EINTR);
  if (descriptor < 0) return openFailure(errno);
  Descriptor file(descriptor);
  // Replaced by a regular file since it was looked at: never overwrite one in place.
  struct stat opened;
  if (fstat(file.get(), &opened) != 0) return writeFailure(errno);
  if (S_ISREG(opened.st_mode))
    return {StatusCode::kCannotWrite, "the file changed while it was being opened"};
  DescriptorSink sink(file.get());
  if (Status status = produce(sink); !status.ok()) return status;
  return file.close();
}

// Whether a regular file may be replaced: not when the user may not write it, nor when no
// one may (no write bit at all), even for root, as rm asks before removing such a file.
bool mayReplace(const std::string& path, const struct stat& info, Status& refusal) {
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    refusal = StatusCode::kPermissionDenied;
    return false;
  }
  if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
    refusal = openFailure(errno);
    return false;
  }
  return true;
}

void endAfterRemovingTemporaries(int signal) {
  removePendingTemporaries();
  struct sigaction defaultAction = {};
  defaultAction.sa_handler = SIG_DFL;
  sigemptyset(&defaultAction.sa_mask);
  sigaction(signal, &defaultAction, nullptr);
  // Blocked while this handler runs, it arrives as the handler returns and ends the
  // process the way it would have without one.
  raise(signal);
}

}  // namespace

Status writeFileSafely(const std::string& utf8Path, const ByteProducer& produce,
                       TemporaryFile temporary) {
  struct stat info;
  const struct stat* replaced = nullptr;
  std::string target = utf8Path;
  if (lstat(utf8Path.c_str(), &info) == 0) {
    const bool link = S_ISLNK(info.st_mode);
    if (link && stat(utf8Path.c_str(), &info) != 0) {
      if (errno == ENOENT) return {StatusCode::kCannotWrite, "a symbolic link to nothing"};
      return openFailure(errno);
    }
    if (S_ISDIR(info.st_mode)) return writeFailure(EISDIR);
    if (!S_ISREG(info.st_mode)) return writeInPlace(utf8Path, produce);
    if (Status refusal; !mayReplace(utf8Path, info, refusal)) return refusal;
    replaced = &info;
    // Through a symbolic link, the file it names is replaced, not the link.
    if (link) {
      std::unique_ptr<char, decltype(&free)> real(realpath(utf8Path.c_str(), nullptr), &free);
      if (!real) return openFailure(errno);
      target = real.get();
    }
  } else if (errno != ENOENT) {
    return openFailure(errno);
  }
  if (temporary == TemporaryFile::kAnonymousWhereOffered)
    if (std::optional<Status> status = replaceThroughAnonymous(target, replaced, produce))
      return *status;
  return replaceThroughNamed(target, replaced, produce);
}

Status writeStandardOutput(const std::vector<ByteRange>& pieces) {
  if (std::fflush(stdout) != 0) return writeFailure(errno);
  DescriptorSink sink(STDOUT_FILENO);
  return sink.append(pieces);
}

void prepareSafeWrites() {
  struct sigaction ignore = {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGXFSZ, &ignore, nullptr);
  sigaction(SIGPIPE, &ignore, nullptr);

  const int endings[] = {SIGINT, SIGTERM, SIGHUP};
  struct sigaction cleanup = {};
  cleanup.sa_handler = endAfterRemovingTemporaries;
  sigemptyset(&cleanup.sa_mask);
  for (int signal : endings) sigaddset(&cleanup.sa_mask, signal);
  for (int signal : endings) {
    // A signal ignored from the start (nohup, a background job) stays ignored.
    struct sigaction current;
    if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_IGN)
      sigaction(signal, &cleanup, nullptr);
  }
}

#endif

}  // namespace vz
