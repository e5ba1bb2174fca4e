// The reductions on the full 13- and 14-match systems, each coverage test
// forced for comparison, and the engine against the plain line-by-line
// reduction on a 59,049-row system (matches 1 to 10 fully marked).
//
//   reduction_bench --benchmark_filter='Guarantee1[34]/|RowCount' --benchmark_repetitions=5
//   reduction_bench --benchmark_filter='Plain|Engine'
//
// Counters: kept rows, and extra_bytes_per_row: the most heap the reduction
// held at once (its result included), per row of the system.
#include <benchmark/benchmark.h>

#include <map>
#include <string>

#include "../tests/support/reduction_oracle.h"
#include "heap_peak.h"
#include "reduce/detail/reduction_detail.h"
#include "reduce/reduction.h"
#include "text/coupon_text.h"

namespace spelkub {
namespace {

// Every sign marked on every match in play, or on the first `fullMatches`
// matches with "1" alone on the rest.
const RowSet& System(int32_t game, int fullMatches) {
  static std::map<std::pair<int32_t, int>, RowSet> systems;
  auto [it, added] = systems.try_emplace({game, fullMatches});
  if (added) {
    CouponState state;
    state.Game = game;
    for (int m = 1; m <= MatchesInPlay(game); ++m) {
      for (int outcome = 0; outcome < 3; ++outcome) {
        state.Marks[CellIndex(m, outcome)] = m <= fullMatches || outcome == 0 ? 1 : 0;
      }
    }
    it->second = GenerateFullSystem(state, kPlus13No);
  }
  return it->second;
}

template <typename Reduce>
void Run(benchmark::State& state, const RowSet& set, Reduce reduce) {
  int64_t kept = 0;
  int64_t extra = 0;
  for (auto _ : state) {
    const int64_t before = bench::StartHeapPeak();
    ReductionResult result = *reduce();
    extra = std::max(extra, bench::HeapPeak() - before);
    kept = static_cast<int64_t>(result.kept.size());
    benchmark::DoNotOptimize(result.kept.data());
  }
  state.counters["kept"] = static_cast<double>(kept);
  state.counters["extra_bytes_per_row"] =
      static_cast<double>(extra) / static_cast<double>(set.size());
}

// Arguments: level 4..13, reversed 0/1.
void GuaranteeOnFull(benchmark::State& state, int32_t game) {
  const RowSet& set = System(game, kMaxMatches);
  const auto level = static_cast<int32_t>(state.range(0));
  const bool reversed = state.range(1) != 0;
  Run(state, set, [&] { return ReduceToGuarantee(set, level, reversed); });
}

// Arguments: target, reversed 0/1.
void RowCountOnFull(benchmark::State& state, int32_t game) {
  const RowSet& set = System(game, kMaxMatches);
  const auto target = static_cast<int32_t>(state.range(0));
  const bool reversed = state.range(1) != 0;
  Run(state, set, [&] { return ReduceToRowCount(set, target, reversed); });
}

void BM_Guarantee13(benchmark::State& state) {
  GuaranteeOnFull(state, kStryktipset);
}
void BM_Guarantee14(benchmark::State& state) {
  GuaranteeOnFull(state, kSupertoto);
}
void BM_RowCount13(benchmark::State& state) {
  RowCountOnFull(state, kStryktipset);
}
void BM_RowCount14(benchmark::State& state) {
  RowCountOnFull(state, kSupertoto);
}

BENCHMARK(BM_Guarantee13)
    ->ArgsProduct({benchmark::CreateDenseRange(4, 13, 1), {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Guarantee14)
    ->ArgsProduct({benchmark::CreateDenseRange(4, 13, 1), {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RowCount13)->ArgsProduct({{1, 130, 2000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RowCount14)->ArgsProduct({{1, 130, 2000}, {0, 1}})->Unit(benchmark::kMillisecond);

// Each way of testing coverage forced, for weighing the choice between them.
// Arguments: matches 13/14, level, 0 scan / 1 mark.
void BM_GuaranteeForced(benchmark::State& state) {
  const RowSet& set = System(GameWithMatches(static_cast<int>(state.range(0))), kMaxMatches);
  const auto level = static_cast<int32_t>(state.range(1));
  const auto test =
      state.range(2) == 0 ? detail::CoverTest::kScanKept : detail::CoverTest::kMarkNeighbourhood;
  Run(state, set, [&] { return detail::ReduceToGuarantee(set, level, false, test); });
}
BENCHMARK(BM_GuaranteeForced)
    ->ArgsProduct({{13, 14}, benchmark::CreateDenseRange(4, 9, 1), {0, 1}})
    ->Unit(benchmark::kMillisecond);

// The 59,049-row system: matches 1 to 10 fully marked, 11 to 13 "1" alone.
// Argument: 0 guarantee 11, 1 target 2000.
constexpr int kBaselineLevel = 11;
constexpr int kBaselineTarget = 2000;

void BM_Engine59049(benchmark::State& state) {
  const RowSet& set = System(kStryktipset, 10);
  const bool byRowCount = state.range(0) != 0;
  Run(state, set, [&] {
    return byRowCount ? ReduceToRowCount(set, kBaselineTarget, false)
                      : ReduceToGuarantee(set, kBaselineLevel, false);
  });
}
BENCHMARK(BM_Engine59049)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The plain reduction, text lines compared sign by sign. Arguments: 0 guarantee
// 11, 1 target 2000; lists 0 held as strings, 1 read line by line out of
// text-control stand-ins on every comparison.
template <typename Lines>
testing::PlainResult Plain(const RowSet& set, const std::string& text, bool byRowCount) {
  return byRowCount ? testing::PlainRowCount<Lines>(text, set.game, kBaselineTarget, false)
                    : testing::PlainGuarantee<Lines>(text, set.game, kBaselineLevel, false);
}

void BM_Plain59049(benchmark::State& state) {
  const RowSet& set = System(kStryktipset, 10);
  const std::string text = CouponText(set);
  const bool byRowCount = state.range(0) != 0;
  const bool fromControls = state.range(1) != 0;
  int64_t kept = 0;
  for (auto _ : state) {
    const testing::PlainResult result =
        fromControls ? Plain<testing::TextControlLines>(set, text, byRowCount)
                     : Plain<std::vector<std::string>>(set, text, byRowCount);
    kept = static_cast<int64_t>(result.kept.size()) - 1;
  }
  state.counters["kept"] = static_cast<double>(kept);
}
BENCHMARK(BM_Plain59049)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3);

}  // namespace
}  // namespace spelkub
