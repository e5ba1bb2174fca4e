// Generation and rendering of the largest systems.
//   build/bench/generate_bench
#include <benchmark/benchmark.h>

#include "coupon/coupon_state.h"
#include "generate/coupon_text.h"

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
  bench.counters["bytes_per_row"] =
      static_cast<double>(set.rows.capacity() * sizeof(PackedRow)) / set.size();
}

void GenerateAndRender(benchmark::State& bench, int32_t game) {
  const CouponState state = FullCoupon(game);
  size_t bytes = 0;
  for (auto _ : bench) {
    RowSet set = GenerateFullSystem(state, kPlus13No);
    std::string text = CouponText(set);
    bytes = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  bench.counters["text_bytes"] = static_cast<double>(bytes);
}

BENCHMARK_CAPTURE(GenerateOnly, Full13, kStryktipset)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GenerateOnly, Full14, kSupertoto)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GenerateAndRender, Full13, kStryktipset)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GenerateAndRender, Full14, kSupertoto)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace spelkub
