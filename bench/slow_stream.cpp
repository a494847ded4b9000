// A slow stream: a scale sending a row ten times a second, or once a second,
// for a fixed time into the open port of the real main window (both panes
// shown, offscreen platform, Qt's loop), beside a bare reader that polls the
// same pty and keeps what it reads; and the window with the port open and
// nothing arriving. Prints the processor time per minute and the context
// switches (wake-ups) per second of the whole process, and of each thread.
//
// The scale is a child process that writes one row per period, so its own
// wake-ups are not counted. Each case runs TERSO_SLOW_STREAM_SECONDS seconds
// (default 10).
//
// Arguments: rows a second (0: nothing arrives).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <thread>

#include "QtBenchmarkMain.h"
#include "WindowOnPort.h"
#include "support/Pty.h"

namespace {

const char kRow[] = "S S     123.45 g\r\n";
constexpr std::size_t kRowSize = sizeof kRow - 1;

int caseSeconds() {
  const char* text = std::getenv("TERSO_SLOW_STREAM_SECONDS");
  const int seconds = text ? std::atoi(text) : 0;
  return seconds > 0 ? seconds : 10;
}

// --- What the process and its threads used ------------------------------------

struct Use {
  double cpuSeconds = 0;
  long long switches = 0;
};

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

long long fieldOf(const std::string& status, const std::string& name) {
  const std::size_t at = status.find(name + ":");
  return at == std::string::npos ? 0 : std::atoll(status.c_str() + at + name.size() + 1);
}

// Every thread alive now: its name and use (run time from schedstat, in ns).
struct ThreadUse {
  std::string name;
  Use use;
};

std::map<int, ThreadUse> threadUses() {
  std::map<int, ThreadUse> threads;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
    const std::string dir = entry.path().string();
    ThreadUse t;
    t.name = readFile(dir + "/comm");
    if (!t.name.empty() && t.name.back() == '\n') t.name.pop_back();
    t.use.cpuSeconds = static_cast<double>(std::atoll(readFile(dir + "/schedstat").c_str())) * 1e-9;
    const std::string status = readFile(dir + "/status");
    t.use.switches =
        fieldOf(status, "voluntary_ctxt_switches") + fieldOf(status, "nonvoluntary_ctxt_switches");
    threads[std::stoi(entry.path().filename().string())] = t;
  }
  return threads;
}

// The whole process, threads that ended included.
Use processUse() {
  rusage r{};
  ::getrusage(RUSAGE_SELF, &r);
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return {static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9, r.ru_nvcsw + r.ru_nivcsw};
}

using Clock = std::chrono::steady_clock;

// A stretch of measurement: the process and each thread, from start to end.
class Measure {
 public:
  // Threads to name by their part (the window's event thread, the port's).
  std::map<int, std::string> roles;

  void start() {
    threads_ = threadUses();
    process_ = processUse();
    start_ = Clock::now();
  }

  // Prints the table and sets the process's counters under prefix.
  void finish(benchmark::State& state, const std::string& prefix) {
    const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
    const Use process = processUse();
    const std::map<int, ThreadUse> now = threadUses();
    const double cpu = process.cpuSeconds - process_.cpuSeconds;
    const double switches = static_cast<double>(process.switches - process_.switches);
    std::printf("%-8s %-24s %12s %10s %12s\n", prefix.c_str(), "thread", "cpu ms/min", "% of core",
                "switches/s");
    std::printf("%-8s %-24s %12.1f %10.3f %12.1f\n", prefix.c_str(), "whole process", cpu * 60e3 / seconds,
                cpu * 100 / seconds, switches / seconds);
    for (const auto& [tid, t] : now) {
      const auto before = threads_.find(tid);
      const Use from = before == threads_.end() ? Use{} : before->second.use;
      const auto role = roles.find(tid);
      const std::string name =
          (role != roles.end() ? role->second : t.name) + (before == threads_.end() ? " (new)" : "");
      const double threadCpu = t.use.cpuSeconds - from.cpuSeconds;
      std::printf("%-8s %-24s %12.1f %10.3f %12.1f\n", prefix.c_str(), name.c_str(),
                  threadCpu * 60e3 / seconds, threadCpu * 100 / seconds,
                  static_cast<double>(t.use.switches - from.switches) / seconds);
    }
    std::fflush(stdout);
    state.counters[prefix + "_cpu_ms_per_min"] = cpu * 60e3 / seconds;
    state.counters[prefix + "_switches_per_s"] = switches / seconds;
  }

 private:
  std::map<int, ThreadUse> threads_;
  Use process_;
  Clock::time_point start_;
};

// --- The scale ------------------------------------------------------------------

