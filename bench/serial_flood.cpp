// End to end: a writer floods a pty, first read by a bare reader (a plain
// 64 KiB read loop keeping what it reads; once more keeping nothing, for
// comparison), then by the real main window with both panes shown on the
// offscreen platform, in the same run. Reports the speeds and their ratio,
// whether any byte was lost or any row damaged, how late a 10 ms timer ran
// (the longest stall of the event loop) and the longest round trip of a ping
// posted to the window from another thread (how long the operator would wait
// for the window to answer). The two readers take turns, so a machine
// whose load changes meets both alike. A second figure goes through a socat
// pty pair with cat as the bare reader, the way an operator would measure.
//
// Arguments: the stream (0 scale rows, 1 random bytes) and its size in MB.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <future>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "QtBenchmarkMain.h"
#include "WindowOnPort.h"
#include "app/TForm1.h"
#include "config/ConfigOptions.h"
#include "platform/WholeFile.h"
#include "platform/qt/QtEventLoop.h"
#include "support/Pty.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "ui/qt/FormWindow.h"

namespace {

const std::string kRow = "S S     123.45 g\r\n";
using Clock = std::chrono::steady_clock;

double cpuSeconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Scale rows, or random bytes; either ends in a line feed so that the last
// row is complete when everything has arrived.
std::string floodOf(bool random, std::size_t size) {
  std::string data;
  data.reserve(size + kRow.size());
  if (random) {
    std::mt19937 gen(21);
    data.resize(size);
    for (char& c : data) c = static_cast<char>(gen() & 0xFF);
    data.back() = '\n';
  } else {
    while (data.size() < size) data += kRow;
  }
  return data;
}

// Writes data to the scale's end as fast as the pty takes it.
std::thread startWriter(int master, const std::string& data) {
  return std::thread([master, &data] {
    std::size_t sent = 0;
    while (sent < data.size()) {
      const ssize_t w = ::write(master, data.data() + sent, std::min<std::size_t>(65536, data.size() - sent));
      if (w > 0) {
        sent += static_cast<std::size_t>(w);
      } else {
        pollfd p{master, POLLOUT, 0};
        ::poll(&p, 1, 100);
      }
    }
  });
}

// A reader's run: seconds to read all of data (-1 when the bytes read
// differ), and the processor time the whole process took meanwhile, the
// writer's included.
struct BareRun {
  double seconds = -1;
  double processCpuSeconds = 0;
  // The same loop keeping nothing (0 when not measured).
  double countOnlySeconds = 0;
};

// The bare reader. It keeps what it reads, as the window does, unless
// keep is false: then it only counts, and is no faster for it. A pty moves
// bytes in steps of at most 4 KiB, each passed on by a kernel worker; a loop
// that does nothing between reads finds the step not yet refilled more often
// and waits for it (measured here: about a quarter slower).
BareRun bareRead(testing_support::Pty& pty, const std::string& data, bool keep = true) {
  const int fd = ::open(pty.slavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  std::string got;
  if (keep) got.reserve(data.size());
  std::string buffer(65536, '\0');
  std::size_t received = 0;
  const auto start = Clock::now();
  const double cpuStart = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
  std::thread writer = startWriter(pty.master(), data);
  while (received < data.size() && secondsSince(start) < 120) {
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n > 0) {
      received += static_cast<std::size_t>(n);
      if (keep) got.append(buffer.data(), static_cast<std::size_t>(n));
    } else {
      pollfd p{fd, POLLIN, 0};
      ::poll(&p, 1, 100);
    }
  }
  const double seconds = secondsSince(start);
  writer.join();
  const double cpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart;
  ::close(fd);
  const bool whole = keep ? got == data : received == data.size();
  return {whole ? seconds : -1, cpu};
}

int hexDigit(char c) {
  return c <= '9' ? c - '0' : c - 'A' + 10;
}

// The bytes the HEX pane shows, read back from its text.
std::string bytesOfHexPane(const ui::Memo& hex) {
  std::string bytes;
  for (std::size_t i = 0; i < hex.lineCount(); ++i) {
    const std::string_view line = hex.line(i);
    for (std::size_t p = 0; p + 1 < line.size(); ++p)
      if (line[p] != ' ') {
        bytes += static_cast<char>(hexDigit(line[p]) * 16 + hexDigit(line[p + 1]));
        ++p;
      }
  }
  return bytes;
}

// Round trips of a call posted to the window's thread, every 5 ms, from
// another thread; the longest one in milliseconds.
class PingProbe {
 public:
  explicit PingProbe(QObject& target)
      : thread_([this, &target] {
          while (!stop_) {
            const auto sent = Clock::now();
            std::promise<void> answered;
            QMetaObject::invokeMethod(
                &target, [&answered] { answered.set_value(); }, Qt::QueuedConnection);
            answered.get_future().wait();
            worst_ = std::max(worst_.load(), secondsSince(sent) * 1000);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
          }
          exited_ = true;
        }) {}
  // Stops the probe while the window's loop still runs, so its last ping is answered.
  double finish() {
    stop_ = true;
    while (!exited_) QApplication::processEvents(QEventLoop::AllEvents, 10);
    thread_.join();
    return worst_;
  }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<bool> exited_{false};
  std::atomic<double> worst_{0};
  std::thread thread_;
};

// One read of the flood by the real window.
struct WindowRun {
  double seconds = 0;
  double uiCpuSeconds = 0;
  double processCpuSeconds = 0;
  qint64 worstGapMs = 0;
  double worstPingMs = 0;
  double bytesLost = 0;
  bool bytesDiffer = false;
  std::size_t rowsDamaged = 0;
  double readingsJournaled = 0;  // with TERSO_BENCH_EVERY_ROW=1
};

WindowRun windowRead(const std::string& device, int scaleEnd, const std::string& data, bool random) {
  const auto rows = static_cast<std::size_t>(std::count(data.begin(), data.end(), '\n'));
  bench_support::WindowOnPort onPort(device);
  app::TForm1& form = onPort.form;
  ui::qt::FormWindow& window = *onPort.window;
  onPort.open();

  // The lateness of a 10 ms timer tells how long the loop was kept busy.
  WindowRun run;
  QElapsedTimer sinceTick;
  QTimer probe;
  probe.setTimerType(Qt::PreciseTimer);
  probe.setInterval(10);
  QObject::connect(&probe, &QTimer::timeout,
                   [&] { run.worstGapMs = std::max(run.worstGapMs, sinceTick.restart()); });

  const auto start = Clock::now();
  const double uiCpuStart = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
  const double processCpuStart = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
  sinceTick.start();
  probe.start();
  PingProbe ping(window);
  std::thread writer = startWriter(scaleEnd, data);
  // Every row ends in LF: all rows are in when the pane has rows + 1 lines.
  // The 10 ms probe wakes the wait at the latest.
  while (form.Memo1.lineCount() < rows + 1 && secondsSince(start) < 300)
    QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  run.seconds = secondsSince(start);
  run.uiCpuSeconds = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - uiCpuStart;
  probe.stop();
  run.worstPingMs = ping.finish();
  writer.join();
  run.processCpuSeconds = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processCpuStart;

  const std::string shown = bytesOfHexPane(form.Memo2);
  run.bytesLost = static_cast<double>(data.size()) - static_cast<double>(shown.size());
  run.bytesDiffer = shown != data;
  if (!random)
    for (std::size_t i = 0; i + 1 < form.Memo1.lineCount(); ++i)
      run.rowsDamaged += form.Memo1.line(i) != std::string_view(kRow).substr(0, kRow.size() - 2);
  form.ComPort1.Disconnect();
  if (form.ReadingsJournal) {
    form.ReadingsJournal->flush();
    for (const readings::SeriesInfo& series : form.ReadingsJournal->listSeries())
      run.readingsJournaled += static_cast<double>(series.count);
  }
  return run;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The bare reader and the window take turns, nine times each, so that both
// meet the same load on a shared machine; the ratio is the median of the
// ratios of each turn, printed with the lowest and the highest. A turn gives
// the bare reader's run and the window's.
using Turn = std::function<std::pair<BareRun, WindowRun>(const std::string& data)>;

void takeTurns(benchmark::State& state, const Turn& turn) {
  constexpr int kTurns = 9;
  const bool random = state.range(0) != 0;
  const std::string data = floodOf(random, static_cast<std::size_t>(state.range(1)) * 1'000'000);
  const double mb = static_cast<double>(data.size()) / 1e6;
  for (auto _ : state) {
    std::vector<double> bare, window, ratio, uiCpu, bareCpu, windowCpu, countOnly, ratioCountOnly;
    WindowRun worst;
    bool bareDiffer = false;
    for (int t = 0; t < kTurns; ++t) {
      const auto [bareRun, run] = turn(data);
      const double bareSeconds = bareRun.seconds;
      bareCpu.push_back(bareRun.processCpuSeconds * 1000 / mb);
      if (bareRun.countOnlySeconds > 0) {
        countOnly.push_back(mb / bareRun.countOnlySeconds);
        ratioCountOnly.push_back(bareRun.countOnlySeconds / run.seconds);
      }
      windowCpu.push_back(run.processCpuSeconds * 1000 / mb);
      bareDiffer = bareDiffer || bareSeconds <= 0;
      bare.push_back(bareSeconds > 0 ? mb / bareSeconds : 0);
      window.push_back(mb / run.seconds);
      ratio.push_back(bareSeconds > 0 ? bareSeconds / run.seconds : 0);
      uiCpu.push_back(run.uiCpuSeconds * 1000 / mb);
      worst.seconds += run.seconds / kTurns;
      worst.worstGapMs = std::max(worst.worstGapMs, run.worstGapMs);
      worst.worstPingMs = std::max(worst.worstPingMs, run.worstPingMs);
      worst.bytesLost = std::max(worst.bytesLost, run.bytesLost);
      worst.bytesDiffer = worst.bytesDiffer || run.bytesDiffer;
      worst.rowsDamaged = std::max(worst.rowsDamaged, run.rowsDamaged);
      worst.readingsJournaled = t == 0 ? run.readingsJournaled : std::min(worst.readingsJournaled, run.readingsJournaled);
    }
    state.SetIterationTime(worst.seconds);
    state.counters["bare_MBps"] = median(bare);
    state.counters["bare_differ"] = bareDiffer;
    state.counters["window_MBps"] = median(window);
    state.counters["ratio"] = median(ratio);
    state.counters["ratio_lowest"] = *std::min_element(ratio.begin(), ratio.end());
    state.counters["ratio_highest"] = *std::max_element(ratio.begin(), ratio.end());
    state.counters["bytes_lost"] = worst.bytesLost;
    state.counters["bytes_differ"] = worst.bytesDiffer;
    state.counters["rows_damaged"] = static_cast<double>(worst.rowsDamaged);
    // The fewest readings a turn's journal held after its flood (rows with a
    // weight are readings only with TERSO_BENCH_EVERY_ROW=1).
    state.counters["readings_journaled"] = worst.readingsJournaled;
    state.counters["timer_late_ms"] = static_cast<double>(std::max<qint64>(0, worst.worstGapMs - 10));
    state.counters["ping_max_ms"] = worst.worstPingMs;
    // The window's own thread: processor time per MB received.
    state.counters["ui_cpu_ms_per_MB"] = median(uiCpu);
    // The whole process (the writer's thread included; not the kernel's pty
    // workers): what reading with the window costs beyond reading bare.
    if (median(bareCpu) > 0) state.counters["bare_process_cpu_ms_per_MB"] = median(bareCpu);
    state.counters["window_process_cpu_ms_per_MB"] = median(windowCpu);
    // Against the same loop keeping nothing.
    if (!countOnly.empty()) {
      state.counters["bare_count_only_MBps"] = median(countOnly);
      state.counters["ratio_vs_count_only"] = median(ratioCountOnly);
    }
  }
}

// A pty pair of our own: the bare reader is a plain 64 KiB read loop.
void BM_PtyFloodBareAndWindow(benchmark::State& state) {
  const bool random = state.range(0) != 0;
  takeTurns(state, [random](const std::string& data) {
    testing_support::Pty scale;
    BareRun bare = bareRead(scale, data);
    bare.countOnlySeconds = bareRead(scale, data, false).seconds;
    return std::make_pair(bare, windowRead(scale.slavePath(), scale.master(), data, random));
  });
}
BENCHMARK(BM_PtyFloodBareAndWindow)
    ->ArgNames({"random", "MB"})
    ->Args({0, 20})
    ->Args({1, 20})
    ->Args({0, 50})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A child process with its arguments; stdout to a file when one is named.
pid_t spawn(const std::vector<std::string>& args, const std::string& out = {}) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (!out.empty()) {
      const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      ::dup2(fd, 1);
    }
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

void stop(pid_t pid) {
  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
}

// A pty pair relayed by socat, as an operator would set one up: the scale
// writes to one end, the reader opens the other.
struct SocatPair {
  SocatPair() {
    pid = spawn({"socat", "pty,raw,echo=0,link=" + scale, "pty,raw,echo=0,link=" + terminal});
    for (int i = 0; i < 500 && !(std::filesystem::exists(scale) && std::filesystem::exists(terminal)); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    scaleEnd = ::open(scale.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  }
  ~SocatPair() {
    ::close(scaleEnd);
    stop(pid);
  }
  testing_support::TempDir dir;
  std::string scale = (dir / "scale").string();
  std::string terminal = (dir / "terminal").string();
  pid_t pid = -1;
  int scaleEnd = -1;
};

// cat as the bare reader: seconds until its output holds all of data (cat's
// processor time is its own process's, not counted).
BareRun catRead(SocatPair& pair, const std::string& data) {
  const std::string out = (pair.dir / "cat.out").string();
  const pid_t cat = spawn({"cat", pair.terminal}, out);
  // cat has the device open before the flood starts.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto start = Clock::now();
  std::thread writer = startWriter(pair.scaleEnd, data);
  std::error_code error;
  while (std::filesystem::file_size(out, error) < data.size() && secondsSince(start) < 120)
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  const double seconds = secondsSince(start);
  writer.join();
  stop(cat);
  std::string got;
  if (platform::readWholeFile(out, platform::kNoSizeCap, got) != 0) return {};
  return {got == data ? seconds : -1, 0};
}

// The same through a socat pty pair, with cat reading as the bare reader.
void BM_SocatFloodCatAndWindow(benchmark::State& state) {
  const bool random = state.range(0) != 0;
  takeTurns(state, [random](const std::string& data) {
    SocatPair pair;
    const BareRun cat = catRead(pair, data);
    return std::make_pair(cat, windowRead(pair.terminal, pair.scaleEnd, data, random));
  });
}
BENCHMARK(BM_SocatFloodCatAndWindow)
    ->ArgNames({"random", "MB"})
    ->Args({0, 20})
    ->Args({1, 20})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

TERSO_QT_BENCHMARK_MAIN()
