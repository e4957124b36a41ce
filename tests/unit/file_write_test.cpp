// Safe writes: what each kind of target becomes, what an interrupted or failed write
// leaves, and file identity. Children (fork) take the signals and limits, so that this
// process keeps its own.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/file_identity.h"
#include "base/file_write.h"
#include "tests/unit/test_support.h"

namespace vz {
namespace {

namespace fs = std::filesystem;
using test::ScratchFolder;
using Bytes = std::vector<uint8_t>;

const Bytes kOld = {'o', 'l', 'd'};

// Bytes no two rows share by chance, more than a pipe holds at once.
Bytes patterned(size_t size) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 131 + i / 509);
  return bytes;
}

std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

Bytes readAll(int descriptor) {
  Bytes bytes;
  uint8_t buffer[65536];
  for (ssize_t got; (got = read(descriptor, buffer, sizeof buffer)) != 0;)
    if (got > 0)
      bytes.insert(bytes.end(), buffer, buffer + got);
    else if (errno != EINTR)
      break;
  return bytes;
}

// Runs `body` in a child process; its answer is the child's exit status.
pid_t startChild(const std::function<int()>& body) {
  const pid_t child = fork();
  if (child == 0) _exit(body());
  return child;
}

int waitFor(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

bool isRoot() {
  return geteuid() == 0;
}

bool offersAnonymousTemporaries(const std::string& folder) {
  const int descriptor = open(folder.c_str(), O_TMPFILE | O_WRONLY, 0600);
  if (descriptor < 0) return false;
  close(descriptor);
  return true;
}

mode_t modeOf(const std::string& path, bool followLink = true) {
  struct stat info = {};
  const int looked = followLink ? stat(path.c_str(), &info) : lstat(path.c_str(), &info);
  return looked == 0 ? info.st_mode : 0;
}

struct TargetRow {
  const char* name;
  // Makes the target in the folder; false when it cannot be made here (not root).
  std::function<bool(const ScratchFolder&, const std::string& target)> make;
  StatusCode expected;
  // The target afterwards, given the bytes it was sent.
  std::function<void(const ScratchFolder&, const std::string& target, const Bytes& sent)> check;
  std::vector<std::string> namesAfter;  // the folder's whole listing afterwards
  bool readBack = false;                // a reader thread takes the bytes (a FIFO)
};

void keepsOld(const ScratchFolder&, const std::string& target, const Bytes&) {
  EXPECT_EQ(test::readFileBytes(target), kOld);
}

bool makeOld(const std::string& path, mode_t mode) {
  return test::writeFileBytes(path, kOld) && chmod(path.c_str(), mode) == 0;
}

TEST(SafeWrite, EachKindOfTargetIsRespected) {
  const Bytes sent = patterned(300000);
  const std::vector<TargetRow> rows = {
      {"a new file",
       [](auto&, auto&) { return true; },
       StatusCode::kOk,
       [](auto&, auto& target, auto& bytes) { EXPECT_EQ(test::readFileBytes(target), bytes); },
       {"target"}},
      {"a replaced file keeps its permission bits",
       [](auto&, auto& target) { return makeOld(target, 0640); },
       StatusCode::kOk,
       [](auto&, auto& target, auto& bytes) {
         EXPECT_EQ(test::readFileBytes(target), bytes);
         EXPECT_EQ(modeOf(target) & 07777, 0640u);
       },
       {"target"}},
      {"a symbolic link is followed and stays a link",
       [](auto& folder, auto& target) {
         return makeOld(folder / "real", 0604) && symlink("real", target.c_str()) == 0;
       },
       StatusCode::kOk,
       [](auto& folder, auto& target, auto& bytes) {
         EXPECT_TRUE(S_ISLNK(modeOf(target, false)));
         EXPECT_EQ(test::readFileBytes(folder / "real"), bytes);
         EXPECT_EQ(modeOf(folder / "real") & 07777, 0604u);
       },
       {"real", "target"}},
      {"a read-only file is refused and untouched",
       [](auto&, auto& target) { return makeOld(target, 0444); },
       StatusCode::kPermissionDenied,
       [](auto& folder, auto& target, auto& bytes) {
         keepsOld(folder, target, bytes);
         EXPECT_EQ(modeOf(target) & 07777, 0444u);
       },
       {"target"}},
      {"a link to nothing is refused and stays",
       [](auto&, auto& target) { return symlink("nowhere", target.c_str()) == 0; },
       StatusCode::kCannotWrite,
       [](auto&, auto& target, auto&) { EXPECT_TRUE(S_ISLNK(modeOf(target, false))); },
       {"target"}},
      {"a FIFO is written in place for its reader",
       [](auto&, auto& target) { return mkfifo(target.c_str(), 0600) == 0; },
       StatusCode::kOk,
       [](auto&, auto& target, auto&) { EXPECT_TRUE(S_ISFIFO(modeOf(target))); },
       {"target"},
       true},
      {"a device is written in place and stays a device",
       [](auto&, auto& target) {
         if (!isRoot() || mknod(target.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) return false;
         // A folder on a nodev mount holds the node but will not open it.
         const int descriptor = open(target.c_str(), O_WRONLY);
         if (descriptor >= 0) close(descriptor);
         return descriptor >= 0;
       },
       StatusCode::kOk,
       [](auto&, auto& target, auto&) {
         struct stat info = {};
         ASSERT_EQ(stat(target.c_str(), &info), 0);
         EXPECT_TRUE(S_ISCHR(info.st_mode));
         EXPECT_EQ(info.st_rdev, makedev(1, 3));
       },
       {"target"}},
      {"a socket cannot be opened, and stays",
       [](auto&, auto& target) {
         sockaddr_un address = {};
         address.sun_family = AF_UNIX;
         if (target.size() >= sizeof address.sun_path) return false;
         target.copy(address.sun_path, target.size());
         const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
         const bool bound =
             bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
         close(listener);
         return bound;
       },
       StatusCode::kCannotWrite,
       [](auto&, auto& target, auto&) { EXPECT_TRUE(S_ISSOCK(modeOf(target))); },
       {"target"}},
  };
  for (const TargetRow& row : rows) {
    SCOPED_TRACE(row.name);
    ScratchFolder folder;
    const std::string target = folder / "target";
    if (!row.make(folder, target)) {
      std::printf("skipped, cannot be made here (root and devices needed): %s\n", row.name);
      continue;
    }
    Bytes readBack;
    std::thread reader;
    if (row.readBack)
      reader = std::thread([&] {
        const int descriptor = open(target.c_str(), O_RDONLY);
        readBack = readAll(descriptor);
        close(descriptor);
      });
    const Status status = writeFileSafely(target, sent);
    if (reader.joinable()) reader.join();
    EXPECT_EQ(status.code(), row.expected) << status.reason();
    if (row.readBack) {
      EXPECT_EQ(readBack, sent);
    }
    row.check(folder, target, sent);
    EXPECT_EQ(namesIn(folder.path()), row.namesAfter);
  }
}

TEST(SafeWrite, StandardOutputTakesTheBytesAsTheyAre) {
  struct Row {
    const char* name;
    bool readerStays;
    StatusCode expected;
  };
  const Row rows[] = {{"read whole", true, StatusCode::kOk},
                      {"reader gone", false, StatusCode::kCannotWrite}};
  // Pieces of every size, empty ones too, and more than a pipe holds.
  const Bytes big = patterned(200000);
  const std::vector<ByteRange> pieces = {
      {big.data(), 0}, {big.data(), 7}, {big.data() + 7, 0}, {big.data() + 7, big.size() - 7}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    int toReader[2], answer[2];
    ASSERT_EQ(pipe(toReader), 0);
    ASSERT_EQ(pipe(answer), 0);
    if (!row.readerStays) close(toReader[0]);
    std::fflush(stdout);
    const pid_t child = startChild([&] {
      prepareSafeWrites();
      close(answer[0]);
      dup2(toReader[1], STDOUT_FILENO);
      close(toReader[1]);
      // Text the C stream holds goes out first.
      std::fputs("text ", stdout);
      const Status status = writeStandardOutput(pieces);
      close(STDOUT_FILENO);
      const std::string reason = status.reason();
      return write(answer[1], reason.data(), reason.size()) < 0 ? 100
                                                                : static_cast<int>(status.code());
    });
    close(toReader[1]);
    close(answer[1]);
    const Bytes received = row.readerStays ? readAll(toReader[0]) : Bytes();
    if (row.readerStays) close(toReader[0]);
    const Bytes reason = readAll(answer[0]);
    close(answer[0]);
    const int status = waitFor(child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(row.expected));
    if (row.readerStays) {
      Bytes expected = {'t', 'e', 'x', 't', ' '};
      expected.insert(expected.end(), big.begin(), big.end());
      EXPECT_EQ(received, expected);
    } else {
      EXPECT_EQ(std::string(reason.begin(), reason.end()), "Broken pipe");
    }
  }
}

// Sends the first bytes, says so on `ready`, then waits on `hold` for ever.
ByteProducer stallingProducer(const Bytes& first, int ready, int hold) {
  return [&first, ready, hold](ByteSink& sink) {
    Status status = sink.append({{first.data(), first.size()}});
    const char byte = 1;
    if (!status.ok() || write(ready, &byte, 1) != 1) return status;
    char never;
    while (read(hold, &never, 1) != 0) {
    }
    return Status(StatusCode::kCannotWrite, "held open");
  };
}

// Temporary files the child holds open without a name in the folder.
int anonymousFilesOf(pid_t child, const std::string& folder) {
  int count = 0;
  const std::string prefix = folder + "/#";
  for (const fs::directory_entry& entry :
       fs::directory_iterator("/proc/" + std::to_string(child) + "/fd")) {
    std::error_code ignored;
    const std::string target = fs::read_symlink(entry.path(), ignored).string();
    if (target.rfind(prefix, 0) == 0 && target.find("(deleted)") != std::string::npos) ++count;
  }
  return count;
}

TEST(SafeWrite, ASignalMidWriteLeavesTheOldFileAndNothingElse) {
  struct Row {
    int signal;
    TemporaryFile temporary;
  };
  const Row rows[] = {{SIGINT, TemporaryFile::kNamed},
                      {SIGTERM, TemporaryFile::kNamed},
                      {SIGHUP, TemporaryFile::kNamed},
                      {SIGINT, TemporaryFile::kAnonymousWhereOffered},
                      {SIGTERM, TemporaryFile::kAnonymousWhereOffered}};
  const Bytes first = patterned(5000);
  for (const Row& row : rows) {
    const bool named = row.temporary == TemporaryFile::kNamed;
    SCOPED_TRACE(std::string(strsignal(row.signal)) + (named ? ", named" : ", anonymous"));
    ScratchFolder folder;
    const std::string target = folder / "target.bmp";
    ASSERT_TRUE(test::writeFileBytes(target, kOld));
    if (!named && !offersAnonymousTemporaries(folder.path())) {
      std::printf("skipped: no O_TMPFILE in %s\n", folder.path().c_str());
      continue;
    }
    int ready[2], hold[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(hold), 0);
    const pid_t child = startChild([&] {
      prepareSafeWrites();
      close(ready[0]);
      close(hold[1]);
      writeFileSafely(target, stallingProducer(first, ready[1], hold[0]), row.temporary);
      return 0;
    });
    close(ready[1]);
    close(hold[0]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    // Mid-write: the temporary file is there, by name or held open without one.
    EXPECT_EQ(namesIn(folder.path()).size(), named ? 2u : 1u);
    if (!named) {
      EXPECT_EQ(anonymousFilesOf(child, folder.path()), 1);
    }
    kill(child, row.signal);
    const int status = waitFor(child);
    close(ready[0]);
    close(hold[1]);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == row.signal) << status;
    EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"target.bmp"});
    EXPECT_EQ(test::readFileBytes(target), kOld);
  }
}

