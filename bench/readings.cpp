// The readings: what reading the reply rows costs beside the byte processor,
// the memory a reading holds, and the "Wyniki" window plotting 100,000
// readings (the longest the user-interface thread is held by a refresh and
// its repaint, which bounds the window's ping).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "app/TForm1.h"
#include "platform/ManualEventLoop.h"
#include "platform/qt/QtEventLoop.h"
#include "readings/TResultsForm.h"
#include "support/ScriptedDialogs.h"
#include "ui/qt/FormWindow.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor time of this thread: the machine is shared, so wall time alone
// says little.
double threadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

std::size_t heapBytes() {
  return mallinfo2().uordblks;
}

// Rows as the pretend scale writes them, the weight moving.
std::vector<std::string> scaleRows(std::size_t count) {
  std::vector<std::string> rows;
  rows.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    char text[32];
    std::snprintf(text, sizeof text, "S %c     %6.2f g\r", i % 10 ? 'S' : 'D', 123.0 + (i % 97) * 0.01);
    rows.emplace_back(text);
  }
  return rows;
}

// The byte processor's throughput on the flood of rows, and the cost of
// reading the same rows as if every one were a counted reply (the worst case:
// a scale answering a send per row). The share is the second over the first.
void BM_ReadingShareOfProcessor(benchmark::State& state) {
  const std::vector<std::string> rows = scaleRows(1 << 16);
  std::string stream;
  for (const std::string& r : rows) stream += r + "\n";
  for (auto _ : state) {
    platform::ManualEventLoop loop;
    testing_support::ScriptedDialogs dialogs;
    app::TForm1 form({loop, dialogs, {}, [] {}});
    form.FormCreate();
    const Clock::time_point start = Clock::now();
    for (std::size_t at = 0; at < stream.size(); at += 4096) {
      const std::string chunk = stream.substr(at, 4096);
      form.ProcessReceived(chunk, chunk.size());
    }
    const double processing = secondsSince(start);

    readings::ReadingLog log;
    const Clock::time_point readStart = Clock::now();
    std::int64_t t = 0;
    for (const std::string& r : rows) log.rowCounted(r, false, ++t);
    const double reading = secondsSince(readStart);
    benchmark::DoNotOptimize(log.size());

    state.SetIterationTime(processing);
    state.counters["processor_MBps"] = static_cast<double>(stream.size()) / processing / 1e6;
    state.counters["reading_share_pct_every_row_a_reply"] = reading / processing * 100;
    state.counters["reading_ns_per_row"] = reading / static_cast<double>(rows.size()) * 1e9;
  }
}
BENCHMARK(BM_ReadingShareOfProcessor)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

// Heap bytes held per reading over a million rows.
void BM_MemoryPerReading(benchmark::State& state) {
  const std::vector<std::string> rows = scaleRows(1'000'000);
  for (auto _ : state) {
    const std::size_t before = heapBytes();
    auto log = std::make_unique<readings::ReadingLog>();
    std::int64_t t = 0;
    for (const std::string& r : rows) log->rowCounted(r, false, ++t);
    state.counters["bytes_per_reading"] =
        static_cast<double>(heapBytes() - before) / static_cast<double>(log->size());
  }
}
BENCHMARK(BM_MemoryPerReading)->Iterations(1)->Unit(benchmark::kMillisecond);

// The window on screen while 100,000 readings arrive in batches of 1,000:
// each refresh with its repaint holds the user-interface thread; the longest
// one is the worst wait of a ping.
void BM_PlotHundredThousand(benchmark::State& state) {
  const std::vector<std::string> rows = scaleRows(100'000);
  for (auto _ : state) {
    platform::QtEventLoop loop;
    testing_support::ScriptedDialogs dialogs;
    readings::ReadingLog log;
    readings::TResultsForm form(log, loop, dialogs);
    ui::qt::FormWindow window(form, loop);
    form.ShowResults();
    QCoreApplication::processEvents();
    double longest = 0, last = 0, longestCpu = 0;
    std::int64_t t = 0;
    for (std::size_t at = 0; at < rows.size(); at += 1000) {
      for (std::size_t i = at; i < at + 1000; ++i) log.rowCounted(rows[i], false, t += 100);
      const Clock::time_point start = Clock::now();
      const double startCpu = threadCpuSeconds();
      form.Refresh();
      window.repaint();
      QCoreApplication::processEvents();
      last = secondsSince(start);
      longest = std::max(longest, last);
      longestCpu = std::max(longestCpu, threadCpuSeconds() - startCpu);
    }
    state.SetIterationTime(longest);
    state.counters["longest_refresh_ms_wall"] = longest * 1e3;
    state.counters["longest_refresh_ms_cpu"] = longestCpu * 1e3;
    state.counters["last_refresh_ms_wall"] = last * 1e3;
    state.counters["points"] = static_cast<double>(form.Chart.points().size());
  }
}
BENCHMARK(BM_PlotHundredThousand)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
