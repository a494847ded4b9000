// The byte processor under a flood of scale rows: throughput, whether the cost
// per byte grows with the panes, and the memory the panes hold per byte.
//
// Scale-like rows "S S     123.45 g" CR LF (or random bytes) arrive in 4 KiB
// chunks; both pane models fill with no view attached and no capture file.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/ManualEventLoop.h"
#include "support/PaneProcessor.h"

namespace {

constexpr std::size_t kChunk = 4096;
constexpr double kMB = 1e6;

// The rows cut into 4 KiB chunks; 18-byte rows repeat every nine chunks, so
// rows are split across chunk boundaries at every offset they would be.
std::vector<std::string> scaleChunks() {
  const std::string row = "S S     123.45 g\r\n";
  std::string stream;
  while (stream.size() < 9 * kChunk) stream += row;
  std::vector<std::string> chunks;
  for (std::size_t i = 0; i < 9; ++i) chunks.push_back(stream.substr(i * kChunk, kChunk));
  return chunks;
}

// The byte processor with its two panes, as the main window sets them up;
// the first row counts as the reply to a send.
struct Terminal {
  std::size_t paneBytes() const { return p.ascii.memoryBytes() + p.hex.memoryBytes(); }

  platform::ManualEventLoop loop;
  testing_support::PaneProcessor p{loop};
};

// Random bytes in 4 KiB chunks: a NUL and a bare LF every 256 bytes or so,
// the case furthest from scale rows.
std::vector<std::string> randomChunks() {
  std::mt19937 gen(21);
  std::vector<std::string> chunks(9, std::string(kChunk, '\0'));
  for (std::string& chunk : chunks)
    for (char& c : chunk) c = static_cast<char>(gen() & 0xFF);
  return chunks;
}

// Steady throughput: the panes are emptied (untimed) every 64 MB received.
// Scale rows (0) or random bytes (1).
void BM_ProcessReceived(benchmark::State& state) {
  const auto chunks = state.range(0) == 0 ? scaleChunks() : randomChunks();
  Terminal t;
  std::size_t next = 0;
  std::size_t sinceClear = 0;
  for (auto _ : state) {
    t.p.bytes.ProcessReceived(chunks[next], kChunk);
    next = (next + 1) % chunks.size();
    sinceClear += kChunk;
    if (sinceClear >= 64'000'000) {
      state.PauseTiming();
      t.p.ascii.clear();
      t.p.hex.clear();
      sinceClear = 0;
      state.ResumeTiming();
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kChunk));
}
BENCHMARK(BM_ProcessReceived)->Arg(0)->Arg(1);

// Seconds of processor time this process has used (the machine may be shared,
// so wall time alone says little).
double cpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

long minorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

// Seconds of processor time spent in the program itself, not in the kernel
// on its behalf (new pages, mostly).
double userSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec) + static_cast<double>(usage.ru_utime.tv_usec) * 1e-6;
}

double wallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// One long run of range(0) MB of scale rows (or, range(1) set, random bytes)
// into panes that are never emptied, timed in 100 MB stretches: the last
// stretch must be no slower than the first. Minor page faults per MB and the
// share of processor time spent in the kernel tell whether growing panes cost
// the kernel more (the system splits processor time between the two by
// sampling, so over one stretch the share is rough). Every stretch's figure
// is printed too: a slow stretch on a shared machine may fall anywhere, while
// a cost that grows shows as a slope.
void BM_ProcessReceivedLongRun(benchmark::State& state) {
  const auto chunks = state.range(1) == 0 ? scaleChunks() : randomChunks();
  const std::size_t total = static_cast<std::size_t>(state.range(0)) * 1'000'000;
  const std::size_t stretch = 100'000'000;
  struct Sample {
    double cpu = 0, wall = 0, user = 0;
    long faults = 0;
    Sample operator-(const Sample& o) const {
      return {cpu - o.cpu, wall - o.wall, user - o.user, faults - o.faults};
    }
  };
  auto sample = [] { return Sample{cpuSeconds(), wallSeconds(), userSeconds(), minorFaults()}; };
  for (auto _ : state) {
    Terminal t;
    std::vector<Sample> stretches;
    std::size_t received = 0;
    std::size_t next = 0;
    const Sample runStart = sample();
    Sample stretchStart = runStart;
    while (received < total) {
      t.p.bytes.ProcessReceived(chunks[next], kChunk);
      next = (next + 1) % chunks.size();
      received += kChunk;
      if (received % stretch < kChunk || received >= total) {
        const Sample now = sample();
        stretches.push_back(now - stretchStart);
        stretchStart = now;
      }
    }
    const Sample run = stretchStart - runStart;
    const Sample& first = stretches.front();
    const Sample& last = stretches.back();
    const double mb = static_cast<double>(received) / kMB;
    const double stretchMB = static_cast<double>(stretch) / kMB;
    state.SetIterationTime(run.wall);
    state.counters["MBps_cpu_total"] = mb / run.cpu;
    state.counters["MBps_cpu_first100"] = stretchMB / first.cpu;
    state.counters["MBps_cpu_last100"] = stretchMB / last.cpu;
    state.counters["MBps_wall_total"] = mb / run.wall;
    state.counters["MBps_wall_first100"] = stretchMB / first.wall;
    state.counters["MBps_wall_last100"] = stretchMB / last.wall;
    state.counters["last_vs_first_cpu"] = last.cpu / first.cpu;
    state.counters["last_vs_first_wall"] = last.wall / first.wall;
    state.counters["kernel_share_first100"] = 1 - first.user / first.cpu;
    state.counters["kernel_share_last100"] = 1 - last.user / last.cpu;
    state.counters["faults_per_MB_first100"] = static_cast<double>(first.faults) / stretchMB;
    state.counters["faults_per_MB_last100"] = static_cast<double>(last.faults) / stretchMB;
    state.counters["pane_bytes_per_byte"] =
        static_cast<double>(t.paneBytes()) / static_cast<double>(received);
    state.counters["ascii_bytes_per_byte"] =
        static_cast<double>(t.p.ascii.memoryBytes()) / static_cast<double>(received);
    state.counters["hex_bytes_per_byte"] =
        static_cast<double>(t.p.hex.memoryBytes()) / static_cast<double>(received);
    state.SetBytesProcessed(static_cast<std::int64_t>(received));
    // Every stretch, for a look at where a slow one falls.
    std::string each = "MBps_cpu of each stretch:";
    for (const Sample& s : stretches) each += " " + std::to_string(static_cast<int>(stretchMB / s.cpu));
    state.SetLabel(each);
  }
}
BENCHMARK(BM_ProcessReceivedLongRun)
    ->ArgNames({"MB", "random"})
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
