#include "serial/ComThread.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/EventLoopStopped.h"
#include "serial/ComPort.h"

namespace serial {

namespace {

// Light periodic checks, only while there is something to check: the modem
// lines and error counts of a device that has them, the output queue after a
// write, and the input queue while bytes stay unread.
constexpr int kLineCheckMs = 50;
constexpr int kTxCheckMs = 10;
constexpr int kUnreadCheckMs = 50;
// Bytes read ahead of the handlers: at most this many wait for a hand-over
// (the device's queue takes the rest), read in steps of kReadStep.
constexpr std::size_t kReadAheadLimit = std::size_t{256} << 10;
constexpr std::size_t kReadStep = std::size_t{64} << 10;

struct EventCode {
  TComEvent event;
  std::uint32_t code;
};

constexpr EventCode kEventCodes[] = {
    {evRxChar, 0x0001}, {evTxEmpty, 0x0004}, {evRxFlag, 0x0002}, {evRing, 0x0100}, {evBreak, 0x0040},
    {evCTS, 0x0008},    {evDSR, 0x0010},     {evError, 0x0080},  {evRLSD, 0x0020}, {evRx80Full, 0x0400},
};

constexpr TComEvents kModemLineEvents{evCTS, evDSR, evRLSD, evRing};
constexpr TComEvents kCounterEvents{evError, evBreak};

bool anyOf(TComEvents events, TComEvents of) {
  return !(events & of).empty();
}

}  // namespace

std::uint32_t EventsToMask(TComEvents events) {
  std::uint32_t mask = 0;
  for (const EventCode& e : kEventCodes)
    if (events.contains(e.event)) mask |= e.code;
  return mask;
}

TComEvents MaskToEvents(std::uint32_t mask) {
  TComEvents events;
  for (const EventCode& e : kEventCodes)
    if (mask & e.code) events.insert(e.event);
  return events;
}

// --- The event thread ----------------------------------------------------------

TComThread::TComThread(TCustomComPort& port, platform::SerialDevice& device, TComEvents events,
                       platform::MessageTarget* notices, std::function<void()> onLost)
    : port_(port),
      device_(device),
      loop_(port.eventLoop()),
      events_(events),
      notices_(notices),
      onLost_(std::move(onLost)),
      rx80Level_(port.buffer().inputSize() > 0 ? port.buffer().inputSize() * 4 / 5 : 1),
      readAhead_(events.contains(evRxChar) && port.syncMethod() == smThreadSync),
      ahead_(std::make_shared<ReceiveAhead>()) {
  ahead_->thread = this;
}

TComThread::~TComThread() {
  if (thread_.joinable()) {
    RequestStop();
    thread_.join();
  }
  std::lock_guard lock(ahead_->mutex);
  ahead_->thread = nullptr;
}

void TComThread::Start() {
  thread_ = std::thread([this] { Execute(); });
}

void TComThread::RequestStop() {
  stop_ = true;
  poller_.wake();
}

void TComThread::Join() {
  if (thread_.joinable()) thread_.join();
}

void TComThread::Retire(std::unique_ptr<TComThread> thread, std::unique_ptr<platform::SerialDevice> device) {
  TComThread& t = *thread;
  t.adopted_ = std::move(device);
  t.RequestStop();
  // The thread is inside the delivery that called us, so it cannot have
  // ended yet; it posts its own join when it does.
  std::lock_guard lock(t.retiredMutex_);
  t.retiredSelf_ = std::shared_ptr<TComThread>(std::move(thread));
}

void TComThread::NoteRead() {
  ++reads_;
  if (waitingForRead_) poller_.wake();
}

void TComThread::NoteWrite() {
  if (!events_.contains(evTxEmpty)) return;
  txPending_ = true;
  poller_.wake();
}

std::size_t TComThread::ReadAheadSize() const {
  std::lock_guard lock(ahead_->mutex);
  return ahead_->size();
}

std::size_t TComThread::TakeReadAhead(char* buffer, std::size_t size) {
  ReceiveAhead& a = *ahead_;
  // The bytes change hands and are copied without the lock, so the thread
  // goes on reading meanwhile, into the spare buffer.
  std::string taken;
  bool wasFull = false;
  {
    std::lock_guard lock(a.mutex);
    wasFull = a.bytes.size() >= kReadAheadLimit;
    taken.swap(a.bytes);
    a.bytes.swap(a.spare);
  }
  const std::size_t n = std::min(size, taken.size());
  std::memcpy(buffer, taken.data(), n);
  {
    std::lock_guard lock(a.mutex);
    // What the reader did not ask for stays first, before what came since.
    if (n < taken.size()) a.bytes.insert(0, taken, n, std::string::npos);
    taken.clear();
    if (taken.capacity() > a.spare.capacity()) a.spare.swap(taken);
  }
  // A full read-ahead is not watched for: reading makes room.
  if (wasFull && n > 0) poller_.wake();
  return n;
}

void TComThread::ReadAhead() {
  char step[kReadStep];
  bool added = false;
  try {
    for (;;) {
      const std::size_t room = kReadAheadLimit - ReadAheadSize();
      if (room == 0) break;
      std::lock_guard reads(deviceReads_);
      const std::size_t n = device_.readSome(step, std::min(room, kReadStep));
      if (n == 0) break;
      std::lock_guard lock(ahead_->mutex);
      ahead_->bytes.append(step, n);
      ahead_->arrived = true;
      added = true;
    }
  } catch (const platform::SerialDeviceError&) {
    // Bytes read before a read failed still go to the reader.
    if (added) QueueReceive();
    throw;
  }
  if (added) QueueReceive();
}

void TComThread::QueueReceive() {
  {
    std::lock_guard lock(ahead_->mutex);
    if (ahead_->queued) return;
    ahead_->queued = true;
  }
  loop_.post([ahead = std::weak_ptr<ReceiveAhead>(ahead_)] {
    if (auto a = ahead.lock()) RunReceive(a);
  });
}

void TComThread::RunReceive(const std::shared_ptr<ReceiveAhead>& ahead) {
  TCustomComPort* port = nullptr;
  {
    std::lock_guard lock(ahead->mutex);
    if (!ahead->thread || !ahead->queued || ahead->running) return;
    port = &ahead->thread->port_;
    ahead->running = true;
    ahead->arrived = false;
  }
  std::string failure;
  try {
    if (port->connected()) port->DispatchEvent(evRxChar);
  } catch (const std::exception& e) {
    failure = e.what();
  } catch (...) {
    failure = "Unknown error";
  }
  bool again = false;
  {
    std::lock_guard lock(ahead->mutex);
    ahead->running = false;
    TComThread* thread = ahead->thread;
    // Bytes that came meanwhile are news: another hand-over follows, after
    // whatever the loop has queued since.
    again = thread && ahead->arrived && ahead->size() > 0;
    ahead->queued = again;
    if (thread) {
      if (!failure.empty())
        thread->loop_.post([loop = &thread->loop_, failure] { loop->reportError(failure); });
      if (again)
        thread->loop_.post([weak = std::weak_ptr<ReceiveAhead>(ahead)] {
          if (auto a = weak.lock()) RunReceive(a);
        });
      else if (ahead->awaited)
        thread->poller_.wake();
    }
  }
}

void TComThread::DeliverQueuedReceive() {
  if (readAhead_) RunReceive(ahead_);
}

void TComThread::AwaitQueuedReceive() {
  // A wake taken here was meant for the thread's own wait (a stop, a read
  // that made room): it is given back on the way out, or a stop asked for
  // meanwhile would leave the thread waiting for ever.
  bool woken = false;
  for (;;) {
    {
      std::lock_guard lock(ahead_->mutex);
      ahead_->awaited = ahead_->queued;
      if (!ahead_->queued) break;
    }
    if (stop_) break;
    poller_.wait({}, 20);
    woken = woken || poller_.woken();
  }
  {
    std::lock_guard lock(ahead_->mutex);
    ahead_->awaited = false;
  }
  if (woken) poller_.wake();
}

// Waits while the output queue keeps going down; gives up once it has not
// moved for half a second (output held up by flow control or a dead line).
// Returns what is still queued then.
int TComThread::DrainOutput() {
  constexpr int kStallMs = 500;
  constexpr int kStepMs = 10;
  int left = device_.outputQueueCount();
  int still = 0;
  while (left > 0 && still < kStallMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kStepMs));
    const int now = device_.outputQueueCount();
    still = now < left ? 0 : still + kStepMs;
    left = now;
  }
  return left;
}

