// Timing for the in-process benchmarks: the best of several runs, the least disturbed.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>

namespace bench {

// Seconds of the fastest of RUNS calls of WORK, or -1 as soon as one call fails.
inline double bestSeconds(int runs, const std::function<bool()>& work) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    const auto begin = std::chrono::steady_clock::now();
    if (!work()) return -1;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - begin;
    best = std::min(best, elapsed.count());
  }
  return best;
}

}  // namespace bench
