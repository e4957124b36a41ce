// Writing whole files so that what they replace is respected: a regular file is replaced
// only by a complete new one, anything else (a FIFO, a device) is written as it is, a
// file the user may not write is left alone, and an interrupted write leaves nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/status.h"

namespace vz {

// Bytes of a file being written, kept where they are.
struct ByteRange {
  const uint8_t* data;
  size_t size;
};

// Where a file's bytes go as they are made.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Appends the pieces one after another. The first failure ends the write.
  virtual Status append(const std::vector<ByteRange>& pieces) = 0;
};

// Makes a file's bytes into the sink. A failure it returns abandons the write.
using ByteProducer = std::function<Status(ByteSink&)>;

// Writes a whole file at a UTF-8 path.
// - A regular file (or none yet) is written to a temporary file in the same folder, which
//   replaces it only once complete; on any failure the file that was there stays as it
//   was and no temporary file is left behind. A replaced file keeps its permission bits
//   (and, where allowed, its owner). Through a symbolic link the file it names is
//   replaced; the link stays. A link to nothing is refused, as cp refuses it.
// - An existing FIFO, device or socket is opened for writing as it is: no temporary
//   file, no rename. Opening a FIFO waits for its reader, as a shell's `>` does; a
//   socket cannot be opened and fails with the system's reason.
// - kPermissionDenied, touching nothing, for a target the user may not write: no write
//   permission (read-only on Windows), a regular file with no write bit at all (even for
//   root, as rm asks before removing one), or a folder where no file may be made.
// - Otherwise kCannotWrite with the system's reason ("No space left on device").
//
// The temporary file is made without a name where the file system allows (O_TMPFILE on
// Linux), and named only to be renamed over the target; kNamed asks for a named one from
// the start, as elsewhere. Both are removed on every way out (see prepareSafeWrites).
enum class TemporaryFile { kAnonymousWhereOffered, kNamed };
Status writeFileSafely(const std::string& utf8Path, const ByteProducer& produce,
                       TemporaryFile temporary = TemporaryFile::kAnonymousWhereOffered);
Status writeFileSafely(const std::string& utf8Path, const std::vector<ByteRange>& pieces);
Status writeFileSafely(const std::string& utf8Path, const std::vector<uint8_t>& bytes);

// The file name that stands for standard output on the command line.
inline bool namesStandardOutput(const std::string& utf8Name) {
  return utf8Name == "-";
}

// Writes the bytes to standard output (in binary mode on Windows), after whatever the
// C stream there holds. kCannotWrite with the system's reason on failure, also when the
// reader has gone (the pipe is broken).
Status writeStandardOutput(const std::vector<ByteRange>& pieces);
Status writeStandardOutput(const std::vector<uint8_t>& bytes);

// Sets up the process for safe writes; a program's main calls it once, first:
// SIGINT, SIGTERM and SIGHUP (unless ignored when the program started) remove the
// temporary files being written and then end the process by the signal's default
// action; SIGXFSZ and SIGPIPE are ignored, so that a write past the file size limit or
// into a closed pipe fails and is reported. On Windows the console's Ctrl+C, Ctrl+Break,
// close, log-off and shut-down events remove them before the process ends.
void prepareSafeWrites();

}  // namespace vz
