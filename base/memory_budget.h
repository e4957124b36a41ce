// Memory that work running side by side may hold at once, and the machine's memory it is
// chosen from.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace vz {

// The memory this process may use: the machine's physical memory, or the limit of the
// control group (container) it runs in where that is smaller; 0 when the system does not
// say.
uint64_t usableMemoryBytes();

// A budget of bytes that jobs reserve before their work and give back after it. A
// reservation waits until it fits beside those held; one larger than the whole budget
// waits until it can run alone. Reservations are granted in the order they were asked
// for, so none waits for ever, and as long as each job holds at most one, no deadlock
// can arise.
class MemoryBudget {
 public:
  explicit MemoryBudget(uint64_t bytes) : budget_(bytes) {}
  MemoryBudget(const MemoryBudget&) = delete;
  MemoryBudget& operator=(const MemoryBudget&) = delete;

  uint64_t budget() const { return budget_; }
  // Waits for room, then holds `bytes`.
  void reserve(uint64_t bytes);
  // Gives back what one reservation of `bytes` held.
  void release(uint64_t bytes);

 private:
  const uint64_t budget_;
  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t held_ = 0;
  uint64_t holders_ = 0;
  uint64_t nextTicket_ = 0;  // the order reservations were asked in
  uint64_t serving_ = 0;     // the one whose turn it is
};

// A reservation held for as long as it lives.
class MemoryReservation {
 public:
  MemoryReservation(MemoryBudget& budget, uint64_t bytes) : budget_(budget), bytes_(bytes) {
    budget_.reserve(bytes_);
  }
  ~MemoryReservation() { budget_.release(bytes_); }
  MemoryReservation(const MemoryReservation&) = delete;
  MemoryReservation& operator=(const MemoryReservation&) = delete;

 private:
  MemoryBudget& budget_;
  const uint64_t bytes_;
};

}  // namespace vz