TEST(SafeWrite, AFailedWriteLeavesTheOldFileAndNothingElse) {
  struct Row {
    const char* name;
    TemporaryFile temporary;
    rlim_t sizeLimit;  // RLIM_INFINITY: none
    bool producerFails;
    const char* reason;
  };
  const Row rows[] = {
      {"past the file size limit, anonymous", TemporaryFile::kAnonymousWhereOffered, 4096, false,
       "File too large"},
      {"past the file size limit, named", TemporaryFile::kNamed, 4096, false, "File too large"},
      {"the producer fails, anonymous", TemporaryFile::kAnonymousWhereOffered, RLIM_INFINITY, true,
       "no more"},
      {"the producer fails, named", TemporaryFile::kNamed, RLIM_INFINITY, true, "no more"},
  };
  const Bytes sent = patterned(100000);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ScratchFolder folder;
    const std::string target = folder / "target.png";
    ASSERT_TRUE(test::writeFileBytes(target, kOld));
    int answer[2];
    ASSERT_EQ(pipe(answer), 0);
    const pid_t child = startChild([&] {
      prepareSafeWrites();
      close(answer[0]);
      const rlimit limit = {row.sizeLimit, row.sizeLimit};
      setrlimit(RLIMIT_FSIZE, &limit);
      const Status status = writeFileSafely(
          target,
          [&](ByteSink& sink) {
            Status appended = sink.append({{sent.data(), sent.size() / 2}});
            if (!appended.ok() || row.producerFails)
              return row.producerFails ? Status(StatusCode::kCannotWrite, "no more") : appended;
            return sink.append({{sent.data() + sent.size() / 2, sent.size() - sent.size() / 2}});
          },
          row.temporary);
      const std::string reason = status.reason();
      return write(answer[1], reason.data(), reason.size()) < 0 ? 100
                                                                : static_cast<int>(status.code());
    });
    close(answer[1]);
    const Bytes reason = readAll(answer[0]);
    close(answer[0]);
    const int status = waitFor(child);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(StatusCode::kCannotWrite));
    EXPECT_EQ(std::string(reason.begin(), reason.end()), row.reason);
    EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"target.png"});
    EXPECT_EQ(test::readFileBytes(target), kOld);
  }
}

