#include <windows.h>

#include "base/memory_budget.h"

namespace vz {

uint64_t usableMemoryBytes() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return 0;
  return status.ullTotalPhys;
}

}  // namespace vz