void TComThread::Execute() {
  id_ = std::this_thread::get_id();
  bool lost = false;
  try {
    watchInput_ = events_.contains(evRxChar);
    if (anyOf(events_, kModemLineEvents)) checkModemLines_ = device_.hasModemLines();
    if (checkModemLines_) lines_ = device_.modemLines();
    if (anyOf(events_, kCounterEvents)) checkCounters_ = device_.lineCounters(counters_);

    bool recheck = false;
    for (;;) {
      platform::PollWatch device{.handle = device_.inputWaitHandle()};
      if (recheck) {
        // Right after a dispatch of received bytes: no waiting, the queue is
        // compared with what the batch saw.
        recheck = false;
        if (stop_) break;
      } else {
        // Hang-up and errors are reported whatever is asked for.
        device.read = readAhead_ ? ReadAheadSize() < kReadAheadLimit : watchInput_;
        const auto result = poller_.wait(std::span(&device, 1), WaitLimitMs());
        if (result == platform::Poller::Result::Interrupted) continue;
        if (result == platform::Poller::Result::Failed) {
          lost = true;  // a failed wait ends the loop
          break;
        }
        // The wait takes the wakes before the stop is looked at: a stop asked
        // for meanwhile set its flag before its wake, so it is seen now, and a
        // later one leaves its wake for the next wait.
        if (stop_) break;
      }

      if (device.hangUp || device.invalid) {
        // Whatever the driver still holds goes to the reader first (read
        // ahead, as the receive event announces only what was).
        int count = 0;
        try {
          if (readAhead_) ReadAhead();
        } catch (const platform::SerialDeviceError&) {
        }
        try {
          count = device_.inputQueueCount() + static_cast<int>(ReadAheadSize());
        } catch (const platform::SerialDeviceError&) {
        }
        pending_ = count > 0 ? TComEvents{evRxChar} & events_ : TComEvents{};
        if (!pending_.empty()) Dispatch();
        lost = true;
        break;
      }

      if (readAhead_ && device.ready) ReadAhead();
      pending_ = {};
      if (!Sample(device.ready, pending_)) {
        lost = true;
        break;
      }
      pending_ = pending_ & events_;
      if (pending_.empty()) continue;
      if (!Dispatch()) break;
      if (pending_.contains(evRxChar)) {
        // Readiness stays on while bytes wait, so it is not watched until
        // the queue is seen empty. A reader that took bytes, or bytes that
        // arrived meanwhile, give another event at once; a handler that
        // reads nothing gives none until more bytes arrive. Set first: a
        // read from now on wakes the thread.
        waitingForRead_ = true;
        watchInput_ = false;
        recheck = true;
      }
    }
  } catch (const platform::SerialDeviceError&) {
    lost = true;  // a query failed: the device is gone
  }

  // As the thread leaves: unread input is discarded, but bytes already handed
  // to the driver still go out (they were written and reported sent). A pty
  // reports an empty output queue while the far end has not read yet, and
  // discarding output there throws those bytes away: output is discarded only
  // when the line has stopped taking it (held up by flow control, a dead
  // line), since the driver's own close would wait for it for up to half a
  // minute. A device that is gone may refuse; nothing to do then.
  try {
    const int stuck = lost ? device_.outputQueueCount() : DrainOutput();
    device_.purge(true, stuck > 0);
  } catch (const platform::SerialDeviceError&) {
  }
  const bool stopped = stop_;
  std::shared_ptr<TComThread> retired;
  {
    std::lock_guard lock(retiredMutex_);
    retired = std::move(retiredSelf_);
  }
  ended_ = true;
  if (lost && !stopped && onLost_) onLost_();
  if (retired) {
    // Nobody waits for a retired thread: it is joined (at once, it has
    // ended) and destroyed, its device closed, by the user-interface thread.
    loop_.post([retired] { retired->Join(); });
    return;
  }
  loop_.wake();
}

