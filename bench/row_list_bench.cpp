// The row list with the largest systems: 1,594,323 rows (13 matches) and
// 4,782,969 rows (Supertoto) of 29 bytes, in a shown list offscreen.
//   build/bench/row_list_bench
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <fstream>
#include <string>

#include "app/row_list.h"
#include "fresh_fill.h"
#include "qt_bench.h"
#include "text/coupon_text.h"

namespace spelkub::bench {
namespace {

std::string Rows(int64_t count) {
  const std::string row = "E,1,X,2,1,X,2,1,X,2,1,X,2,1\r\n";
  std::string text;
  text.reserve(row.size() * static_cast<size_t>(count));
  for (int64_t i = 0; i < count; ++i) text += row;
  return text;
}

double ResidentMegabytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  }
  return 0;
}

RowList& ShownList() {
  OffscreenApplication();
  static RowList* list = [] {
    auto* created = new RowList(RowList::ScrollBars::kBoth, nullptr);
    created->resize(238, 345);
    created->show();
    QCoreApplication::processEvents();
    return created;
  }();
  return *list;
}

// The whole text in one load, then a repaint as the user would see it.
void SetText(benchmark::State& bench) {
  const std::string text = Rows(bench.range(0));
  RowList& list = ShownList();
  for (auto _ : bench) {
    list.SetText(text);
    list.repaint();
  }
  bench.counters["lines"] = list.LineCount();
  bench.counters["rss_MB"] = ResidentMegabytes();
  list.Clear();
}
BENCHMARK(SetText)->Arg(1594323)->Arg(4782969)->Unit(benchmark::kMillisecond)->UseRealTime();

// The rows of the full system rendered block by block into the shown list,
// as "Generera Rader" loads it, beside the floor of writing its text into
// fresh memory.
void LoadRows(benchmark::State& bench) {
  CouponState state;
  state.Game = static_cast<int32_t>(bench.range(0));
  for (int cell = 0; cell < 3 * MatchesInPlay(state.Game); ++cell) state.Marks[cell] = 1;
  const RowSet rows = GenerateFullSystem(state, kPlus13No);
  RowList& list = ShownList();
  for (auto _ : bench) {
    list.LoadRows(rows);
    list.repaint();
  }
  bench.counters["lines"] = list.LineCount();
  bench.counters["rss_MB"] = ResidentMegabytes();
  ShowFreshFillFloor(bench, list.Text().size());
  list.Clear();
}
BENCHMARK(LoadRows)
    ->Arg(kStryktipset)
    ->Arg(kSupertoto)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Whole text out, line count, and the kept list taken over line by line.
void TextOut(benchmark::State& bench) {
  RowList& list = ShownList();
  list.SetText(Rows(bench.range(0)));
  for (auto _ : bench) {
    benchmark::DoNotOptimize(list.Text().data());
    benchmark::DoNotOptimize(list.LineCount());
  }
  list.Clear();
}
BENCHMARK(TextOut)->Arg(4782969)->Unit(benchmark::kMicrosecond)->UseRealTime();

void ReplaceLinesBy(benchmark::State& bench) {
  RowList& list = ShownList();
  RowList kept(RowList::ScrollBars::kNone, nullptr);
  kept.SetText(Rows(bench.range(0)));
  for (auto _ : bench) {
    list.ReplaceLinesBy(kept);
    list.repaint();
  }
  list.Clear();
}
BENCHMARK(ReplaceLinesBy)->Arg(1594323)->Arg(4782969)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace spelkub::bench
