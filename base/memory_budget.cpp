#include "base/memory_budget.h"

#ifndef _WIN32
#include <unistd.h>

#include <fstream>
#include <string>
#endif

namespace vz {

#ifndef _WIN32
namespace {

// A control group's memory limit: cgroup v2's memory.max, else v1's limit_in_bytes; 0 for
// none ("max", or a v1 limit so large that it stands for none).
uint64_t controlGroupLimit() {
  for (const char* path :
       {"/sys/fs/cgroup/memory.max", "/sys/fs/cgroup/memory/memory.limit_in_bytes"}) {
    std::ifstream file(path);
    std::string text;
    if (!(file >> text) || text.find_first_not_of("0123456789") != std::string::npos) continue;
    const uint64_t limit = std::stoull(text);
    return limit >= (uint64_t{1} << 60) ? 0 : limit;
  }
  return 0;
}

}  // namespace

uint64_t usableMemoryBytes() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGE_SIZE);
  uint64_t bytes = pages > 0 && pageSize > 0 ? uint64_t(pages) * uint64_t(pageSize) : 0;
  const uint64_t limit = controlGroupLimit();
  if (limit != 0 && (bytes == 0 || limit < bytes)) bytes = limit;
  return bytes;
}
#endif

void MemoryBudget::reserve(uint64_t bytes) {
  std::unique_lock<std::mutex> lock(mutex_);
  const uint64_t ticket = nextTicket_++;
  changed_.wait(lock, [&] {
    return ticket == serving_ && (holders_ == 0 || (held_ <= budget_ && bytes <= budget_ - held_));
  });
  held_ += bytes;
  ++holders_;
  ++serving_;
  changed_.notify_all();
}

void MemoryBudget::release(uint64_t bytes) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    held_ -= bytes;
    --holders_;
  }
  changed_.notify_all();
}

}  // namespace vz
