// Choosing rows by value (SelectRows) on the largest systems, each beside
// floors measured in the same run: floor_ms, one pass over the 3^n outcomes
// doing a multiply-add per outcome; value_ms, the exact value of the chosen
// rows (ComputeSystemValue, what --value takes for them). peak_MB: resident
// memory the selection adds, measured in a child process, beside
// value_peak_MB, what the exact value of the whole system (every row) adds.
//   build/bench/select_bench [--benchmark_filter=Full13]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "coupon/games.h"
#include "outcome_pass.h"
#include "resident_peak.h"
#include "select/select_rows.h"
#include "value/system_value.h"
#include "value/value_model.h"

namespace spelkub {
namespace {

using Clock = std::chrono::steady_clock;
using bench::PeakMbBeyond;

using bench::OutcomePassMs;

// Matches with random chances, the public following them with errors of
// its own; the pool of `game`, or for no game the default pool of `matches`.
ValueModel BenchModel(int matches, int32_t game = -1) {
  std::mt19937_64 random(2024);
  std::uniform_real_distribution<double> percent(5, 70);
  MatchValues values;
  for (int m = 0; m < matches; ++m) {
    for (int sign = 0; sign < 3; ++sign) {
      values.match[m].chance[sign] = percent(random);
      // The public follows the chances, with its own errors.
      values.match[m].streck[sign] =
          values.match[m].chance[sign] * (0.6 + 0.8 * (random() % 100) / 100.0);
    }
  }
  PoolModel pool = game >= 0 ? PoolModelOf(Rules(game)) : DefaultPoolModel(matches);
  pool.turnover = game == kTopptipset ? 1.5e6 : 30e6;
  std::string error;
  return *MakeValueModel(values, matches, pool, &error);
}

System FullSystem(int matches) {
  SystemShape shape;
  shape.matches = matches;
  for (int m = 0; m < matches; ++m) {
    shape.radix[m] = 3;
    shape.outcomes[m] = {0, 1, 2};
  }
  return System(shape);
}

void Select(benchmark::State& bench, int matches, int64_t budget, int right, int32_t game = -1) {
  const ValueModel model = BenchModel(matches, game);
  const System system = FullSystem(matches);
  SelectOptions options;
  options.budgetRows = budget;
  if (right > 0) options.objective = {SelectGoal::kAtLeast, right};
  std::optional<SelectResult> result;
  for (auto _ : bench) {
    result = SelectRows(model, system, options);
    benchmark::DoNotOptimize(result->objective);
  }
  bench.counters["rows"] = static_cast<double>(result->rows.size());
  bench.counters["evaluations"] = static_cast<double>(result->evaluations);
  bench.counters["floor_ms"] = OutcomePassMs(matches);
  std::vector<double> times;
  for (int run = 0; run < 3; ++run) {
    const auto start = Clock::now();
    benchmark::DoNotOptimize(ComputeSystemValue(model, result->rows)->expectedReturn);
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  bench.counters["value_ms"] = times[1];
  bench.counters["peak_MB"] = PeakMbBeyond(
      [&] { benchmark::DoNotOptimize(SelectRows(model, system, options)->objective); });
  std::vector<PackedRow> every;
  for (int64_t i = 0; i < system.size(); ++i) every.push_back(system.shape().RowAt(i));
  bench.counters["value_peak_MB"] = PeakMbBeyond(
      [&] { benchmark::DoNotOptimize(ComputeSystemValue(model, every)->expectedReturn); });
}

// The cases: 13 matches at 1 000 and 100 rows, Supertoto's 14 at
// 1 000, Topptipset's 8 (6 561 rows) at 500; every objective.
BENCHMARK_CAPTURE(Select, Full13Return1000, 13, 1000, 0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Select, Full13AtLeast13_1000, 13, 1000, 13)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Select, Full13AtLeast12_1000, 13, 1000, 12)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Select, Full13AtLeast11_1000, 13, 1000, 11)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Select, Full13AtLeast10_1000, 13, 1000, 10)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Select, Full13Return100, 13, 100, 0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Select, Full13AtLeast13_100, 13, 100, 13)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Select, Full13AtLeast12_100, 13, 100, 12)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Select, Full13AtLeast11_100, 13, 100, 11)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Select, Full13AtLeast10_100, 13, 100, 10)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Select, Full14Return1000, 14, 1000, 0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Select, Full14AtLeast14_1000, 14, 1000, 14)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Select, Full14AtLeast13_1000, 14, 1000, 13)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Select, Full14AtLeast12_1000, 14, 1000, 12)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Select, Full14AtLeast11_1000, 14, 1000, 11)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Select, Topptipset8Return500, 8, 500, 0, kTopptipset)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Select, Topptipset8AtLeast8_500, 8, 500, 8, kTopptipset)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Select, Topptipset8AtLeast7_500, 8, 500, 7, kTopptipset)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Select, Topptipset8AtLeast6_500, 8, 500, 6, kTopptipset)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Select, Topptipset8AtLeast5_500, 8, 500, 5, kTopptipset)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace spelkub
