// The floor of the benchmarks that work over every outcome of a system: one
// dependent multiply-add per outcome, with a factor the compiler cannot know.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

#include "coupon/system_shape.h"

namespace spelkub::bench {

// The median of five passes over the 3^matches outcomes, ms.
inline double OutcomePassMs(int matches) {
  volatile double given = 0.999999;
  const double factor = given;
  const int64_t outcomes = Power3(matches);
  std::vector<double> times;
  for (int run = 0; run < 5; ++run) {
    const auto start = std::chrono::steady_clock::now();
    double sum = 0;
    for (int64_t y = 0; y < outcomes; ++y) sum = sum * factor + static_cast<double>(y);
    benchmark::DoNotOptimize(sum);
    times.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace spelkub::bench
