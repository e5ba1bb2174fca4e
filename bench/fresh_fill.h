// The floor of a figure that writes `bytes` of new memory: mapping that much
// fresh memory, filling it and giving it back, measured in the same run.
#pragma once

#include <benchmark/benchmark.h>
#include <sys/mman.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "io/huge_pages.h"

namespace spelkub::bench {

// Milliseconds to map `bytes` of fresh memory, fill it and unmap it, with or
// without transparent huge pages asked for: the median of five.
inline double FreshFillMs(size_t bytes, bool hugePages) {
  std::vector<double> times;
  for (int run = 0; run < 5; ++run) {
    const auto start = std::chrono::steady_clock::now();
    void* memory =
        ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return -1;
    if (hugePages) AdviseHugePages(memory, bytes);
    std::memset(memory, 'E', bytes);
    benchmark::DoNotOptimize(memory);
    ::munmap(memory, bytes);
    times.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// The floor as counters beside a benchmark's own figures.
inline void ShowFreshFillFloor(benchmark::State& bench, size_t bytes) {
  bench.counters["bytes"] = static_cast<double>(bytes);
  bench.counters["fresh_fill_ms"] = FreshFillMs(bytes, false);
  bench.counters["fresh_fill_huge_ms"] = FreshFillMs(bytes, true);
}

}  // namespace spelkub::bench
