#pragma once
// The serial port's event thread: one per open port. It sleeps waiting for
// the device and for a wake (a stop, a read, a write), turns readiness and driver changes into
// TComEvents and hands each batch to the port's dispatch steps as the port's
// SyncMethod says.
//
// How each event is detected on a terminal device:
//   evRxChar    the device is readable and bytes wait in the input queue
//   evRx80Full  the input queue reached 80 % of Buffer.InputSize
//   evTxEmpty   after a write, the output queue has drained (checked every
//               few milliseconds only while written bytes are still queued)
//   evCTS, evDSR, evRLSD, evRing   a light periodic check of the modem lines
//               (TIOCMGET); a device without modem lines (a pty) is never
//               checked, so nothing wakes the thread there
//   evError, evBreak   the same periodic check of the driver's error counts
//               (TIOCGICOUNT); a device without counters is never checked
//   evRxFlag    not reported: a terminal's input queue cannot be searched
//               without taking the bytes from their reader
// Received data is never polled for: the thread sleeps until bytes
// arrive. When a batch leaves bytes unread (no handler reads them), readiness
// would wake the thread again at once, so it stops watching for it and checks
// the queue count now and then instead, reporting evRxChar again when more
// bytes arrive and watching again once the queue is empty.
//
// With smThreadSync received bytes do not wait for the handlers: the thread
// reads what the device holds, up to a large chunk, as soon as it arrives and
// queues one hand-over of it; while that hand-over waits for a busy
// user-interface thread the thread goes on reading. The port's reads take
// these bytes first and its queue count includes them; the receive event
// announces only them, so its handler never reads the device itself. Other
// events wait for a queued hand-over of bytes, so events keep their order.
//
// A device that goes away (hang-up or error from poll, a failing query) ends
// the loop; the thread then calls onLost, which hands the close to the
// user-interface thread.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/EventLoop.h"
#include "platform/MessageTarget.h"
#include "platform/Poller.h"
#include "platform/SerialDevice.h"
#include "serial/ComTypes.h"

namespace serial {

class TCustomComPort;

// The notification window's message: first parameter the system code of one
// event (EventsToMask), second 0.
inline constexpr unsigned UM_SERIAL_EVENT = platform::kFirstUserMessage + 1;

// The system's event codes (EV_RXCHAR 0x0001 ... EV_RX80FULL 0x0400).
std::uint32_t EventsToMask(TComEvents events);
// Ignores every bit that is no event code.
TComEvents MaskToEvents(std::uint32_t mask);

// The order in which the events of one batch are dispatched.
inline constexpr TComEvent kDispatchOrder[] = {evError, evRxChar, evTxEmpty, evBreak, evRing,
                                               evCTS,   evDSR,    evRxFlag,  evRLSD,  evRx80Full};

class TComThread {
 public:
  // The events are taken now, before the thread runs; notices is the
  // notification window (smWindowSync only, else null).
  TComThread(TCustomComPort& port, platform::SerialDevice& device, TComEvents events,
             platform::MessageTarget* notices, std::function<void()> onLost);
  // Stops and joins; the port normally has done both (StopEventThread).
  ~TComThread();
  TComThread(const TComThread&) = delete;
  TComThread& operator=(const TComThread&) = delete;

  void Start();
  // Sets the stop event; the loop ends at its next wake-up.
  void RequestStop();
  // The body has left its loop and done its last work on the device.
  bool Ended() const { return ended_.load(); }
  void Join();
  bool IsCurrentThread() const { return std::this_thread::get_id() == id_.load(); }
  // A batch is being delivered (set around the port's dispatch, on the
  // thread that runs it).
  bool Delivering() const { return delivering_; }

  // For a port closed from inside one of this thread's deliveries, where
  // waiting for the thread would wait for itself: the thread is stopped,
  // keeps the device open until it has left its loop, and then has itself
  // joined and destroyed by a message to the user-interface thread. Call on
  // the thread that runs the delivery.
  static void Retire(std::unique_ptr<TComThread> thread, std::unique_ptr<platform::SerialDevice> device);

  // From the port (any thread): bytes were read, or queued for sending.
  void NoteRead();
  void NoteWrite();

