#include <windows.h>

#include "base/file_identity.h"
#include "base/utf16.h"

namespace vz {

std::optional<FileIdentity> fileIdentity(const std::string& utf8Path) {
  // Backup semantics open folders too; a symbolic link is followed.
  const HANDLE handle = CreateFileW(utf8ToWide(utf8Path).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION information;
  const bool known = GetFileInformationByHandle(handle, &information) != 0;
  CloseHandle(handle);
  if (!known) return std::nullopt;
  return FileIdentity{information.dwVolumeSerialNumber,
                      (uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow};
}

}  // namespace vz
