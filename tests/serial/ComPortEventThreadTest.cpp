// The serial port's event thread on ptys: received bytes reach OnRxChar on
// the user-interface thread, batches run in their fixed order, closing
// discards the input that waits but never a line just written, a vanished
// device closes the port without spinning, and the three ways of handing
// events over.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ComPortTestSupport.h"
#include "platform/ManualEventLoop.h"
#include "serial/ComPort.h"
#include "serial/ComThread.h"
#include "support/Pty.h"
#include "support/Wine.h"

#ifdef _WIN32
// Last: its macros would clash with names in the headers above.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>
#endif

namespace {

using namespace serial;
using namespace std::chrono_literals;
using serial_test::EventLog;
using serial_test::kCloseEvents;
using testing_support::Pty;

#ifdef _WIN32
int threadCount() {
  int count = 0;
  const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return count;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == ::GetCurrentProcessId()) ++count;
  ::CloseHandle(snapshot);
  return count;
}

std::chrono::microseconds cpuTime() {
  FILETIME created, exited, kernel, user;
  ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto us = [](const FILETIME& t) {
    return std::chrono::microseconds(((std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime) / 10);
  };
  return us(kernel) + us(user);
}
#else
int threadCount() {
  int count = 0;
  if (DIR* dir = ::opendir("/proc/self/task")) {
    while (const dirent* entry = ::readdir(dir))
      if (entry->d_name[0] != '.') ++count;
    ::closedir(dir);
  }
  return count;
}

std::chrono::microseconds cpuTime() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  auto us = [](const timeval& t) {
    return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
  };
  return us(usage.ru_utime) + us(usage.ru_stime);
}
#endif

// Counts the hand-overs the event thread makes: the ones it waits for, and
// the posted ones (received bytes, which do not wait).
class CountingLoop : public platform::ManualEventLoop {
 public:
  void invokeAndWait(std::function<void()> call) override {
    ++handOvers;
    ManualEventLoop::invokeAndWait(std::move(call));
  }
  void post(std::function<void()> message) override {
    ++posts;
    ManualEventLoop::post(std::move(message));
  }
  std::atomic<int> handOvers{0};
  std::atomic<int> posts{0};
};

// Records the dispatch steps and the notices of smWindowSync.
class RecordingPort : public TComPort {
 public:
  using TComPort::TComPort;
  using TCustomComPort::DeliverEvents;

  void DispatchEvent(TComEvent event) override {
    dispatched.push_back(event);
    TComPort::DispatchEvent(event);
  }

  std::shared_ptr<platform::MessageTarget> CreateNotificationWindow() override {
    auto recorder = std::make_shared<NoticeRecorder>();
    recorder->window = TComPort::CreateNotificationWindow();
    recorder->notices = &notices;
    return recorder;
  }

  struct Notices {
    std::mutex mutex;
    std::vector<std::intptr_t> codes;
    std::size_t size() {
      std::lock_guard lock(mutex);
      return codes.size();
    }
  };

  std::vector<TComEvent> dispatched;
  Notices notices;

 private:
  struct NoticeRecorder : platform::MessageTarget {
    void postMessage(unsigned message, std::intptr_t wParam, std::intptr_t lParam) override {
      {
        std::lock_guard lock(notices->mutex);
        if (message == UM_SERIAL_EVENT) notices->codes.push_back(wParam);
      }
      window->postMessage(message, wParam, lParam);
    }
    std::shared_ptr<platform::MessageTarget> window;
    Notices* notices = nullptr;
  };
};

class ComPortEventThread : public ::testing::Test {
 protected:
  ComPortEventThread() : port(loop) { port.setPort(pty.slavePath()); }

  // A reader like the main window's: takes Count bytes on each event.
  void readOnRxChar() {
    port.OnRxChar = [this](TCustomComPort& sender, int count) {
      counts.push_back(count);
      onLoopThread = onLoopThread && std::this_thread::get_id() == testThread;
      received += sender.ReadText(count);
    };
  }

  bool receivedAll(const std::string& expected) {
    return loop.runUntil([&] { return received == expected; }, 2s);
  }

  CountingLoop loop;
  Pty pty;
  EventLog log;
  RecordingPort port;
  std::thread::id testThread = std::this_thread::get_id();
  std::string received;
  std::vector<int> counts;
  bool onLoopThread = true;
};