// A child process writing one row per period to the scale's end until
// seconds have passed; nothing but system calls after the fork. Returns its
// pid (-1 for no rows).
pid_t startScale(int master, int rowsPerSecond, int seconds) {
  if (rowsPerSecond <= 0) return -1;
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  const long periodNs = 1'000'000'000L / rowsPerSecond;
  timespec next{};
  ::clock_gettime(CLOCK_MONOTONIC, &next);
  for (long i = 0; i < static_cast<long>(rowsPerSecond) * seconds; ++i) {
    next.tv_nsec += periodNs;
    while (next.tv_nsec >= 1'000'000'000L) {
      next.tv_nsec -= 1'000'000'000L;
      ++next.tv_sec;
    }
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) != 0) {
    }
    [[maybe_unused]] const ssize_t n = ::write(master, kRow, kRowSize);
  }
  ::_exit(0);
}

void awaitScale(pid_t pid) {
  if (pid > 0) ::waitpid(pid, nullptr, 0);
}

// --- The two readers ---------------------------------------------------------

// poll and read until the time is up, keeping what it reads.
std::size_t bareRead(testing_support::Pty& pty, int rowsPerSecond, int seconds, benchmark::State& state) {
  const int fd = ::open(pty.slavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  termios t{};
  ::tcgetattr(fd, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(fd, TCSANOW, &t);
  std::string got;
  char buffer[4096];
  Measure measure;
  measure.roles[::getpid()] = "bare reader";
  measure.start();
  const pid_t scale = startScale(pty.master(), rowsPerSecond, seconds);
  const auto end = Clock::now() + std::chrono::seconds(seconds) + std::chrono::milliseconds(50);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
  }
  measure.finish(state, "bare");
  awaitScale(scale);
  ::close(fd);
  return got.size() / kRowSize;
}

// The window's loop runs until the time is up; returns the rows shown.
std::size_t windowRead(testing_support::Pty& pty, int rowsPerSecond, int seconds, benchmark::State& state) {
  bench_support::WindowOnPort onPort(pty.slavePath());
  app::TForm1& form = onPort.form;
  const std::map<int, ThreadUse> beforeOpen = threadUses();
  form.ComPort1.Connect();
  // What opening and showing set going settles first.
  QEventLoop settle;
  QTimer::singleShot(500, &settle, &QEventLoop::quit);
  settle.exec();

  Measure measure;
  measure.roles[::getpid()] = "window";
  // The port's thread carries the program's name; the painter's pool
  // threads, started by the first paints, are named by Qt.
  const std::map<int, ThreadUse> afterOpen = threadUses();
  for (const auto& [tid, t] : afterOpen)
    if (!beforeOpen.count(tid) && t.name == afterOpen.at(::getpid()).name)
      measure.roles[tid] = "port's event thread";
  const std::size_t linesBefore = form.Memo1.lineCount();
  measure.start();
  const pid_t scale = startScale(pty.master(), rowsPerSecond, seconds);
  QEventLoop run;
  QTimer::singleShot(std::chrono::seconds(seconds) + std::chrono::milliseconds(50), Qt::CoarseTimer, &run,
                     &QEventLoop::quit);
  run.exec();
  measure.finish(state, "window");
  awaitScale(scale);
  // A row sent at the very end may still be on its way.
  const std::size_t expected = static_cast<std::size_t>(rowsPerSecond) * static_cast<std::size_t>(seconds);
  for (int i = 0; i < 50 && form.Memo1.lineCount() - linesBefore < expected; ++i) {
    QApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const std::size_t rows = form.Memo1.lineCount() - linesBefore;
  form.ComPort1.Disconnect();
  return rows;
}

void BM_SlowStream(benchmark::State& state) {
  const int rowsPerSecond = static_cast<int>(state.range(0));
  const int seconds = caseSeconds();
  const std::size_t sent = static_cast<std::size_t>(rowsPerSecond) * static_cast<std::size_t>(seconds);
  for (auto _ : state) {
    testing_support::Pty pty;
    if (rowsPerSecond > 0) {
      std::printf("--- %d rows a second, %d s, the bare reader\n", rowsPerSecond, seconds);
      const std::size_t bareRows = bareRead(pty, rowsPerSecond, seconds, state);
      state.counters["bare_rows_lost"] = static_cast<double>(sent) - static_cast<double>(bareRows);
    }
    std::printf("--- %d rows a second, %d s, the window\n", rowsPerSecond, seconds);
    const std::size_t shown = windowRead(pty, rowsPerSecond, seconds, state);
    state.counters["window_rows_lost"] = static_cast<double>(sent) - static_cast<double>(shown);
    state.SetIterationTime(seconds);
  }
}
BENCHMARK(BM_SlowStream)
    ->ArgNames({"rows_per_s"})
    ->Arg(10)
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace

TERSO_QT_BENCHMARK_MAIN()
