// A pane under a flood: 100 MB of scale rows appended in 4 KiB chunks with
// the event loop running between chunks, as the serial receive path does.
// Reports throughput and the resident memory per byte held by the pane.
// Then both panes of the main window with their views, fed by the byte
// processor with 100 MB of scale rows or of random bytes: the resident memory
// per byte received.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>

#include "QtBenchmarkMain.h"
#include "app/TForm1.h"
#include "platform/ManualEventLoop.h"
#include "support/ScriptedDialogs.h"
#include "ui/Memo.h"
#include "ui/qt/MemoView.h"

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

// range(0): 0 scale rows, 1 random bytes.
void BM_BothPanesWithViews(benchmark::State& state) {
  std::string stream;
  if (state.range(0) == 0) {
    stream = streamOfRows();
  } else {
    std::mt19937 gen(21);
    stream.resize(kChunk * 64);
    for (char& c : stream) c = static_cast<char>(gen() & 0xFF);
  }
  for (auto _ : state) {
    const long before = residentBytes();
    platform::ManualEventLoop loop;
    testing_support::ScriptedDialogs dialogs;
    auto form = std::make_unique<app::TForm1>(app::MainWindowServices{loop, dialogs, {}, [] {}});
    form->FormCreate();
    auto ascii = std::make_unique<ui::qt::MemoView>(form->Memo1);
    auto hex = std::make_unique<ui::qt::MemoView>(form->Memo2);
    for (auto* view : {ascii.get(), hex.get()}) {
      view->resize(600, 400);
      view->show();
    }
    QCoreApplication::processEvents();
    const std::size_t period = state.range(0) == 0 ? 18 : stream.size() - kChunk;
    std::string chunk;
    for (std::size_t sent = 0; sent < kTotal; sent += kChunk) {
      chunk.assign(stream, (sent / kChunk * 4099) % period, kChunk);
      form->ProcessReceived(chunk, kChunk);
      if (sent % (16 * kChunk) == 0) QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    const long after = residentBytes();
    state.counters["resident_per_received_byte"] =
        static_cast<double>(after - before) / static_cast<double>(kTotal);
    state.counters["ascii_model_per_received_byte"] =
        static_cast<double>(form->Memo1.memoryBytes()) / static_cast<double>(kTotal);
    state.counters["hex_model_per_received_byte"] =
        static_cast<double>(form->Memo2.memoryBytes()) / static_cast<double>(kTotal);
    state.PauseTiming();
    ascii.reset();
    hex.reset();
    form.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kTotal));
}

BENCHMARK(BM_BothPanesWithViews)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MemoWithView)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MemoAlone)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

TERSO_QT_BENCHMARK_MAIN()
