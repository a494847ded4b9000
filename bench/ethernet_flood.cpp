// A device server flooding the Ethernet link: the real main window with its
// Qt view shown (both panes, offscreen platform) on Qt's loop, fed by a
// loopback server on another thread that sends numbered scale rows and then
// closes. Reports the bytes per second the terminal consumes and checks that
// the ASCII pane holds every byte, in order.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "QtBenchmarkMain.h"
#include "app/TForm1.h"
#include "platform/qt/QtEventLoop.h"
#include "ui/qt/FormWindow.h"
#include "ui/qt/QtDialogs.h"

namespace {

constexpr std::size_t kTotal = 64u * 1024 * 1024;

// Rows of 24 bytes with a running number, so a lost or repeated chunk shows.
std::string rows(std::size_t total) {
  std::string s;
  s.reserve(total + 32);
  char row[32];
  for (unsigned n = 0; s.size() < total; ++n) {
    std::snprintf(row, sizeof row, "S S %010u.5 g\r\n", n);
    s += row;
  }
  s.resize(total - total % 24);
  return s;
}

int loopbackListener(std::uint16_t& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 1) != 0)
    std::abort();
  socklen_t length = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
  port = ntohs(a.sin_port);
  return fd;
}

void BM_EthernetFloodBothPanes(benchmark::State& state) {
  const std::string stream = rows(kTotal);
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("terso-flood-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);

  for (auto _ : state) {
    state.PauseTiming();
    platform::QtEventLoop loop;
    ui::qt::QtDialogs dialogs;
    std::string errors;
    loop.setErrorReport([&](const std::string& m) { errors += m + "\n"; });
    auto form = std::make_unique<app::TForm1>(app::MainWindowServices{loop, dialogs, dir, [] {}});
    form->FormCreate();
    std::uint16_t port = 0;
    const int listener = loopbackListener(port);
    form->ConfigOptions.ConnectionKind = config::kEthernetConnection;
    form->ConfigOptions.Host = "127.0.0.1";
    form->ConfigOptions.Port = port;
    auto window = std::make_unique<ui::qt::FormWindow>(*form, loop);
    window->resize(1024, 768);
    window->show();
    QCoreApplication::processEvents();

    std::thread server([&] {
      const int peer = ::accept(listener, nullptr, nullptr);
      for (std::size_t sent = 0; sent < stream.size();) {
        const ssize_t n = ::send(peer, stream.data() + sent,
                                 std::min<std::size_t>(65536, stream.size() - sent), MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<std::size_t>(n);
      }
      ::close(peer);
    });
    form->btnOpenPort.click();
    while (form->LinkState != app::LinkOpen)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    state.ResumeTiming();

    // The server closes after the last byte; the close shows only after every
    // byte before it was read.
    const auto start = std::chrono::steady_clock::now();
    while (form->LinkState != app::LinkClosed)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    state.PauseTiming();
    server.join();
    ::close(listener);
    const bool intact = form->Memo1.text() == stream;
    state.counters["MB_per_s"] = static_cast<double>(stream.size()) / 1e6 / seconds;
    state.counters["bytes_lost"] =
        static_cast<double>(stream.size()) - static_cast<double>(form->Memo1.text().size());
    state.counters["intact"] = intact ? 1 : 0;
    state.counters["hex_rows"] = static_cast<double>(form->Memo2.lineCount());
    if (!intact || !errors.empty()) state.SkipWithError(("pane does not match the stream " + errors).c_str());
    window.reset();
    form.reset();
    state.ResumeTiming();
  }
  std::filesystem::remove_all(dir);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(stream.size()));
}

BENCHMARK(BM_EthernetFloodBothPanes)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

TERSO_QT_BENCHMARK_MAIN()
