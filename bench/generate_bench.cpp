// Generation and rendering of the largest systems, each beside its floor
// measured in the same run: mapping fresh memory of the same size and filling
// it (fresh_fill_ms, and fresh_fill_huge_ms with transparent huge pages asked
// for). Where a figure sits near its floor, the cost is the fresh memory, not
// the work.
//   build/bench/generate_bench
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

#include "coupon/coupon_state.h"
#include "fresh_fill.h"
#include "text/coupon_text.h"

namespace spelkub {
namespace {

CouponState FullCoupon(int32_t game) {
  CouponState state;
  state.Game = game;
  for (int cell = 0; cell < 3 * MatchesInPlay(game); ++cell) state.Marks[cell] = 1;
  return state;
}

void GenerateOnly(benchmark::State& bench, int32_t game) {
  const CouponState state = FullCoupon(game);
  for (auto _ : bench) {
    RowSet set = GenerateFullSystem(state, kPlus13No);
    benchmark::DoNotOptimize(set.rows.data());
  }
  const RowSet set = GenerateFullSystem(state, kPlus13No);
  bench.counters["rows"] = static_cast<double>(set.size());
  bench::ShowFreshFillFloor(bench, set.rows.size() * sizeof(PackedRow));
}

// The whole text in one string, as the window's row list took it.
void GenerateAndRender(benchmark::State& bench, int32_t game) {
  const CouponState state = FullCoupon(game);
  size_t bytes = 0;
  for (auto _ : bench) {
    RowSet set = GenerateFullSystem(state, kPlus13No);
    std::string text = CouponText(set);
    bytes = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  bench::ShowFreshFillFloor(bench, bytes);
}

// The text a block of rows at a time into one reused 4 MB buffer, as
// spelkub_rader writes it; the floor is that of the packed rows alone.
void GenerateAndStream(benchmark::State& bench, int32_t game) {
  const CouponState state = FullCoupon(game);
  const int64_t lineBytes = RowLineBytes(Rules(game));
  const int64_t rowsPerBlock = (int64_t{4} << 20) / lineBytes;
  const std::unique_ptr<char[]> block(new char[static_cast<size_t>(rowsPerBlock * lineBytes)]);
  size_t rowBytes = 0;
  for (auto _ : bench) {
    RowSet set = GenerateFullSystem(state, kPlus13No);
    for (int64_t first = 0; first < set.size(); first += rowsPerBlock) {
      RenderRowLines(set, first, std::min(set.size(), first + rowsPerBlock), block.get());
      benchmark::DoNotOptimize(block.get());
    }
    rowBytes = set.rows.size() * sizeof(PackedRow);
  }
  bench::ShowFreshFillFloor(bench, rowBytes);
}

BENCHMARK_CAPTURE(GenerateOnly, Full13, kStryktipset)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GenerateOnly, Full14, kSupertoto)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GenerateAndRender, Full13, kStryktipset)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GenerateAndRender, Full14, kSupertoto)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GenerateAndStream, Full13, kStryktipset)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GenerateAndStream, Full14, kSupertoto)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace spelkub
