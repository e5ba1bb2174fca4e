// "Optimerad garanti" on the systems of its reference table, on larger pure
// systems and on mixed ones at 12 right, at quick and normal effort.
//
//   optimize_bench                                   (every case, several minutes)
//   optimize_bench --benchmark_filter=quick          (or normal, or deep)
//   SPELKUB_THREADS=1 optimize_bench ...             (threads; 0 or unset: every core)
//
// Counters: rows found, greedy rows (the "Garanti" reduction), reference (the
// size to reach: today's tables or the best known code; 0 where there is
// none), bound (the lower bound the optimizer reports), proved (1 when the
// rows meet it), threads, cpu_s (processor time of the call, all threads),
// peak_MB (the most heap the call held at once, its result included), and two
// floors measured in the same run: cover_ms, one exact coverage pass over the
// found rows; fill_ms, allocating and filling as many bytes as the call's peak
// memory. The coupon of 5 full, 4 half and 4 single matches has its half
// matches first, where the greedy keeps 976 / 152 / 46 rows.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "cover/coverage.h"
#include "cover/optimize.h"
#include "heap_peak.h"

namespace spelkub {
namespace {

struct Case {
  const char* name;
  int matches;
  int full;  // matches fully marked
  int half;  // matches marked "1" and "X": after the full ones, or before them when halfFirst
  int guarantee;
  int64_t reference;
  bool halfFirst = false;
  bool deep = false;  // also at deep effort
};

constexpr Case kCases[] = {
    {"4full_9single_G12", 13, 4, 0, 12, 9},
    {"3full_3half_G12", 13, 3, 3, 12, 24},
    {"4full_4half_G12", 13, 4, 4, 12, 130},
    {"7half_G12", 13, 0, 7, 12, 16},
    {"6full_G12", 13, 6, 0, 12, 73},
    {"13full_G12", 13, 13, 0, 12, 59049},
    {"13full_G11", 13, 13, 0, 11, 6561},
    {"13full_G10", 13, 13, 0, 10, 2187, false, true},
    {"13full_G9", 13, 13, 0, 9, 729, false, true},
    {"14full_G13", 14, 14, 0, 13, 177147},
    {"14full_G12", 14, 14, 0, 12, 19683},
    {"14full_G11", 14, 14, 0, 11, 3645},
    {"4half_5full_4single_G12", 13, 5, 4, 12, 387, true},
    {"4half_5full_4single_G11", 13, 5, 4, 11, 81, true},
    {"4half_5full_4single_G10", 13, 5, 4, 10, 23, true},
    // Larger pure systems and the best known codes.
    {"8full_G12", 13, 8, 0, 12, 486, false, true},
    {"7full_G12", 13, 7, 0, 12, 186, false, true},
    {"10full_G10", 13, 10, 0, 10, 135, false, true},
    {"9full_G10", 13, 9, 0, 10, 63, false, true},
    {"13full_G8", 13, 13, 0, 8, 108, false, true},
    {"14full_G10", 14, 14, 0, 10, 0},
    // Mixed systems at 12 right.
    {"2full_5half_G12", 13, 2, 5, 12, 0},
    {"3full_4half_G12", 13, 3, 4, 12, 0},
    {"4full_2half_G12", 13, 4, 2, 12, 0},
    {"4full_5half_G12", 13, 4, 5, 12, 0},
    {"5full_2half_G12", 13, 5, 2, 12, 0},
    {"5full_3half_G12", 13, 5, 3, 12, 0},
    {"6full_2half_G12", 13, 6, 2, 12, 0},
    {"6full_3half_G12", 13, 6, 3, 12, 0},
    {"3full_6half_G12", 13, 3, 6, 12, 0},
    {"2full_7half_G12", 13, 2, 7, 12, 0},
    {"7full_2half_G12", 13, 7, 2, 12, 0},
    {"1full_8half_G12", 13, 1, 8, 12, 0},
    {"14m_5full_5half_G13", 14, 5, 5, 13, 0},
};

SystemShape ShapeOf(const Case& c) {
  SystemShape shape;
  shape.matches = c.matches;
  for (int m = 0; m < c.matches; ++m) {
    const int first = c.halfFirst ? c.half : c.full;
    const int firstRadix = c.halfFirst ? 2 : 3;
    const int secondRadix = c.halfFirst ? 3 : 2;
    shape.radix[m] = static_cast<uint8_t>(m < first             ? firstRadix
                                          : m < c.full + c.half ? secondRadix
                                                                : 1);
    shape.outcomes[m] = {0, 1, 2};
  }
  return shape;
}

// Processor time of this process: the machine is shared, so wall time alone
// overstates the search's cost.
double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double Milliseconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since)
      .count();
}

int Threads() {
  const char* text = std::getenv("SPELKUB_THREADS");
  return text == nullptr ? 0 : std::atoi(text);
}

void Optimize(benchmark::State& state, Case c, Effort effort) {
  const SystemShape shape = ShapeOf(c);
  OptimizeResult result;
  int64_t peak = 0;
  double cpuSeconds = 0;
  for (auto _ : state) {
    const int64_t before = bench::StartHeapPeak();
    const double cpuStart = CpuSeconds();
    result = *OptimizeGuarantee(shape, c.guarantee, effort, Threads(), Work{});
    cpuSeconds = CpuSeconds() - cpuStart;
    peak = bench::HeapPeak() - before;
  }
  const auto coverStart = std::chrono::steady_clock::now();
  const Coverage coverage = ComputeCoverage(shape, result.rows);
  const double coverMs = Milliseconds(coverStart);
  benchmark::DoNotOptimize(coverage.maxDistance);

  const auto fillStart = std::chrono::steady_clock::now();
  auto bytes = std::make_unique_for_overwrite<char[]>(static_cast<size_t>(peak));
  std::memset(bytes.get(), 1, static_cast<size_t>(peak));
  benchmark::DoNotOptimize(bytes.get());
  const double fillMs = Milliseconds(fillStart);

  state.counters["rows"] = static_cast<double>(result.rows.size());
  state.counters["greedy"] = static_cast<double>(result.greedyRows);
  state.counters["reference"] = static_cast<double>(c.reference);
  state.counters["guarantee"] = result.guarantee;
  state.counters["bound"] = static_cast<double>(result.bound);
  state.counters["proved"] = result.provedMinimal ? 1 : 0;
  state.counters["threads"] = result.threads;
  state.counters["cpu_s"] = cpuSeconds;
  state.counters["peak_MB"] = static_cast<double>(peak) / 1e6;
  state.counters["cover_ms"] = coverMs;
  state.counters["fill_ms"] = fillMs;
  state.SetLabel(result.method + (result.timeCapped ? " (time cap)" : ""));
}

const bool registered = [] {
  for (const Case& c : kCases) {
    benchmark::RegisterBenchmark((std::string(c.name) + "/quick").c_str(), Optimize, c,
                                 Effort::kQuick)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->UseRealTime();
  }
  for (const Case& c : kCases) {
    benchmark::RegisterBenchmark((std::string(c.name) + "/normal").c_str(), Optimize, c,
                                 Effort::kNormal)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->UseRealTime();
  }
  // Deep effort on the larger pure systems, where the best known codes lie
  // below what normal effort finds.
  for (const Case& c : kCases) {
    if (!c.deep) continue;
    benchmark::RegisterBenchmark((std::string(c.name) + "/deep").c_str(), Optimize, c,
                                 Effort::kDeep)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->UseRealTime();
  }
  return true;
}();

}  // namespace
}  // namespace spelkub
