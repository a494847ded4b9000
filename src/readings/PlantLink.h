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
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

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

  // The queue and the loop must outlive the link.
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
  // waiting for it (the program's exit). Readings not acknowledged stay
  // unpublished in the journal.
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
  enum class SessionEnd { Stopped, Dropped, Failed };
  void run();
  // One client, from its first connect attempt until the link stops or gets
  // new settings, a connection that carried readings drops, or the client
  // gives up.
  SessionEnd session(const PlantLinkSettings& settings);
  // Under mutex_: the link's thread has to stop what it does.
  bool interrupted() const { return stopping_ || restart_; }
  void setState(LinkState state, std::string detail = {});
  void setWaiting(std::int64_t waiting);
  void tellState();

  PublishQueue& queue_;
  platform::EventLoop& loop_;
  // Cleared when the link is destroyed, so that a state change posted just
  // before does not reach it.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  // All below under mutex_.
  bool stopping_ = false;
  bool restart_ = false;  // next_ holds settings for the link's thread
  PlantLinkSettings next_;
  bool pending_ = false;   // something to do: new readings, acknowledgements, a connect
  bool announce_ = false;  // connected: publish the status "online"
  LinkState state_ = LinkState::Off;
  std::string detail_;        // the reason, when linkStateText(state_) does not say it
  std::int64_t waiting_ = 0;  // readings not yet acknowledged, as last counted
  std::string stateText_;
  std::map<int, std::int64_t> inFlight_;  // message id -> reading id
  std::vector<std::int64_t> acknowledged_;
  std::int64_t lastSent_ = 0;

  std::thread thread_;
};

}  // namespace readings
