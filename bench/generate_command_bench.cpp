// "Generera Rader" in the real window, offscreen: from the click to the end of
// the command, with the largest systems, beside the floor of writing the row
// list's text into fresh memory (fresh_fill_ms for its bytes, measured after
// the timed runs).
//   build/bench/generate_command_bench --benchmark_filter=Full14_none/
// Run one case per process for its peak memory (the peak_rss_mb counter is the
// process's high-water mark, taken before the floor is measured).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QPushButton>
#include <memory>

#include "app/main_window.h"
#include "fresh_fill.h"
#include "qt_bench.h"

namespace spelkub::bench {
namespace {

enum class Mode { kNone, kGuarantee, kRowCount };

double PeakRssMegabytes() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Marks every sign of every match in play and chooses the mode through the
// window's own controls and handlers.
std::unique_ptr<TForm1> PreparedWindow(CouponState& state, Platform& platform, int game, Mode mode,
                                       int choice) {
  auto form = std::make_unique<TForm1>(state, platform);
  form->show();
  form->RadioGroup1->SetItemIndex(game - 1);
  for (int cell = 0; cell < 3 * MatchesInPlay(game); ++cell) form->EditClick(cell);
  if (mode == Mode::kGuarantee) {
    form->RadioGroup3->SetItemIndex(1);
    form->ComboBox2->setCurrentIndex(choice - 4);
  } else if (mode == Mode::kRowCount) {
    form->RadioGroup3->SetItemIndex(2);
    form->ComboBox3->setCurrentIndex(choice == 2000 ? 135 : choice - 1);
  }
  return form;
}

// What the command writes into the lists: the full system's text, and after a
// reduction the kept rows twice (the kept list, then the row list).
size_t WrittenBytes(CouponState& state, const TForm1& form) {
  const size_t lineBytes = static_cast<size_t>(RowLineBytes(Rules(state.Game)));
  const size_t full =
      HeaderLine(state, kPlus13No).size() + static_cast<size_t>(SystemSize(state)) * lineBytes;
  const size_t kept = form.Memo2->Text().size();
  return full + (kept > 0 ? 2 * kept : 0);
}

void GenerateInWindow(benchmark::State& bench, int game, Mode mode, int choice) {
  OffscreenApplication();
  SilentPlatform platform;
  int64_t rows = 0;
  size_t bytes = 0;
  for (auto _ : bench) {
    bench.PauseTiming();
    CouponState state;
    auto form = PreparedWindow(state, platform, game, mode, choice);
    bench.ResumeTiming();
    form->Button2->click();
    bench.PauseTiming();
    rows = form->Memo1->LineCount();
    bytes = WrittenBytes(state, *form);
    form.reset();
    bench.ResumeTiming();
  }
  bench.counters["row_list_lines"] = static_cast<double>(rows);
  bench.counters["peak_rss_mb"] = PeakRssMegabytes();
  ShowFreshFillFloor(bench, bytes);
}

BENCHMARK_CAPTURE(GenerateInWindow, Full13_none, kStryktipset, Mode::kNone, 0)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(GenerateInWindow, Full14_none, kSupertoto, Mode::kNone, 0)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(GenerateInWindow, Full13_guarantee12, kStryktipset, Mode::kGuarantee, 12)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(GenerateInWindow, Full14_rows2000, kSupertoto, Mode::kRowCount, 2000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(GenerateInWindow, Full14_guarantee13, kSupertoto, Mode::kGuarantee, 13)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
}  // namespace spelkub::bench