TEST_F(ComPortEventThread, ReceivedBytesReachOnRxCharOnTheLoopThreadWithTheirCount) {
  readOnRxChar();
  port.Connect();
  const int whileOpen = threadCount();
  pty.send("12.5 kg\r\n");
  ASSERT_TRUE(receivedAll("12.5 kg\r\n"));
  pty.send("13.0 kg\r\n");
  ASSERT_TRUE(receivedAll("12.5 kg\r\n13.0 kg\r\n"));
  EXPECT_TRUE(onLoopThread);
  for (int count : counts) EXPECT_GT(count, 0);

  // Writes report the drained output queue.
  std::atomic<int> txEmpty{0};
  port.OnTxEmpty = [&](TCustomComPort&) { ++txEmpty; };
  port.WriteText("P\r\n");
  EXPECT_TRUE(loop.runUntil([&] { return txEmpty > 0; }, 2s));

  port.Disconnect();
  EXPECT_EQ(threadCount(), whileOpen - 1);
}

TEST_F(ComPortEventThread, ABatchRunsItsStepsInTheFixedOrderAndSkipsEmptyOnes) {
  int errors = 0;
  readOnRxChar();
  port.OnError = [&](TCustomComPort&, TComErrors) { ++errors; };
  port.setEvents({});
  port.Connect();

  // No bytes waiting and no line errors: the steps run, the handlers do not.
  port.DeliverEvents(kAllComEvents);
  EXPECT_EQ(port.dispatched, (std::vector<TComEvent>{evError, evRxChar, evTxEmpty, evBreak, evRing, evCTS,
                                                     evDSR, evRxFlag, evRLSD, evRx80Full}));
  EXPECT_TRUE(counts.empty());
  EXPECT_EQ(errors, 0);

  port.dispatched.clear();
  pty.send("abc");
  ASSERT_TRUE(loop.runUntil([&] { return port.BytesWaiting() == 3; }, 2s));
  port.DeliverEvents({evRxChar, evCTS, evError});
  EXPECT_EQ(port.dispatched, (std::vector<TComEvent>{evError, evRxChar, evCTS}));
  EXPECT_EQ(counts, std::vector<int>{3});
  EXPECT_EQ(received, "abc");
}

TEST_F(ComPortEventThread, UnreadBytesDoNotKeepTheThreadBusyAndAreDiscardedAtClose) {
  port.Connect();
  pty.send("no reader");
  // The one batch is handed over; with nobody reading, no other follows.
  ASSERT_TRUE(loop.runUntil([&] { return port.dispatched.size() == 1; }, 2s));
  const auto cpuBefore = cpuTime();
  loop.runUntil([] { return false; }, 300ms);
  EXPECT_LT(cpuTime() - cpuBefore, 50ms);
  EXPECT_EQ(port.dispatched, std::vector<TComEvent>{evRxChar});
  EXPECT_EQ(port.BytesWaiting(), 9);

  // More bytes arriving are news again; a reader then empties the queue.
  readOnRxChar();
  pty.send("!");
  ASSERT_TRUE(receivedAll("no reader!"));
  pty.send("next");
  ASSERT_TRUE(receivedAll("no reader!next"));

  // Closing discards what still waits: a new open finds an empty queue.
  port.OnRxChar = nullptr;
  pty.send("stale");
  ASSERT_TRUE(loop.runUntil([&] { return port.BytesWaiting() == 5; }, 2s));
  port.Disconnect();
  port.setEvents({});
  port.Connect();
  EXPECT_EQ(port.BytesWaiting(), 0);
}

