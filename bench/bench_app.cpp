// The main window's start-up and idle cost, offscreen.
//
// FirstPaint: from constructing the main window (document, views, menus, status bar, port
// open) to its first paint event. The QApplication itself is built once per process; its cost
// is reported by main() beside the benchmarks. Target: under 300 ms in all.
//
// IdleCpu: the shown window with its 100 ms timer and nothing to do, for a few seconds of wall
// time (AXTUNE_BENCH_IDLE_SECONDS, default 3; the full check is 10); the counter cpu_percent is
// user plus system time over wall time, in percent of one core. Target: under 1 %.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/MainFrame.h"
#include "oxa/OxaDirect.h"

namespace {

// Counts the paint events of the watched widget.
struct PaintWatch final : QObject {
  int paints = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints;
    return false;
  }
};

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(u.ru_utime) + seconds(u.ru_stime);
}

// Shows the window and processes events until it has painted (at most 5 s).
bool ShowAndWaitForPaint(CMainFrame& frame) {
  PaintWatch watch;
  frame.installEventFilter(&watch);
  frame.show();
  QElapsedTimer deadline;
  deadline.start();
  while (watch.paints == 0 && deadline.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  frame.removeEventFilter(&watch);
  return watch.paints > 0;
}

void BM_FirstPaint(benchmark::State& state) {
  oxa::OxaDirect direct;
  i18n::StringTable strings;
  for (auto _ : state) {
    auto frame = std::make_unique<CMainFrame>(direct, strings);
    if (!ShowAndWaitForPaint(*frame)) state.SkipWithError("no paint within 5 s");
    state.PauseTiming();
    frame.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_FirstPaint)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_IdleCpu(benchmark::State& state) {
  double seconds = 3;
  if (const char* s = std::getenv("AXTUNE_BENCH_IDLE_SECONDS")) seconds = std::atof(s);
  if (seconds <= 0) seconds = 3;
  oxa::OxaDirect direct;
  i18n::StringTable strings;
  CMainFrame frame(direct, strings);
  ShowAndWaitForPaint(frame);
  double cpu = 0;
  double wall = 0;
  for (auto _ : state) {
    const double cpu0 = CpuSeconds();
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    wall += static_cast<double>(clock.elapsed()) / 1000.0;
    cpu += CpuSeconds() - cpu0;
  }
  state.counters["cpu_percent"] = wall > 0 ? 100.0 * cpu / wall : 0;
}
BENCHMARK(BM_IdleCpu)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const auto start = std::chrono::steady_clock::now();
  QApplication app(argc, argv);
  const auto appReady = std::chrono::steady_clock::now();
  {
    oxa::OxaDirect direct;
    i18n::StringTable strings;
    CMainFrame frame(direct, strings);
    ShowAndWaitForPaint(frame);
  }
  const auto painted = std::chrono::steady_clock::now();
  using ms = std::chrono::duration<double, std::milli>;
  std::printf("application constructed in %.1f ms; first window painted %.1f ms after start\n",
              ms(appReady - start).count(), ms(painted - start).count());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
