// End to end: the real main window with its Qt view on the offscreen platform
// reads a pty that a writer floods with scale rows. Reports how fast the
// terminal consumes the line, whether any byte was lost, and how late a 10 ms
// timer ran during the flood (the longest stall of the event loop).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "QtBenchmarkMain.h"
#include "app/TForm1.h"
#include "config/ConfigOptions.h"
#include "platform/qt/QtEventLoop.h"
#include "support/Pty.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "ui/qt/FormWindow.h"

namespace {

const std::string kRow = "S S     123.45 g\r\n";

void BM_SerialFloodIntoTheWindow(benchmark::State& state) {
  const std::size_t rows = static_cast<std::size_t>(state.range(0));
  for (auto _ : state) {
    config::ConfigOptions = {};
    testing_support::Pty scale;
    testing_support::TempDir dir;
    testing_support::TempDir::write(dir / "Kestrel.ini", "[Devices]\r\nCOM7=" + scale.slavePath() + "\r\n");
    platform::QtEventLoop loop;
    testing_support::ScriptedDialogs dialogs;
    app::TForm1 form({loop, dialogs, dir.path(), [] {}});
    form.FormCreate();
    form.ComPort1.setPort("COM7");
    ui::qt::FormWindow window(form, loop);
    window.show();
    form.ComPort1.Connect();

    // The lateness of a 10 ms timer tells how long the loop was kept busy.
    QElapsedTimer sinceTick;
    qint64 worstGap = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(10);
    QObject::connect(&probe, &QTimer::timeout, [&] { worstGap = std::max(worstGap, sinceTick.restart()); });

    std::string block;
    for (int i = 0; i < 256; ++i) block += kRow;
    const std::size_t total = rows * kRow.size();
    const auto start = std::chrono::steady_clock::now();
    sinceTick.start();
    probe.start();
    std::thread writer([&] {
      std::size_t sent = 0;
      while (sent < total) {
        const std::size_t offset = sent % block.size();
        const std::size_t n = std::min(block.size() - offset, total - sent);
        const ssize_t w = ::write(scale.master(), block.data() + offset, n);
        if (w > 0)
          sent += static_cast<std::size_t>(w);
        else
          std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    });
    // Rows end in LF: all rows are in when the pane has rows + 1 lines.
    while (form.Memo1.lineCount() < rows + 1 &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(120))
      QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    probe.stop();
    writer.join();

    std::size_t received = 0, damaged = 0;
    for (std::size_t i = 0; i + 1 < form.Memo1.lineCount(); ++i) {
      const std::string_view line = form.Memo1.line(i);
      received += line.size() + 2;
      if (line != "S S     123.45 g") ++damaged;
    }
    form.ComPort1.Disconnect();
    state.SetIterationTime(seconds);
    state.counters["MBps"] = static_cast<double>(received) / seconds / 1e6;
    state.counters["bytes_lost"] = static_cast<double>(total) - static_cast<double>(received);
    state.counters["rows_damaged"] = static_cast<double>(damaged);
    state.counters["worst_stall_ms"] = static_cast<double>(worstGap);
  }
}
BENCHMARK(BM_SerialFloodIntoTheWindow)
    ->Arg(2'000'000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

TERSO_QT_BENCHMARK_MAIN()