  // From the port: bytes read ahead of the handlers, taken from the front.
  std::size_t ReadAheadSize() const;
  // The thread reads received bytes ahead of the handlers.
  bool ReadsAhead() const { return readAhead_; }
  std::size_t TakeReadAhead(char* buffer, std::size_t size);
  // Held by a reader that takes the read-ahead and then reads the device, so
  // that the thread reads nothing in between (bytes keep their order).
  std::unique_lock<std::mutex> HoldDeviceReads() { return std::unique_lock(deviceReads_); }
  // A hand-over of received bytes that is queued runs now (the port is
  // closing and serves it, as it serves one that waits).
  void DeliverQueuedReceive();

 private:
  void Execute();
  // false when the thread must end.
  bool Dispatch();
  // Waits (bounded) while the line takes the output; what is left queued.
  int DrainOutput();
  void SendEventNotices();
  // How long the next wait may sleep (-1: until something happens): only the
  // periodic checks that are due limit it.
  int WaitLimitMs() const;
  // Adds the events found on the device; false when it is gone.
  bool Sample(bool readable, TComEvents& found);
  bool SampleLines(TComEvents& found);
  // Reads what the device holds into the read-ahead and queues a hand-over.
  void ReadAhead();
  // Waits until no hand-over of received bytes is queued (or the stop).
  void AwaitQueuedReceive();

  // Shared with the queued hand-overs, which may outlive the thread.
  struct ReceiveAhead {
    mutable std::mutex mutex;
    std::string bytes;             // not yet taken by a reader
    std::string spare;             // an emptied buffer the next take swaps in
    bool queued = false;           // a hand-over is posted and has not ended
    bool running = false;          // ... and is running now
    bool arrived = false;          // bytes came since that hand-over began
    bool awaited = false;          // the thread waits for the hand-over to end
    TComThread* thread = nullptr;  // null once the thread is gone
    std::size_t size() const { return bytes.size(); }
  };
  static void RunReceive(const std::shared_ptr<ReceiveAhead>& ahead);
  void QueueReceive();

  TCustomComPort& port_;
  platform::SerialDevice& device_;
  platform::EventLoop& loop_;
  const TComEvents events_;
  platform::MessageTarget* const notices_;
  const std::function<void()> onLost_;
  const int rx80Level_;
  const bool readAhead_;
  const std::shared_ptr<ReceiveAhead> ahead_;
  std::mutex deviceReads_;

  platform::Poller poller_;                          // the thread sleeps here; any thread wakes it
  std::unique_ptr<platform::SerialDevice> adopted_;  // declared before thread_: outlives the join
  std::thread thread_;
  std::mutex retiredMutex_;
  std::shared_ptr<TComThread> retiredSelf_;
  std::atomic<bool> delivering_{false};
  std::atomic<std::thread::id> id_{};  // set by the thread itself, before anything can ask
  std::atomic<bool> stop_{false};
  std::atomic<bool> ended_{false};
  std::atomic<bool> waitingForRead_{false};
  std::atomic<bool> txPending_{false};
  std::atomic<std::uint64_t> reads_{0};

  // The thread's own state.
  TComEvents pending_;
  bool watchInput_ = true;
  int lastCount_ = 0;
  std::uint64_t lastReads_ = 0;
  bool above80_ = false;
  bool checkModemLines_ = false;
  bool checkCounters_ = false;
  platform::SerialModemLines lines_;
  platform::SerialLineCounters counters_;
};

// The hidden notification window of smWindowSync: takes UM_SERIAL_EVENT from
// the event thread (the sender goes on at once) and, later on the
// user-interface thread and only while the port is open, runs the dispatch
// step of that one event. Notices still queued when the window is destroyed
// are dropped.
class TComNotifyWindow : public platform::MessageTarget,
                         public std::enable_shared_from_this<TComNotifyWindow> {
 public:
  explicit TComNotifyWindow(TCustomComPort& port);
  void postMessage(unsigned message, std::intptr_t wParam, std::intptr_t lParam = 0) override;

 private:
  void Handle(unsigned message, std::intptr_t wParam);

  TCustomComPort& port_;
};

}  // namespace serial
