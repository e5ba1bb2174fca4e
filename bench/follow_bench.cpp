// "Följ kupongen" on a full 13 coupon of 10,000 rows, every figure of the
// report (the command, texts and all) and the engine alone, each beside its
// floor measured in the same run: one pass over the rows reading each and
// one multiply-add per remaining outcome (floor_ms); and, for scale, the plain
// way, each row's right counted at each outcome (plain_ms).
// - 6 matches open (729 outcomes), 9 open, and 13 open (before the first match).
//   build/bench/follow_bench
#include <benchmark/benchmark.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "commands/follow_command.h"
#include "coupon/games.h"

namespace spelkub {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMatches = 13;
constexpr int64_t kRows = 10000;

template <typename Work>
double MedianMs(const Work& work) {
  std::vector<double> times;
  for (int run = 0; run < 5; ++run) {
    const auto start = Clock::now();
    work();
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

ValueInput BenchInput() {
  std::mt19937_64 random(2024);
  std::uniform_real_distribution<double> percent(5, 70);
  ValueInput input;
  input.game = kStryktipset;
  input.pool = PoolModelOf(Rules(kStryktipset));
  input.pool.turnover = 30e6;
  for (int m = 0; m < kMatches; ++m) {
    for (int sign = 0; sign < 3; ++sign) {
      input.values.match[m].chance[sign] = percent(random);
      input.values.match[m].streck[sign] = percent(random);
    }
  }
  return input;
}

// 10,000 different rows of a system with matches 1-9 full and 10-13 on "1",
// as a reduced coupon would hold them.
std::vector<PackedRow> BenchRows() {
  std::vector<int64_t> indices(Power3(9));
  for (size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<int64_t>(i);
  std::mt19937_64 random(7);
  std::shuffle(indices.begin(), indices.end(), random);
  std::vector<PackedRow> rows;
  for (int64_t i = 0; i < kRows; ++i) {
    int64_t index = indices[i];
    PackedRow row = 0;
    for (int m = 0; m < 9; ++m, index /= 3) row |= static_cast<PackedRow>(index % 3) << (2 * m);
    rows.push_back(row);
  }
  return rows;
}

// Matches 14 - open .. 13 decided "1", the rest open: the first rows hold
// every sign in the open matches.
FollowResults BenchResults(int open) {
  FollowResults results;
  results.matches = kMatches;
  for (int m = 0; m < kMatches - open; ++m)
    results.match[kMatches - 1 - m] = {MatchState::kDecided, 0};
  return results;
}

double FloorMs(const std::vector<PackedRow>& rows, int open) {
  volatile double given = 0.999999;
  const double factor = given;
  const int64_t outcomes = Power3(open);
  return MedianMs([&] {
    uint32_t mix = 0;
    for (const PackedRow row : rows) mix ^= row;
    double sum = 0;
    for (int64_t y = 0; y < outcomes; ++y) sum = sum * factor + static_cast<double>(y);
    benchmark::DoNotOptimize(mix);
    benchmark::DoNotOptimize(sum);
  });
}

// Each row's wrong signs at each outcome of the open matches (the first
// `open` of them), a histogram per outcome.
double PlainMs(const std::vector<PackedRow>& rows, int open) {
  const int64_t outcomes = Power3(open);
  return MedianMs([&] {
    int64_t near = 0;
    for (int64_t y = 0; y < outcomes; ++y) {
      PackedRow outcome = 0;
      int64_t index = y;
      for (int j = 0; j < open; ++j, index /= 3)
        outcome |= static_cast<PackedRow>(index % 3) << (2 * j);
      for (const PackedRow row : rows) {
        const PackedRow diff = row ^ outcome;
        near += std::popcount((diff | (diff >> 1)) & 0x55555555u) <= 3;
      }
    }
    benchmark::DoNotOptimize(near);
  });
}

void FollowCommandOf(benchmark::State& bench, int open, bool wholeCommand) {
  const ValueInput input = BenchInput();
  const std::vector<PackedRow> rows = BenchRows();
  const FollowResults results = BenchResults(open);
  std::string error;
  FollowResults certain = results;
  ValueInput model = input;
  for (int m = 0; m < kMatches; ++m) {
    if (results.match[m].Decided()) model.values.match[m].chance = {100, 0, 0};
  }
  const ValueModelOutcome made = MakeCommandModel(model);
  double expected = 0;
  for (auto _ : bench) {
    if (wholeCommand) {
      const FollowOutcome outcome = RunFollowCommand(input, rows, results);
      expected = outcome.report->expectedWin;
      benchmark::DoNotOptimize(outcome.reportText.data());
    } else {
      const std::optional<FollowReport> report = ComputeFollow(*made.model, rows, certain);
      expected = report->expectedWin;
    }
  }
  bench.counters["rows"] = static_cast<double>(rows.size());
  bench.counters["outcomes"] = static_cast<double>(Power3(open));
  bench.counters["expected_kr"] = expected;
  bench.counters["floor_ms"] = FloorMs(rows, open);
  if (open <= 9) bench.counters["plain_ms"] = PlainMs(rows, open);
}

BENCHMARK_CAPTURE(FollowCommandOf, Open6Command, 6, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(FollowCommandOf, Open6Engine, 6, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(FollowCommandOf, Open9Command, 9, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(FollowCommandOf, Open13Command, 13, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
}  // namespace spelkub
