#include "base/pending_temporaries.h"

#include <atomic>
#include <cstring>
#include <thread>

#ifdef _WIN32
#include <io.h>
#include <wchar.h>
#else
#include <unistd.h>
#endif

namespace vz {

namespace {

using NameChar = NativePath::value_type;

// A row taken by a handler that is removing its file: its writer lets go of the name
// without freeing it (the process is ending).
const NameChar kTaken[1] = {};

constexpr size_t kRows = 64;

// The program's one mutable global, by necessity: signal handlers get no arguments. Each
// row holds the name of a temporary file being written, or null when free. Lock-free
// atomics, so that a handler may read and take rows while other threads write.
std::atomic<const NameChar*> gPendingNames[kRows];
static_assert(std::atomic<const NameChar*>::is_always_lock_free);

}  // namespace

PendingTemporary::PendingTemporary(const NativePath& name)
    : name_(std::make_unique<NameChar[]>(name.size() + 1)) {
  std::memcpy(name_.get(), name.c_str(), name.size() * sizeof(NameChar));
  for (;; std::this_thread::yield()) {
    for (row_ = 0; row_ < kRows; ++row_) {
      const NameChar* free = nullptr;
      if (gPendingNames[row_].compare_exchange_strong(free, name_.get())) return;
    }
  }
}

PendingTemporary::~PendingTemporary() {
  const NameChar* own = name_.get();
  // When a handler has taken the row it may still be reading the name: leave it be.
  if (!gPendingNames[row_].compare_exchange_strong(own, nullptr)) name_.release();
}

void removePendingTemporaries() {
  for (std::atomic<const NameChar*>& row : gPendingNames) {
    const NameChar* name = row.load();
    // Taking the row first keeps its writer from freeing the name while it is used.
    if (name == nullptr || name == kTaken || !row.compare_exchange_strong(name, kTaken)) continue;
#ifdef _WIN32
    _wunlink(name);
#else
    unlink(name);
#endif
  }
}

}  // namespace vz
