// The way out by the close box: the program's windows as its main wires them,
// then the main window's close, until the message loop has returned and every
// window and component is destroyed (what is left of the process after that is
// the application object). Reports the time on an idle disk and while a
// writer thread keeps the disk busy as a build does; with the serial port
// closed, and open on a pretend scale's pty.
// The settings files reaching the disk is part of the time, by design.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <QWindow>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "QtBenchmarkMain.h"
#include "app/TForm1.h"
#include "automatic/TForm2.h"
#include "automatic/TRemainingForm.h"
#include "config/TConnectionForm.h"
#include "platform/qt/QtEventLoop.h"
#include "support/Pty.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "ui/qt/Application.h"
#include "ui/qt/FormWindow.h"

namespace {

// Keeps the disk busy as a build does: a writer leaves dirty pages behind
// (1 GiB written over and over, synced only every 256 MiB), so a sync of a
// small file has the others' backlog in front of it.
class DiskLoad {
 public:
  explicit DiskLoad(const std::string& path) {
    thread_ = std::thread([this, path] {
      const std::string block(4 << 20, 'x');
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
      if (fd < 0) return;
      for (int i = 1; !stop_; ++i) {
        if (::write(fd, block.data(), block.size()) < 0) break;
        if (i % 64 == 0) ::fsync(fd);
        if (i % 256 == 0) ::lseek(fd, 0, SEEK_SET);
      }
      ::close(fd);
    });
    std::this_thread::sleep_for(std::chrono::seconds(2));  // a backlog builds up
  }
  ~DiskLoad() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

void BM_CloseToExit(benchmark::State& state) {
  const bool busy = state.range(0) != 0;
  const bool portOpen = state.range(1) != 0;
  testing_support::TempDir loadDir;
  std::unique_ptr<DiskLoad> load;
  if (busy) load = std::make_unique<DiskLoad>((loadDir / "load.bin").string());
  double worst = 0, inHandler = 0, afterHandler = 0;
  for (auto _ : state) {
    testing_support::TempDir dir;
    // A pretend scale's line that the operator left open.
    testing_support::Pty scale;
    if (portOpen)
      testing_support::TempDir::write(dir / "Kestrel.ini", "[Devices]\r\nCOM1=" + scale.slavePath() + "\r\n");
    auto loop = std::make_unique<platform::QtEventLoop>();
    testing_support::ScriptedDialogs dialogs;
    // The close handler ends with the loop's end: what comes before is the
    // handler (the settings files written and synced), what comes after the
    // return from the loop and the destruction.
    std::chrono::steady_clock::time_point handled;
    auto form1 =
        std::make_unique<app::TForm1>(app::MainWindowServices{*loop, dialogs, dir.path(), [&handled] {
                                                                handled = std::chrono::steady_clock::now();
                                                                ui::qt::endMessageLoop();
                                                              }});
    form1->FormCreate();
    auto form2 = std::make_unique<automatic::TForm2>(*form1);
    form2->FormCreate();
    auto remaining = std::make_unique<automatic::TRemainingForm>(*form1);
    auto remainingWindow = std::make_unique<ui::qt::FormWindow>(*remaining, *loop);
    auto connection = std::make_unique<config::TConnectionForm>(form1->ConfigOptions, form1->ComPort1,
                                                                form1->btnOpenPort, dialogs);
    form1->ConnectionForm = connection.get();
    auto window = std::make_unique<ui::qt::FormWindow>(*form1, *loop);
    window->show();
    QApplication::processEvents();
    if (portOpen) form1->ComPort1.Connect();

    const auto start = std::chrono::steady_clock::now();
    QTimer::singleShot(0, window.get(), [&window] { window->windowHandle()->close(); });
    QApplication::exec();
    window.reset();
    connection.reset();
    remainingWindow.reset();
    remaining.reset();
    form2.reset();
    form1.reset();
    loop.reset();
    const auto end = std::chrono::steady_clock::now();
    const double ms = std::chrono::duration<double, std::milli>(end - start).count();
    worst = std::max(worst, ms);
    inHandler += std::chrono::duration<double, std::milli>(handled - start).count();
    afterHandler += std::chrono::duration<double, std::milli>(end - handled).count();
    state.SetIterationTime(ms / 1000.0);
  }
  state.counters["worst_ms"] = worst;
  state.counters["handler_ms"] = inHandler / static_cast<double>(state.iterations());
  state.counters["after_ms"] = afterHandler / static_cast<double>(state.iterations());
}
BENCHMARK(BM_CloseToExit)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->ArgNames({"disk_busy", "port_open"})
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

}  // namespace

TERSO_QT_BENCHMARK_MAIN()
