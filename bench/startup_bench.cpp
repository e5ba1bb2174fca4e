// Start-up of the window: build TForm1 with its default selections, show it,
// and run the event loop until its first paint.
//   build/bench/startup_bench --benchmark_repetitions=10
// "FirstWindow" is the very first one in the process, QApplication's start,
// the font database and QScintilla's first editor included (run it alone, or
// first, for that figure); "Window" is every later one.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>

#include "app/main_window.h"
#include "qt_bench.h"

namespace spelkub::bench {
namespace {

class PaintWatcher : public QObject {
 public:
  bool painted = false;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) painted = true;
    return QObject::eventFilter(watched, event);
  }
};

void BuildShowAndPaint() {
  CouponState state;
  SilentPlatform platform;
  PaintWatcher watcher;
  TForm1 form(state, platform);
  // The picture is the first thing painted and lies under everything else.
  form.Image1->installEventFilter(&watcher);
  form.show();
  while (!watcher.painted) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void FirstWindow(benchmark::State& bench) {
  for (auto _ : bench) {
    OffscreenApplication();
    BuildShowAndPaint();
  }
}
BENCHMARK(FirstWindow)->Iterations(1)->Unit(benchmark::kMillisecond);

void Window(benchmark::State& bench) {
  OffscreenApplication();
  for (auto _ : bench) BuildShowAndPaint();
}
BENCHMARK(Window)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace spelkub::bench
