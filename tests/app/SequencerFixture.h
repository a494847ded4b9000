#pragma once
// The automatic measurement on the manual loop: the main window with its
// serial port mapped to a pty (the scale), the orders editor's grid as the
// order list, the notification window, and the Ethernet link replaced by a
// recorder. The scale records what reaches it with the virtual time.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/TForm1.h"
#include "automatic/DecimalNumbers.h"
#include "automatic/Sequencer.h"
#include "automatic/TForm2.h"
#include "automatic/TRemainingForm.h"
#include "platform/Cp1250.h"
#include "platform/ManualEventLoop.h"
#include "platform/Sound.h"
#include "platform/WholeNumbers.h"
#include "support/DeviceMap.h"
#include "support/ProgramValues.h"
#include "support/Pty.h"
#include "support/RecordingForm.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

namespace automatic_test {

using Row = std::vector<std::string>;

using SequencerForm = testing_support::RecordingForm;

// What reached the scale, and when (ms of virtual time since the loop began).
struct Received {
  long long atMs;
  std::string bytes;
  bool operator==(const Received&) const = default;
};

inline void PrintTo(const Received& r, std::ostream* os) {
  *os << "{" << r.atMs << ", \"" << r.bytes << "\"}";
}

// Messages that other threads post (the serial event thread's close of a
// port whose device went away) can be held back, so that a test may put a
// step of the run before them.
class HoldingLoop : public platform::ManualEventLoop {
 public:
  void post(std::function<void()> message) override {
    {
      std::lock_guard lock(mutex_);
      if (holding_ && std::this_thread::get_id() != owner_) {
        held_.push_back(std::move(message));
        return;
      }
    }
    ManualEventLoop::post(std::move(message));
  }
  void hold() {
    std::lock_guard lock(mutex_);
    holding_ = true;
  }
  std::size_t held() {
    std::lock_guard lock(mutex_);
    return held_.size();
  }
  void release() {
    std::vector<std::function<void()>> held;
    {
      std::lock_guard lock(mutex_);
      holding_ = false;
      held.swap(held_);
    }
    for (auto& message : held) ManualEventLoop::post(std::move(message));
  }

  // Runs after the pending work whenever the loop serves it (before and after
  // each tick); when it takes something in, the new work is served too.
  std::function<bool()> catchUp;
  bool processPending() override {
    bool ran = ManualEventLoop::processPending();
    if (!catchUp || !catchUp()) return ran;
    ManualEventLoop::processPending();
    return true;
  }

 private:
  std::mutex mutex_;
  bool holding_ = false;
  std::vector<std::function<void()>> held_;
  const std::thread::id owner_ = std::this_thread::get_id();
};

struct SequencerFixture : ::testing::Test {
  SequencerFixture() {
    testing_support::ResetProgramValues();
    platform::SetBeep([this] { ++beeps; });
    loop.setErrorReport([this](const std::string& message) { dialogs.showError(message); });
    // COM7 is the scale's line; COM8 names no device.
    testing_support::buildScaleWindows({loop, dialogs, dir.path(), [] {}}, scale.slavePath(), form, form2,
                                       remaining, {{"COM8", (dir / "no-such-device").string()}});
    remaining->BringToFront = [this] { ++broughtToFront; };
    // Each reading of the scale's end happens at the virtual time of the tick
    // that wrote it.
#ifdef _WIN32
    loop.catchUp = [this] { return catchUpWithScale(); };
#else
    scaleWatch = loop.watchFd(scale.master(), platform::FdEvent::Read, [this] { readScale(); });
#endif
  }
  ~SequencerFixture() override {
    loop.catchUp = nullptr;
    scaleWatch.reset();
    remaining.reset();
    form2.reset();
    form.reset();
    platform::SetBeep(nullptr);
  }

  // Puts orders into rows 1.. of the grid (replacing what it held).
  void fill(const std::vector<Row>& rows) {
    ui::StringGrid& grid = form2->StringGrid1;
    grid.setRowCount(2);
    grid.setRowCells(1, {});
    grid.setRowCount(static_cast<int>(rows.size()) + 1);
    for (std::size_t i = 0; i < rows.size(); ++i) grid.setRowCells(static_cast<int>(i) + 1, rows[i]);
  }

  long long nowMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(loop.now() -
                                                                 platform::ManualEventLoop::startTime())
        .count();
  }

  // Moves the virtual clock on to the given time since the loop began.
  void advanceTo(long long ms) { loop.advance(static_cast<int>(ms - nowMs())); }

  // The operator's menu command, through the loop's dispatch as in the view.
  void start() {
    loop.dispatch([this] { form->Automatyczny1.click(); });
  }

#ifdef _WIN32
  // The scale's end is a second COM port that a relay joins to the port's,
  // so a send arrives there a moment after the port wrote it: before the
  // clock moves on, the line of each serial send so far is waited for (in
  // real time, bounded), so that it is recorded at the time it was sent.
  bool catchUpWithScale() {
    if (form) {
      const std::int32_t sent = form->SentCount;
      const std::int32_t fresh = sent >= sendsSeen ? sent - sendsSeen : sent;
      sendsSeen = sent;
      if (form->ConfigOptions.ConnectionKind == config::kSerialConnection && form->ComPort1.connected())
        linesDue += fresh;
    }
    // A line may come in pieces: the scale takes it (and answers) whole.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    std::string bytes;
    do {
      // With no line due only what is there already is taken.
      const std::string more = scale.receive(linesDue > 0 ? 1 : 0);
      bytes += more;
      linesDue = std::max<std::int64_t>(0, linesDue - std::count(more.begin(), more.end(), '\n'));
    } while (linesDue > 0 && std::chrono::steady_clock::now() < deadline);
    record(bytes);
    return !bytes.empty();
  }
#else
  void readScale() {
    char buffer[4096];
    std::string bytes;
    for (;;) {
      const ssize_t n = ::read(scale.master(), buffer, sizeof buffer);
      if (n <= 0) break;
      bytes.append(buffer, static_cast<std::size_t>(n));
    }
    record(bytes);
  }
#endif

  void record(const std::string& bytes) {
    if (bytes.empty()) return;
    // Consecutive reads at the same moment belong to one send.
    if (!wire.empty() && wire.back().atMs == nowMs())
      wire.back().bytes += bytes;
    else
      wire.push_back({nowMs(), bytes});
    if (!answer.empty()) scale.send(answer);
  }

  // The sends the scale saw, texts only.
  std::vector<std::string> sentTexts() const {
    std::vector<std::string> texts;
    for (const Received& r : wire) texts.push_back(r.bytes);
    return texts;
  }

  std::string failureText(int order) const {
    return platform::pl("Niepoprawna wartość parametru rozkazu nr ") + std::to_string(order);
  }

  testing_support::Pty scale;
  testing_support::TempDir dir;
  HoldingLoop loop;
  testing_support::ScriptedDialogs dialogs;
  std::unique_ptr<SequencerForm> form;
  std::unique_ptr<automatic::TForm2> form2;
  std::unique_ptr<automatic::TRemainingForm> remaining;
  std::unique_ptr<platform::FdWatch> scaleWatch;
  std::vector<Received> wire;
#ifdef _WIN32
  std::int32_t sendsSeen = 0;
  std::int64_t linesDue = 0;
#endif
  // What the scale answers to every send; nothing when empty.
  std::string answer;
  int beeps = 0;
  int broughtToFront = 0;
};

}  // namespace automatic_test
