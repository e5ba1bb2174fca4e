// The exact value of a system over all outcomes, with the chart's bins, each
// beside its floor measured in the same run: one pass over the 3^n outcomes
// doing a multiply-add per outcome (floor_ms). peak_MB: resident memory the
// computation adds beyond the rows, measured in a child process.
// - full 13 with 1 row, 1,000 rows and all 1,594,323 rows;
// - full 14 with all 4,782,969 rows;
// - both full systems on one thread.
//   build/bench/value_bench
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>
#include "outcome_pass.h"
#include "resident_peak.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "value/system_value.h"
#include "value/value_model.h"

namespace spelkub {
namespace {

using Clock = std::chrono::steady_clock;
using bench::PeakMbBeyond;

using bench::OutcomePassMs;

ValueModel BenchModel(int matches) {
  std::mt19937_64 random(2024);
  std::uniform_real_distribution<double> percent(5, 70);
  MatchValues values;
  for (int m = 0; m < matches; ++m) {
    for (int sign = 0; sign < 3; ++sign) {
      values.match[m].chance[sign] = percent(random);
      values.match[m].streck[sign] = percent(random);
    }
  }
  PoolModel pool = DefaultPoolModel(matches);
  pool.turnover = 30e6;
  std::string error;
  return *MakeValueModel(values, matches, pool, &error);
}

std::vector<PackedRow> Rows(int matches, int64_t count) {
  std::vector<PackedRow> rows;
  const int64_t outcomes = Power3(matches);
  std::mt19937_64 random(7);
  std::uniform_int_distribution<int64_t> pick(0, outcomes - 1);
  for (int64_t i = 0; i < count; ++i) {
    int64_t index = count == outcomes ? i : pick(random);
    PackedRow row = 0;
    for (int m = 0; m < matches; ++m, index /= 3)
      row |= static_cast<PackedRow>(index % 3) << (2 * m);
    rows.push_back(row);
  }
  return rows;
}

void SystemValueOf(benchmark::State& bench, int matches, int64_t count, int threads) {
  const ValueModel model = BenchModel(matches);
  const std::vector<PackedRow> rows = Rows(matches, count < 0 ? Power3(matches) : count);
  SystemValueOptions options;
  options.threads = threads;
  for (int i = 0; i <= 16; ++i) options.payoutEdges.push_back(std::pow(10.0, i / 2.0));
  std::optional<SystemValue> value;
  for (auto _ : bench) {
    value = ComputeSystemValue(model, rows, options);
    benchmark::DoNotOptimize(value->expectedReturn);
  }
  bench.counters["rows"] = static_cast<double>(rows.size());
  bench.counters["ore_per_row"] = value->returnOrePerRow;
  bench.counters["floor_ms"] = OutcomePassMs(matches);
  bench.counters["peak_MB"] = PeakMbBeyond(
      [&] { benchmark::DoNotOptimize(ComputeSystemValue(model, rows, options)->expectedReturn); });
}

BENCHMARK_CAPTURE(SystemValueOf, Full13OneRow, 13, 1, 2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(SystemValueOf, Full13Rows1000, 13, 1000, 2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(SystemValueOf, Full13AllRows, 13, -1, 2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(SystemValueOf, Full14AllRows, 14, -1, 2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(SystemValueOf, Full13AllRowsOneThread, 13, -1, 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(SystemValueOf, Full14AllRowsOneThread, 14, -1, 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace spelkub
