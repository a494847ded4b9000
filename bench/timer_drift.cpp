// How far the automatic measurement's steps drift on the real Qt loop: an
// order list of one "wait" order of 0.1 s run 100 times, so Timer1 ticks
// every 100 ms through the sequencer itself. The figure is when the last
// step came, against 10 s after the start (drift_ms; late_max_ms is the
// latest any single step came against its own due time). The same for a bare
// timer of the platform as the baseline, and both again on the loop of a run
// without a window (`terso --run`), whose steps should keep the window's
// times.
//
// Run: QT_QPA_PLATFORM=offscreen build-seq/bench/timer_drift
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/TForm1.h"
#include "automatic/DecimalNumbers.h"
#include "automatic/TForm2.h"
#include "platform/SystemEventLoop.h"
#include "platform/qt/QtEventLoop.h"
#include "support/ScriptedDialogs.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kIntervalMs = 100;
constexpr int kTicks = 100;

class BenchDir {
 public:
  BenchDir() {
    std::string pattern = "/tmp/timer-drift-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("no bench folder");
    path_ = pattern;
  }
  ~BenchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

double msBetween(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

// The drift of the last tick and the worst lateness of any tick.
void report(benchmark::State& state, Clock::time_point start, const std::vector<Clock::time_point>& ticks) {
  if (ticks.size() != kTicks) {
    state.SkipWithError("the run did not make its 100 steps");
    return;
  }
  double lateMax = 0;
  for (std::size_t i = 0; i < ticks.size(); ++i)
    lateMax = std::max(lateMax, msBetween(start, ticks[i]) - double(kIntervalMs) * double(i + 1));
  state.counters["drift_ms"] = msBetween(start, ticks.back()) - double(kIntervalMs) * kTicks;
  state.counters["late_max_ms"] = lateMax;
  state.SetIterationTime(std::chrono::duration<double>(ticks.back() - start).count());
}

// The window's loop, and the loop of a run without a window.
struct QtRunner {
  platform::QtEventLoop loop;
  void finish() { QCoreApplication::quit(); }
  void run() { QCoreApplication::exec(); }
};
struct SystemRunner {
  platform::SystemEventLoop loop;
  bool over = false;
  void finish() { over = true; }
  void run() {
    loop.run([this] { return over; });
  }
};

template <typename Runner>
void SequencerTimer1Drift(benchmark::State& state) {
  for (auto _ : state) {
    BenchDir dir;
    Runner runner;
    testing_support::ScriptedDialogs dialogs;
    app::TForm1 form({runner.loop, dialogs, dir.path(), [] {}});
    form.FormCreate();
    automatic::TForm2 form2(form);
    form2.StringGrid1.setRowCells(1, {"1", "wait", "0.1", "s", std::to_string(kTicks), "", ""});

    std::vector<Clock::time_point> ticks;
    form.Timer1->setOnTimer([&] {
      ticks.push_back(Clock::now());
      form.Timer1Timer();
      if (form.Timer1->interval() == 0) runner.finish();
    });
    const Clock::time_point start = Clock::now();
    form.Automatyczny1Click();
    if (form.Timer1->interval() != kIntervalMs) {
      state.SkipWithError("the order's time is not 100 ms");
      return;
    }
    runner.run();
    report(state, start, ticks);
  }
}
BENCHMARK(SequencerTimer1Drift<QtRunner>)
    ->Name("BM_SequencerTimer1Drift")
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(SequencerTimer1Drift<SystemRunner>)
    ->Name("BM_SequencerTimer1Drift_WithoutWindow")
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

template <typename Runner>
void PlatformTimerDrift(benchmark::State& state) {
  for (auto _ : state) {
    Runner runner;
    auto timer = runner.loop.createTimer();
    std::vector<Clock::time_point> ticks;
    timer->setOnTimer([&] {
      ticks.push_back(Clock::now());
      if (ticks.size() == kTicks) {
        timer->setInterval(0);
        runner.finish();
      }
    });
    const Clock::time_point start = Clock::now();
    timer->setInterval(kIntervalMs);
    runner.run();
    report(state, start, ticks);
  }
}
BENCHMARK(PlatformTimerDrift<QtRunner>)
    ->Name("BM_PlatformTimerDrift")
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(PlatformTimerDrift<SystemRunner>)
    ->Name("BM_PlatformTimerDrift_WithoutWindow")
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // The order's time "0.1" is read with a point as the decimal separator.
  automatic::setDecimalSeparator('.');
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
