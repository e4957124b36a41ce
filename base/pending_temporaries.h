// The temporary files this process is writing, by name, so that a signal or console event
// that ends the process can remove them first.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace vz {

#ifdef _WIN32
using NativePath = std::wstring;
#else
using NativePath = std::string;
#endif

// Keeps a temporary file's name on the process's list while it lives. Made before the
// file is, so that no moment exists when the file is there and unlisted.
class PendingTemporary {
 public:
  // Waits while the list is full (as many writes at once as it has rows).
  explicit PendingTemporary(const NativePath& name);
  ~PendingTemporary();
  PendingTemporary(const PendingTemporary&) = delete;
  PendingTemporary& operator=(const PendingTemporary&) = delete;

 private:
  std::unique_ptr<NativePath::value_type[]> name_;
  size_t row_ = 0;
};

// Removes every listed temporary file. Async-signal-safe: for signal handlers and console
// control handlers, on the way out of the process.
void removePendingTemporaries();

}  // namespace vz
