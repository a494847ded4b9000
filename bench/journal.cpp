// The readings journal: how many readings a second it keeps (handed over as
// fast as they come, committed in batches with a sync each), how long a
// reading of a scale's usual pace waits for its commit, and the memory a
// series of a million readings costs the program (journal, log and the
// "Wyniki" window) over an empty one.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/PathText.h"
#include "platform/ManualEventLoop.h"
#include "readings/Journal.h"
#include "readings/ReadingLog.h"
#include "readings/TResultsForm.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;

double residentMb() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * 4096.0 / (1024.0 * 1024.0);
}

readings::StoredReading scaleReading(std::int64_t i) {
  readings::StoredReading r;
  r.timeMs = 1'700'000'000'000 + i;
  r.value = 123.0 + static_cast<double>(i % 97) * 0.01;
  r.decimals = 2;
  r.unit = "g";
  r.state = i % 10 ? readings::State::Stable : readings::State::Unstable;
  r.link = "COM1";
  char text[32];
  std::snprintf(text, sizeof text, "S %c     %6.2f g", i % 10 ? 'S' : 'D', *r.value);
  r.text = text;
  return r;
}

// Readings handed over as fast as the caller can, until all are committed.
void BM_JournalReadingsPerSecond(benchmark::State& state) {
  const std::int64_t n = state.range(0);
  std::int64_t done = 0;
  for (auto _ : state) {
    testing_support::TempDir dir;
    readings::Journal journal(platform::utf8Path(dir.path()), [](const std::string&) {});
    journal.beginSeries(0, 0, "COM1");
    const Clock::time_point start = Clock::now();
    for (std::int64_t i = 0; i < n; ++i) journal.add(scaleReading(i));
    journal.flush();
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    done += n;
  }
  state.SetItemsProcessed(done);
}
BENCHMARK(BM_JournalReadingsPerSecond)->Arg(200'000)->UseManualTime()->Unit(benchmark::kMillisecond);

// Readings ten a second, each timed from its hand-over to the commit that
// holds it: the lag a SIGKILL or a power cut can take away.
void BM_JournalCommitLag(benchmark::State& state) {
  for (auto _ : state) {
    testing_support::TempDir dir;
    readings::Journal journal(platform::utf8Path(dir.path()), [](const std::string&) {});
    std::mutex mutex;
    std::condition_variable changed;
    int commits = 0;
    journal.onCommitted = [&] {
      std::lock_guard lock(mutex);
      ++commits;
      changed.notify_all();
    };
    journal.beginSeries(0, 0, "COM1");
    std::vector<double> lags;
    for (std::int64_t i = 0; i < state.range(0); ++i) {
      std::unique_lock lock(mutex);
      const int before = commits;
      const Clock::time_point added = Clock::now();
      journal.add(scaleReading(i));
      changed.wait(lock, [&] { return commits > before; });
      lags.push_back(std::chrono::duration<double, std::milli>(Clock::now() - added).count());
      lock.unlock();
      std::this_thread::sleep_until(added + std::chrono::milliseconds(100));
    }
    std::sort(lags.begin(), lags.end());
    state.counters["lag_median_ms"] = lags[lags.size() / 2];
    state.counters["lag_max_ms"] = lags.back();
  }
}
BENCHMARK(BM_JournalCommitLag)->Arg(100)->Iterations(1)->Unit(benchmark::kSecond);

// A million readings at a scale's fastest pace the journal keeps up with,
// through the window's log with the "Wyniki" window open on it (its table,
// statistics and plot brought up to date every 10,000 readings): what the
// series costs the program over an empty one.
void BM_JournalMillionReadingSeriesMemory(benchmark::State& state) {
  for (auto _ : state) {
    testing_support::TempDir dir;
    readings::Journal journal(platform::utf8Path(dir.path()), [](const std::string&) {});
    readings::ReadingLog log;
    log.setJournal(&journal);
    log.linkName = [] { return std::string("COM1"); };
    platform::ManualEventLoop loop;
    testing_support::ScriptedDialogs dialogs;
    readings::TResultsForm results(log, loop, dialogs);
    results.attach(&journal, nullptr);
    results.ShowResults();
    log.addRow(scaleReading(0).text, 1'700'000'000'000);
    journal.flush();
    results.Refresh();
    malloc_trim(0);
    const double empty = residentMb();
    for (std::int64_t i = 1; i < 1'000'000; ++i) {
      log.addRow(scaleReading(i).text, 1'700'000'000'000 + i);
      if (i % 10'000 == 0) {
        journal.flush();
        results.Refresh();
      }
    }
    journal.flush();
    results.Refresh();
    benchmark::DoNotOptimize(results.Table.cell(999'950, 7));
    malloc_trim(0);
    state.counters["rss_over_empty_MB"] = residentMb() - empty;
    state.counters["readings_in_memory"] = static_cast<double>(log.size() - log.firstKept());
    state.counters["plot_points"] = static_cast<double>(results.Chart.points().size());
  }
}
BENCHMARK(BM_JournalMillionReadingSeriesMemory)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
