// Which file a path names, so that two names of one file (a hard link, a path through a
// symbolic link, "./x" and "x") compare equal and different files never do.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vz {

// A file as the system knows it: device and inode, or on Windows the volume serial
// number and file index.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t file = 0;

  friend bool operator==(const FileIdentity& a, const FileIdentity& b) {
    return a.device == b.device && a.file == b.file;
  }
  friend bool operator!=(const FileIdentity& a, const FileIdentity& b) { return !(a == b); }
};

// The identity of the file a UTF-8 path names, following symbolic links; none when the
// path names nothing that can be looked at (missing, a dangling link, no permission).
std::optional<FileIdentity> fileIdentity(const std::string& utf8Path);

// Whether two paths name one existing file. A path that names nothing is never the same
// as another: a file not yet written is no input.
bool sameFile(const std::string& utf8PathA, const std::string& utf8PathB);

}  // namespace vz