int TComThread::WaitLimitMs() const {
  int limitMs = -1;
  auto within = [&limitMs](int ms) {
    if (limitMs < 0 || ms < limitMs) limitMs = ms;
  };
  if (!watchInput_ && events_.contains(evRxChar)) within(kUnreadCheckMs);
  if (txPending_) within(kTxCheckMs);
  if (checkModemLines_ || checkCounters_) within(kLineCheckMs);
  if (events_.contains(evRx80Full) && !events_.contains(evRxChar)) within(kLineCheckMs);
  return limitMs;
}

bool TComThread::Sample(bool readable, TComEvents& found) {
  if ((events_.contains(evRxChar) && !readAhead_) || events_.contains(evRx80Full)) {
    // The driver's queue: bytes read ahead have left it (a flood that the
    // thread keeps up with fills it no more).
    const int count = device_.inputQueueCount();
    // Taken after the count: a read in between looks like news, which costs
    // one event with the true count, never a lost one.
    const std::uint64_t reads = reads_;
    if (events_.contains(evRxChar) && !readAhead_) {
      if (watchInput_) {
        if (readable && count > 0) found.insert(evRxChar);
      } else if (count == 0) {
        watchInput_ = true;
        waitingForRead_ = false;
      } else if (count > lastCount_ || reads != lastReads_) {
        // More bytes arrived while earlier ones stayed unread, or a reader
        // took some and what waits now may have come since.
        found.insert(evRxChar);
      }
      lastCount_ = count;
      lastReads_ = reads;
    }
    const bool above = count >= rx80Level_;
    if (above && !above80_) found.insert(evRx80Full);
    above80_ = above;
  }
  if (txPending_ && device_.outputQueueCount() == 0) {
    txPending_ = false;
    found.insert(evTxEmpty);
  }
  return SampleLines(found);
}

