// The capture file on this machine's disk (a folder in /var/tmp, or in
// $CAPTURE_BENCH_DIR): fast write with and without stamps, and row mode with
// its open, write and close per reply, alone and in a flood of rows.
//
// Fast write counts the received bytes per second of real time, and every
// 64 MiB the file is closed inside the timing, so its sync to the disk is paid
// for; the file is then removed outside the timing.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ManualEventLoop.h"
#include "support/PaneCapture.h"

namespace {

constexpr std::size_t kFileLimit = std::size_t{64} << 20;

// A folder on the disk, removed at the end.
class BenchDir {
 public:
  BenchDir() {
    const char* base = std::getenv("CAPTURE_BENCH_DIR");
    std::string pattern = std::string(base ? base : "/var/tmp") + "/capture-bench-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("no bench folder");
    path_ = pattern;
  }
  ~BenchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Scale rows cut into chunks of the given size; the rows repeat so that they
// are split across chunk boundaries at many offsets.
std::vector<std::string> scaleChunks(std::size_t chunkSize) {
  const std::string row = "ST,GS,+  0123.45 kg\r\n";
  std::string stream;
  while (stream.size() < 16 * chunkSize) stream += row;
  std::vector<std::string> chunks;
  for (std::size_t i = 0; i < 16; ++i) chunks.push_back(stream.substr(i * chunkSize, chunkSize));
  return chunks;
}

// The capture file with the byte processor whose rows go into it.
struct Terminal {
  explicit Terminal(const std::filesystem::path& file) { capture.choose(file); }
  platform::ManualEventLoop loop;
  testing_support::PaneCapture capture{loop};
};

void BM_FastWrite(benchmark::State& state) {
  const bool stamps = state.range(0) != 0;
  const auto chunks = scaleChunks(static_cast<std::size_t>(state.range(1)));
  BenchDir dir;
  const auto file = dir / "fast.txt";
  Terminal t(file);
  t.capture.view.options.fastWrite = true;
  t.capture.stampTime(stamps);

  std::size_t total = 0, inFile = 0, i = 0;
  for (auto _ : state) {
    const std::string& chunk = chunks[i++ % chunks.size()];
    t.capture.file.FastWriteData(chunk);
    total += chunk.size();
    inFile += chunk.size();
    // Time moves on, so the flush timer and the notices run as they would.
    if (i % 256 == 0) t.loop.advance(1);
    if (inFile >= kFileLimit) {
      t.capture.file.CloseCaptureFile();
      state.PauseTiming();
      std::filesystem::remove(file);
      inFile = 0;
      state.ResumeTiming();
    }
  }
  t.capture.file.CloseCaptureFile();
  state.SetBytesProcessed(static_cast<std::int64_t>(total));
}
BENCHMARK(BM_FastWrite)
    ->ArgNames({"stamps", "chunk"})
    ->Args({0, 4096})
    ->Args({1, 4096})
    ->Args({0, 256})
    ->Args({1, 256})
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(2.0)
    ->UseRealTime();

// One reply a row: the byte processor hands it to the row writer, which opens,
// appends and closes the file.
void BM_RowMode(benchmark::State& state) {
  BenchDir dir;
  Terminal t(dir / "rows.txt");
  const std::string reply = "ST,GS,+  0123.45 kg\r\n";
  for (auto _ : state) {
    t.capture.panes.bytes.awaitReply();
    t.capture.panes.receive(reply);
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
}
BENCHMARK(BM_RowMode)->Unit(benchmark::kMicrosecond)->MinTime(2.0)->UseRealTime();

// A flood of scale rows in 4 KiB chunks in row mode: every row a line of the
// file, each with its open, write and close.
void BM_RowModeFlood(benchmark::State& state) {
  BenchDir dir;
  Terminal t(dir / "flood.txt");
  const auto chunks = scaleChunks(4096);
  std::size_t total = 0, i = 0;
  for (auto _ : state) {
    const std::string& chunk = chunks[i++ % chunks.size()];
    t.capture.panes.receive(chunk);
    total += chunk.size();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(total));
}
BENCHMARK(BM_RowModeFlood)->Unit(benchmark::kMicrosecond)->MinTime(2.0)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