TEST_F(ComPortEventThread, DisconnectServesAHandOverThatIsWaiting) {
  bool connectedInHandler = false;
  port.OnRxChar = [&](TCustomComPort& sender, int count) {
    connectedInHandler = sender.connected();
    received += sender.ReadText(count);
  };
  log.attach(port);
  port.Connect();
  log.take();
  pty.send("late");
  // The thread queues its hand-over until the loop thread serves it;
  // Disconnect does, so the handler runs inside it, port still open.
  const auto deadline = std::chrono::steady_clock::now() + 2s;
  while (loop.posts == 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  ASSERT_EQ(loop.posts, 1);
  port.Disconnect();
  EXPECT_EQ(received, "late");
  EXPECT_TRUE(connectedInHandler);
  EXPECT_EQ(log.take(), kCloseEvents);
  EXPECT_FALSE(port.connected());
}

TEST_F(ComPortEventThread, ASlowHandlerGetsWhatArrivedMeanwhileInOneEventInOrder) {
  // While the handler is busy the thread reads on: the next event offers
  // more than a pty holds at once (4 KiB), and no byte changes place.
  std::string sent;
  for (int i = 0; sent.size() < 300'000; ++i) sent += std::to_string(i) + ',';
  port.OnRxChar = [&](TCustomComPort& sender, int count) {
    counts.push_back(count);
    received += sender.ReadText(count);
    std::this_thread::sleep_for(2ms);
  };
  port.Connect();
  std::thread scale([&] { pty.send(sent); });
  const bool all = loop.runUntil([&] { return received.size() >= sent.size(); }, 10s);
  scale.join();
  ASSERT_TRUE(all);
  EXPECT_EQ(received, sent);
  EXPECT_GT(*std::max_element(counts.begin(), counts.end()), 16384);
}

TEST_F(ComPortEventThread, AReadForMoreThanWasAnnouncedTakesTheReadAheadFirstThenTheDevice) {
  // Reads wait for what they ask; the far end sends the rest only while the
  // handler is already reading, so the rest comes from the device itself.
  port.timeouts().setReadInterval(0);
  port.timeouts().setReadTotalConstant(3000);
  std::thread rest;
  port.OnRxChar = [&](TCustomComPort& sender, int) {
    if (!received.empty()) return;
    rest = std::thread([&] {
      std::this_thread::sleep_for(200ms);
      pty.send("DEF");
    });
    received = sender.ReadText(6);
  };
  port.Connect();
  pty.send("ABC");
  const bool read = loop.runUntil([&] { return !received.empty(); }, 5s);
  if (rest.joinable()) rest.join();
  ASSERT_TRUE(read);
  EXPECT_EQ(received, "ABCDEF");
}

TEST_F(ComPortEventThread, AHandlerMayCloseItsOwnPort) {
  // The thread waits for the handler that waits for the thread: the port
  // must close without waiting, and the thread end by itself.
  log.attach(port);
  port.OnRxChar = [](TCustomComPort& sender, int) { sender.Disconnect(); };
  port.Connect();
  const int whileOpen = threadCount();
  log.take();
  pty.send("bye");
  ASSERT_TRUE(loop.runUntil([&] { return !port.connected() && threadCount() == whileOpen - 1; }, 2s));
  EXPECT_EQ(log.take(), kCloseEvents);
  // The device went with the thread: it opens again.
  loop.processPending();
  port.OnRxChar = nullptr;
  EXPECT_NO_THROW(port.Connect());
}

TEST_F(ComPortEventThread, AFailingHandlerIsReportedAndTheThreadGoesOn) {
  std::vector<std::string> reports;
  loop.setErrorReport([&](const std::string& message) { reports.push_back(message); });
  bool fail = true;
  port.OnRxChar = [&](TCustomComPort& sender, int count) {
    received += sender.ReadText(count);
    if (fail) throw std::runtime_error("capture file is full");
  };
  port.Connect();
  pty.send("one");
  ASSERT_TRUE(loop.runUntil([&] { return !reports.empty(); }, 2s));
  EXPECT_EQ(reports, std::vector<std::string>{"capture file is full"});
  fail = false;
  pty.send("two");
  ASSERT_TRUE(receivedAll("onetwo"));
}

TEST_F(ComPortEventThread, WindowSyncSendsOneNoticePerEventAndDropsNoticesAfterClose) {
  readOnRxChar();
  port.setSyncMethod(smWindowSync);
  port.Connect();
  pty.send("abc");
  ASSERT_TRUE(receivedAll("abc"));
  {
    std::lock_guard lock(port.notices.mutex);
    ASSERT_FALSE(port.notices.codes.empty());
    for (std::intptr_t code : port.notices.codes) EXPECT_EQ(code, 0x0001);
  }
  EXPECT_TRUE(onLoopThread);
  EXPECT_EQ(loop.handOvers, 0);

  // After the reader emptied the queue the thread watches it again.
  pty.send("def");
  ASSERT_TRUE(receivedAll("abcdef"));

  // A notice still queued when the port closes is dropped.
  const std::size_t before = port.notices.size();
  pty.send("ghi");
  const auto deadline = std::chrono::steady_clock::now() + 2s;
  while (port.notices.size() == before && std::chrono::steady_clock::now() < deadline)
    std::this_thread::yield();
  ASSERT_GT(port.notices.size(), before);
  port.Disconnect();
  loop.processPending();
  EXPECT_EQ(received, "abcdef");
}

TEST_F(ComPortEventThread, WithSyncNoneHandlersRunOnTheEventThread) {
  std::mutex mutex;
  std::string got;
  std::thread::id handlerThread;
  port.setSyncMethod(smNone);
  port.OnRxChar = [&](TCustomComPort& sender, int count) {
    const std::string s = sender.ReadText(count);
    std::lock_guard lock(mutex);
    got += s;
    handlerThread = std::this_thread::get_id();
  };
  port.Connect();
  pty.send("x1");
  ASSERT_TRUE(loop.runUntil(
      [&] {
        std::lock_guard lock(mutex);
        return got == "x1";
      },
      2s));
  {
    std::lock_guard lock(mutex);
    EXPECT_NE(handlerThread, testThread);
  }
  EXPECT_EQ(loop.handOvers, 0);
}

TEST_F(ComPortEventThread, ALineWrittenRightBeforeACloseArrivesWholeAndTheCloseAlwaysEnds) {
  // A write wakes the thread (evTxEmpty), and the close right after it asks
  // the thread to stop: however the two meet, the thread must end, or the
  // close waits for ever. The meeting is a matter of timing, so it is tried
  // many times (a thread that missed its stop was caught here in most runs);
  // a watchdog turns a close that never ends into a failure.
  // The far end reads only after each close, as a slow device would: the
  // line must reach it whole (a pty's output queue always reads 0, so a close
  // that discarded output lost about one line in eight here).
  port.setEvents({evTxEmpty});
  std::atomic<int> closes{0};
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  std::thread watchdog([&] {
    std::unique_lock lock(mutex);
    int seen = -1;
    while (!finished.wait_for(lock, 10s, [&] { return done; })) {
      if (closes == seen) {
        std::fprintf(stderr, "close %d waited for the event thread for ten seconds\n", seen + 1);
        std::abort();
      }
      seen = closes;
    }
  });
  constexpr int kCycles = 2000;
  int linesLost = 0;
  for (int i = 0; i < kCycles; ++i) {
    port.Connect();
    // The thread settles in its wait; the stop then follows the wake by a
    // little more each time, sweeping the moments the thread may be at.
    std::this_thread::sleep_for(100us);
    port.WriteText("SI\r\n");
    const auto stopAt = std::chrono::steady_clock::now() + std::chrono::microseconds(i % 40);
    while (std::chrono::steady_clock::now() < stopAt) {
    }
    port.Disconnect();
    ++closes;
    if (pty.receive(50, 4) != "SI\r\n") ++linesLost;
  }
  {
    std::lock_guard lock(mutex);
    done = true;
  }
  finished.notify_one();
  watchdog.join();
  EXPECT_FALSE(port.connected());
  EXPECT_EQ(linesLost, 0) << "lines lost of " << kCycles;
}

TEST_F(ComPortEventThread, WithoutEventsNoThreadRuns) {
  readOnRxChar();
  port.setEvents({});
  const int before = threadCount();
  port.Connect();
  EXPECT_EQ(threadCount(), before);
  pty.send("abc");
  ASSERT_TRUE(loop.runUntil([&] { return port.BytesWaiting() == 3; }, 2s));
  loop.processPending();
  EXPECT_TRUE(counts.empty());
}

TEST_F(ComPortEventThread, AVanishedDeviceClosesThePortQuicklyAndLeavesNothingRunning) {
  if (testing_support::runningUnderWine()) GTEST_SKIP() << "a COM port under Wine does not vanish with its far end";
  readOnRxChar();
  log.attach(port);
  port.Connect();
  log.take();
  pty.send("kept\r\n");
  ASSERT_TRUE(receivedAll("kept\r\n"));
  const int whileOpen = threadCount();

  pty.closeMaster();  // the adapter is pulled
  EXPECT_TRUE(loop.runUntil([&] { return !port.connected(); }, 100ms));
  EXPECT_EQ(log.take(), kCloseEvents);
  EXPECT_EQ(received, "kept\r\n");
  EXPECT_EQ(threadCount(), whileOpen - 1);

  const auto cpuBefore = cpuTime();
  loop.runUntil([] { return false; }, 1s);
  EXPECT_LT(cpuTime() - cpuBefore, 50ms);
  EXPECT_FALSE(port.connected());
  EXPECT_TRUE(log.take().empty());
  // Closed like any closed port: a write raises, a close does nothing.
  EXPECT_THROW(port.WriteText("x"), EComPort);
  port.Disconnect();
  EXPECT_TRUE(log.take().empty());
}

TEST_F(ComPortEventThread, AVanishedDeviceClosesAnIdlePortWhateverTheSyncMethod) {
  if (testing_support::runningUnderWine()) GTEST_SKIP() << "a COM port under Wine does not vanish with its far end";
  for (TSyncMethod method : {smThreadSync, smWindowSync, smNone}) {
    Pty line;
    RecordingPort idle(loop);
    idle.setPort(line.slavePath());
    idle.setSyncMethod(method);
    int closed = 0;
    idle.OnAfterClose = [&](TCustomComPort&) { ++closed; };
    idle.Connect();
    line.closeMaster();
    EXPECT_TRUE(loop.runUntil([&] { return !idle.connected(); }, 100ms)) << "sync method " << method;
    EXPECT_EQ(closed, 1);
  }
}

}  // namespace
