#include "base/file_identity.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace vz {

#ifndef _WIN32
std::optional<FileIdentity> fileIdentity(const std::string& utf8Path) {
  struct stat info;
  if (stat(utf8Path.c_str(), &info) != 0) return std::nullopt;
  return FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}
#endif

bool sameFile(const std::string& utf8PathA, const std::string& utf8PathB) {
  const std::optional<FileIdentity> a = fileIdentity(utf8PathA);
  return a && a == fileIdentity(utf8PathB);
}

}  // namespace vz
