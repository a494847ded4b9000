// A pane under a flood: 100 MB of scale rows appended in 4 KiB chunks with
// the event loop running between chunks, as the serial receive path does.
// Reports throughput and the resident memory per byte held by the pane.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "ui/Memo.h"
#include "ui/qt/MemoView.h"
#include "QtBenchmarkMain.h"

namespace {

constexpr std::size_t kTotal = 100u * 1024 * 1024;
constexpr std::size_t kChunk = 4096;

long residentBytes() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * sysconf(_SC_PAGESIZE);
}

// The stream of rows, cut into chunks wherever 4 KiB ends (rows split across chunks).
std::string streamOfRows() {
  const std::string row = "S S     123.45 g\r\n";
  std::string stream;
  stream.reserve(kChunk + row.size() * 2);
  while (stream.size() < kChunk + row.size()) stream += row;
  return stream;
}

void flood(benchmark::State& state, bool withView) {
  const std::string stream = streamOfRows();
  const std::size_t period = 18;
  for (auto _ : state) {
    const long before = residentBytes();
    auto memo = std::make_unique<ui::Memo>("Memo1");
    std::unique_ptr<ui::qt::MemoView> view;
    if (withView) {
      view = std::make_unique<ui::qt::MemoView>(*memo);
      view->resize(600, 400);
      view->show();
    }
    QCoreApplication::processEvents();
    for (std::size_t sent = 0; sent < kTotal; sent += kChunk) {
      memo->append(std::string_view(stream).substr(sent % period, kChunk));
      memo->scrollToEnd();
      QCoreApplication::processEvents();
    }
    const long after = residentBytes();
    state.counters["resident_per_pane_byte"] =
        static_cast<double>(after - before) / static_cast<double>(kTotal);
    state.counters["rows"] = static_cast<double>(memo->lineCount());
    state.PauseTiming();
    view.reset();
    memo.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kTotal));
}

void BM_MemoWithView(benchmark::State& state) {
  flood(state, true);
}
void BM_MemoAlone(benchmark::State& state) {
  flood(state, false);
}

BENCHMARK(BM_MemoWithView)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MemoAlone)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

TERSO_QT_BENCHMARK_MAIN()
