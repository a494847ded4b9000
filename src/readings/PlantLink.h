#pragma once
// The plant link: forwards the journal's readings to an MQTT broker, store and
// forward. A thread of its own reads the readings not yet published, in
// journal order, and publishes them (QoS 1) with at most kWindow waiting for
// the broker's acknowledgement; each acknowledged reading is marked published
// in the journal. After a lost connection, a restart of the link or of the
// program, the link starts again from the oldest unpublished reading. So nothing is lost, the
// order holds, and a reading may arrive twice (consumers drop repeats by id).
// The thread sleeps while there is nothing to do: the journal wakes it.
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/EventLoop.h"
#include "readings/PlantLinkSettings.h"
#include "readings/StoredReading.h"

namespace readings {

enum class LinkState {
  Off,          // not started, or stopped
  Connecting,   // the first connect is under way
  Connected,    // publishing
  Refused,      // the broker refused the user, password or client id; retried slowly
  Unreachable,  // no broker answers (or the settings cannot work); retried
};

// The state as the operator reads it (Polish, Windows-1250).
std::string linkStateText(LinkState state);

class PlantLink {
 public:
  // Readings on the wire that the broker has not acknowledged yet, at most.
  static constexpr std::size_t kWindow = 64;
  // After a connection dropped, the pause before the next one begins (the
  // library then waits longer between attempts, up to 30 s); after a client
  // whose first connect failed (nothing listens, a name that does not
  // resolve, a failed TLS handshake), twice the pause before, up to 30 s.
  static constexpr std::chrono::milliseconds kPauseAfterDrop{1000};
  static constexpr std::chrono::milliseconds kLongestPause{30000};
  // The readings waiting are counted again at most this often.
  static constexpr std::chrono::milliseconds kCountEvery{500};
  // How long stop() waits for the link's thread to end. A thread that sits in
  // a name lookup, a connect or the goodbye on a dead connection longer than
  // that is let go: it only ends its own connection, and the program's exit
  // does not wait for the network.
  static constexpr std::chrono::milliseconds kStopWait{500};

  // The queue and the loop must outlive the link; a thread let go by stop()
  // no longer touches them.
  PlantLink(PublishQueue& queue, platform::EventLoop& loop);
  ~PlantLink();
  PlantLink(const PlantLink&) = delete;
  PlantLink& operator=(const PlantLink&) = delete;

  // Starts with these settings, or hands them to the link's thread, which
  // ends the connection it has (the status "offline" said) and begins anew;
  // returns at once: the connect, the name lookup and the goodbye run on the
  // link's thread. Settings that are not enabled put the link in state Off.
  void start(const PlantLinkSettings& settings);
  // Publishes the status "offline", disconnects and ends the link's thread,
  // waiting for it at most kStopWait (the program's exit). Readings not
  // acknowledged stay unpublished in the journal.
  void stop();

  // New readings are in the journal. Any thread; cheap.
  void wake();

  LinkState state() const;
  // linkStateText(state()), or the reason where one is known, and how many
  // readings wait for the broker.
  std::string stateText() const;

  // Called on the loop's thread after the state changed, with the state and
  // its text.
  std::function<void(LinkState, const std::string&)> onStateChanged;

 private:
  // What the link's thread works with, shared with it: a thread let go by
  // stop() keeps it after the link has gone.
  class Core;
  std::shared_ptr<Core> newCore(std::string shownText);

  PublishQueue& queue_;
  platform::EventLoop& loop_;
  // Cleared when the link is destroyed, so that a state change posted just
  // before does not reach it.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  // Replaced by stop(), on the loop's thread; wake() reads it from others.
  std::shared_ptr<Core> core_;
  std::mutex coreMutex_;
  std::thread thread_;
};

}  // namespace readings
