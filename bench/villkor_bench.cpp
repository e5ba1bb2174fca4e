// Conditions on the full systems, each beside its floor measured in the same
// run: one pass over the outcomes doing a multiply-add per outcome
// (floor_ms), the least any filter that looks at every outcome costs.
// - full 13 (1,594,323 outcomes) and Supertoto full (4,782,969) with ten
//   conditions of every measure, one of them allowed to break;
// - the same with the counting conditions alone;
// - the guarantee reduction on a filtered system beside the one on the full
//   system, per row of each system (ns_per_row): 10 full matches at 8 right,
//   13 full at 10 right.
//   build/bench/villkor_bench
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "coupon/row_set.h"
#include "reduce/reduction.h"
#include "villkor/condition.h"
#include "villkor/filter.h"

namespace spelkub {
namespace {

using Clock = std::chrono::steady_clock;

// One multiply-add per outcome, each on the result of the one before.
double FloorMs(int64_t outcomes) {
  volatile double given = 0.999999;
  const double factor = given;
  std::vector<double> times;
  for (int run = 0; run < 5; ++run) {
    const auto start = Clock::now();
    double sum = 0;
    for (int64_t y = 0; y < outcomes; ++y) sum = sum * factor + static_cast<double>(y);
    benchmark::DoNotOptimize(sum);
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

SystemShape FullShape(int matches, int fullMatches) {
  SystemShape shape;
  shape.matches = matches;
  for (int m = 0; m < matches; ++m) {
    shape.radix[m] = m < fullMatches ? 3 : 1;
    shape.outcomes[m] = {0, 1, 2};
  }
  return shape;
}

MatchValues BenchValues(int matches) {
  std::mt19937_64 random(2024);
  std::uniform_real_distribution<double> percent(5, 70);
  MatchValues values;
  for (int m = 0; m < matches; ++m) {
    for (int sign = 0; sign < 3; ++sign) {
      values.match[m].chance[sign] = percent(random);
      values.match[m].streck[sign] = percent(random);
    }
  }
  return values;
}

PreparedConditions BenchConditions(int matches, bool countingOnly) {
  std::vector<std::string> texts{"kryss 2-6",      "ettor 3-8 i 1-10", "tvåor 1-5 i 1-7",
                                 "favoriter 4-10", "skrällar 2-7",     "poäng 400-"};
  if (countingOnly) {
    texts.insert(texts.end(),
                 {"kryss 0-2 i 1-4", "ettor 1- i 8-13", "tvåor -3 i 5-12", "favoriter 1-3 i 1-5"});
  } else {
    texts.insert(texts.end(), {"spelvärde 60-", "utdelning 20000-50000000", "kryss 0-2 i 1-4",
                               "ettor 1- i 8-13"});
  }
  std::vector<Condition> conditions;
  std::string error;
  for (const std::string& text : texts)
    conditions.push_back(*ParseCondition(text, matches, &error));
  PoolModel pool = DefaultPoolModel(matches);
  pool.turnover = 30e6;
  return *PrepareConditions(conditions, matches, BenchValues(matches), pool, &error);
}

void Filter(benchmark::State& bench, int matches, bool countingOnly) {
  const SystemShape shape = FullShape(matches, matches);
  const PreparedConditions prepared = BenchConditions(matches, countingOnly);
  int64_t kept = 0;
  for (auto _ : bench) {
    const auto system = FilterSystem(shape, prepared, 1);
    kept = system->size();
    benchmark::DoNotOptimize(system->allowed().data());
  }
  bench.counters["outcomes"] = static_cast<double>(shape.size());
  bench.counters["kept"] = static_cast<double>(kept);
  bench.counters["floor_ms"] = FloorMs(shape.size());
}

BENCHMARK_CAPTURE(Filter, Full13TenConditions, 13, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Filter, Full14TenConditions, 14, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Filter, Full13TenCountingConditions, 13, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Filter, Full14TenCountingConditions, 14, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Matches 1 to `full` fully marked at a guarantee, on the whole system and on
// what "kryss 2-5" and "skrällar 3-7 i 1-10" leave of it.
void GuaranteeReduction(benchmark::State& bench, int full, int level, bool filtered) {
  const SystemShape shape = FullShape(13, full);
  const RowSet set = GenerateSystem(shape, Rules(kStryktipset), "");
  std::vector<Condition> conditions;
  std::string error;
  for (const char* text : {"kryss 2-5", "skrällar 3-7 i 1-10"})
    conditions.push_back(*ParseCondition(text, 13, &error));
  const PreparedConditions prepared =
      *PrepareConditions(conditions, 13, BenchValues(13), PoolModel{}, &error);
  const System system = filtered ? *FilterSystem(shape, prepared, 0) : System(shape);
  int64_t kept = 0;
  for (auto _ : bench) {
    const ReductionResult result = *ReduceToGuarantee(set, system, level, false);
    kept = static_cast<int64_t>(result.kept.size());
    benchmark::DoNotOptimize(result.kept.data());
  }
  bench.counters["system_rows"] = static_cast<double>(system.size());
  bench.counters["kept"] = static_cast<double>(kept);
  bench.counters["ns_per_row"] = benchmark::Counter(
      static_cast<double>(system.size()) * 1e-9,
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK_CAPTURE(GuaranteeReduction, Full10Level8, 10, 8, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(GuaranteeReduction, Filtered10Level8, 10, 8, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(GuaranteeReduction, Full13Level10, 13, 10, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(GuaranteeReduction, Filtered13Level10, 13, 10, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace spelkub
