// The send line under a flood: the operator pastes 10,000 bytes written as
// $XX escapes (30,000 characters) into the send line of the real main window
// and sends them with Enter, 105 times, while the scale sends 1 MiB back into
// a capture file in fast-write mode. Prints the peak resident memory over the
// run beside the resident memory of the idle window with the port open.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "QtBenchmarkMain.h"
#include "WindowOnPort.h"
#include "support/Pty.h"

namespace {

constexpr int kPastes = 105;
constexpr std::size_t kPasteBytes = 10'000;
constexpr std::size_t kReplyBytes = std::size_t{1} << 20;

// kB of the process's status field ("VmRSS", "VmHWM").
double statusMb(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string key = std::string(field) + ":";
  while (std::getline(in, line))
    if (line.rfind(key, 0) == 0) return std::atof(line.c_str() + key.size()) / 1024;
  return 0;
}

// The peak from now on (the kernel's high-water mark starts again).
void resetPeak() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

std::string escapedPaste(int turn) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(kPasteBytes * 3);
  for (std::size_t i = 0; i < kPasteBytes; ++i) {
    const auto byte = static_cast<unsigned>((i * 7 + static_cast<std::size_t>(turn)) & 0xFF);
    text += '$';
    text += digits[byte >> 4];
    text += digits[byte & 15];
  }
  return text;
}

// The scale: takes what is sent, and sends its share of the reply after
// each 10,000 bytes taken, until the whole reply is out.
class Scale {
 public:
  explicit Scale(int master)
      : thread_([this, master] {
          const std::string chunk(kReplyBytes / kPastes + 1, 'r');
          char buffer[65536];
          std::size_t taken = 0, replied = 0;
          while (!stop_) {
            pollfd p{master, POLLIN, 0};
            ::poll(&p, 1, 20);
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0) continue;
            taken += static_cast<std::size_t>(n);
            sent_ = taken;
            while (replied < kReplyBytes && replied * kPastes < taken * kReplyBytes / kPasteBytes) {
              const std::size_t size = std::min(chunk.size(), kReplyBytes - replied);
              std::size_t done = 0;
              while (done < size && !stop_) {
                const ssize_t w = ::write(master, chunk.data() + done, size - done);
                if (w > 0)
                  done += static_cast<std::size_t>(w);
                else {
                  pollfd out{master, POLLOUT, 0};
                  ::poll(&out, 1, 20);
                }
              }
              replied += size;
            }
          }
        }) {}
  ~Scale() {
    stop_ = true;
    thread_.join();
  }
  std::size_t taken() const { return sent_; }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<std::size_t> sent_{0};
  std::thread thread_;
};

void BM_SendLinePastes(benchmark::State& state) {
  for (auto _ : state) {
    testing_support::Pty pty;
    bench_support::WindowOnPort onPort(pty.slavePath());
    app::TForm1& form = onPort.form;
    onPort.open();
    form.Capture.choose((onPort.dir() / "capture.txt").string());
    form.FastWrite.setChecked(true);
    auto* line = qobject_cast<QLineEdit*>(onPort.window->widgetFor(form.Edit1));
    QApplication::processEvents();
    const double idleMb = statusMb("VmRSS");
    resetPeak();

    Scale scale(pty.master());
    for (int turn = 0; turn < kPastes; ++turn) {
      QApplication::clipboard()->setText(QString::fromLatin1(escapedPaste(turn)));
      line->setFocus();
      line->selectAll();
      line->paste();
      QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
      QApplication::sendEvent(line, &press);
      QApplication::processEvents();
    }
    for (int i = 0; i < 200 && scale.taken() < kPastes * kPasteBytes; ++i)
      QApplication::processEvents(QEventLoop::AllEvents, 10);
    QApplication::processEvents();
    state.counters["idle_MB"] = idleMb;
    state.counters["peak_MB"] = statusMb("VmHWM");
    state.counters["end_MB"] = statusMb("VmRSS");
    state.counters["bytes_sent"] = static_cast<double>(scale.taken());
    form.ComPort1.Disconnect();
  }
}
BENCHMARK(BM_SendLinePastes)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

TERSO_QT_BENCHMARK_MAIN()