bool TComThread::SampleLines(TComEvents& found) {
  if (checkModemLines_) {
    const platform::SerialModemLines now = device_.modemLines();
    if (now.cts != lines_.cts) found.insert(evCTS);
    if (now.dsr != lines_.dsr) found.insert(evDSR);
    if (now.rlsd != lines_.rlsd) found.insert(evRLSD);
    if (now.ring && !lines_.ring) found.insert(evRing);
    lines_ = now;
  }
  if (checkCounters_) {
    platform::SerialLineCounters now;
    if (!device_.lineCounters(now)) return false;
    if (now.breaks != counters_.breaks) found.insert(evBreak);
    if (now.frame != counters_.frame || now.parity != counters_.parity || now.overrun != counters_.overrun ||
        now.bufferOverrun != counters_.bufferOverrun)
      found.insert(evError);
    counters_ = now;
  }
  return true;
}

bool TComThread::Dispatch() {
  const TComEvents batch = pending_;
  // An exception from the dispatch (a handler, a failed query) goes to the
  // general error report and the thread goes on: a port that silently stops
  // receiving would lose the operator's data without a word.
  std::string failure;
  auto deliver = [&] {
    delivering_ = true;
    try {
      port_.DeliverEvents(batch);
    } catch (const std::exception& e) {
      failure = e.what();
    } catch (...) {
      // A handler may throw anything; the thread must go on regardless.
      failure = "Unknown error";
    }
    delivering_ = false;
  };
  switch (port_.syncMethod()) {
    case smWindowSync:
      SendEventNotices();
      return true;
    case smNone:
      deliver();
      break;
    case smThreadSync:
    default:
      AwaitQueuedReceive();
      try {
        loop_.invokeAndWait(deliver);
      } catch (const platform::EventLoopStopped&) {
        return false;  // nobody is left to deliver to
      }
      break;
  }
  if (!failure.empty()) {
    platform::EventLoop* loop = &loop_;
    loop_.post([loop, failure] { loop->reportError(failure); });
  }
  return true;
}

void TComThread::SendEventNotices() {
  if (!notices_) return;
  for (TComEvent event : kDispatchOrder)
    if (pending_.contains(event)) notices_->postMessage(UM_SERIAL_EVENT, EventsToMask(TComEvents{event}), 0);
}

// --- The notification window -------------------------------------------------------

TComNotifyWindow::TComNotifyWindow(TCustomComPort& port) : port_(port) {}

void TComNotifyWindow::postMessage(unsigned message, std::intptr_t wParam, std::intptr_t) {
  // The sender does not wait for the dispatch: the window answers at once.
  port_.eventLoop().post([window = weak_from_this(), message, wParam] {
    if (auto self = window.lock()) self->Handle(message, wParam);
  });
}

void TComNotifyWindow::Handle(unsigned message, std::intptr_t wParam) {
  if (message != UM_SERIAL_EVENT || !port_.connected()) return;
  for (const EventCode& e : kEventCodes)
    if (static_cast<std::uint32_t>(wParam) == e.code) port_.DispatchEvent(e.event);
}

}  // namespace serial
