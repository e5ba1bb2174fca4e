// The row list with the largest systems: 1,594,323 rows (13 matches) and
// 4,782,969 rows (Supertoto) of 29 bytes, in a shown list offscreen.
//   build/bench/row_list_bench
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <fstream>
#include <string>

#include "app/row_list.h"
#include "app/row_list_detail.h"
#include "qt_bench.h"

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

// Blocks of 8001 rows appended one by one to the shown list.
void InsertBlocks(benchmark::State& bench) {
  const int64_t rows = bench.range(0);
  const std::string block = Rows(8001);
  RowList& list = ShownList();
  for (auto _ : bench) {
    list.Clear();
    int64_t done = 0;
    for (; done + 8001 <= rows; done += 8001) detail::InsertAtEnd(list, block);
    detail::InsertAtEnd(list,
                        std::string_view(block).substr(0, 29 * static_cast<size_t>(rows - done)));
    list.repaint();
  }
  bench.counters["lines"] = list.LineCount();
  list.Clear();
}
BENCHMARK(InsertBlocks)->Arg(1594323)->Arg(4782969)->Unit(benchmark::kMillisecond)->UseRealTime();

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