TEST(FileIdentity, NamesOfOneFileAreTheSameFile) {
  ScratchFolder folder;
  ASSERT_TRUE(test::writeFileBytes(folder / "a.bmp", kOld));
  ASSERT_TRUE(test::writeFileBytes(folder / "twin.bmp", kOld));
  ASSERT_EQ(link((folder / "a.bmp").c_str(), (folder / "hard.bmp").c_str()), 0);
  ASSERT_EQ(symlink(".", (folder / "here").c_str()), 0);
  struct Row {
    std::string a, b;
    bool same;
  };
  const Row rows[] = {
      {folder / "a.bmp", folder / "a.bmp", true},
      {folder / "a.bmp", folder / "hard.bmp", true},
      {folder / "a.bmp", folder / "here/a.bmp", true},
      {folder / "a.bmp", folder.path() + "/./a.bmp", true},
      {folder / "a.bmp", folder / "twin.bmp", false},
      {folder / "a.bmp", folder / "missing.bmp", false},
      {folder / "missing.bmp", folder / "missing.bmp", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.a + " vs " + row.b);
    EXPECT_EQ(sameFile(row.a, row.b), row.same);
    EXPECT_EQ(sameFile(row.b, row.a), row.same);
  }
}

}  // namespace
}  // namespace vz
