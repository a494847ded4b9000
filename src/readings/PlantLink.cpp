#include "readings/PlantLink.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "platform/Cp1250.h"
#include "platform/Gate.h"
#include "platform/MqttClient.h"
#include "readings/PlantMessage.h"

namespace readings {

using platform::pl;

std::string linkStateText(LinkState state) {
  switch (state) {
    case LinkState::Off:
      return pl("Wysyłanie do brokera MQTT wyłączone");
    case LinkState::Connecting:
      return pl("Łączenie z brokerem MQTT...");
    case LinkState::Connected:
      return pl("Połączono z brokerem MQTT");
    case LinkState::Refused:
      return pl("Broker MQTT odrzucił połączenie: sprawdź użytkownika, hasło i nazwę stanowiska");
    case LinkState::Unreachable:
      break;
  }
  return pl("Brak połączenia z brokerem MQTT, ponawiam");
}

namespace {

// "; 5 odczytów czeka na wysłanie", with the Polish plural; nothing for none.
std::string waitingText(std::int64_t n) {
  if (n <= 0) return {};
  const std::int64_t tens = n % 100;
  const std::int64_t ones = n % 10;
  const char* words = n == 1                                               ? " odczyt czeka"
                      : ones >= 2 && ones <= 4 && (tens < 12 || tens > 14) ? " odczyty czekają"
                                                                           : " odczytów czeka";
  return "; " + std::to_string(n) + pl(words) + pl(" na wysłanie");
}

}  // namespace

class PlantLink::Core {
 public:
  Core(PublishQueue& queue, platform::EventLoop& loop, PlantLink& link, std::shared_ptr<bool> alive,
       std::string shownText)
      : queue_(queue), loop_(loop), link_(link), alive_(std::move(alive)), stateText_(std::move(shownText)) {}

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
  PlantLink& link_;
  std::shared_ptr<bool> alive_;
  // Every call into the queue, and every post to the loop, passes its gate:
  // once stop() has let the thread go, neither is touched again (both may be
  // gone). Two gates, so that a state change waits for no journal read.
  platform::Gate queueGate_;
  platform::Gate loopGate_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  // All below under mutex_.
  bool stopping_ = false;
  bool finished_ = false;  // run() has returned
  bool restart_ = false;   // next_ holds settings for the link's thread
  PlantLinkSettings next_;
  bool pending_ = false;   // something to do: new readings, acknowledgements, a connect
  bool announce_ = false;  // connected: publish the status "online"
  LinkState state_ = LinkState::Off;
  std::string detail_;                    // the reason, when linkStateText(state_) does not say it
  std::int64_t waiting_ = 0;              // readings not yet acknowledged, as last counted
  std::string stateText_;                 // as last told to the window
  std::map<int, std::int64_t> inFlight_;  // message id -> reading id
  std::vector<std::int64_t> acknowledged_;
  std::int64_t lastSent_ = 0;
};

PlantLink::PlantLink(PublishQueue& queue, platform::EventLoop& loop)
    : queue_(queue), loop_(loop), core_(newCore(linkStateText(LinkState::Off))) {}

PlantLink::~PlantLink() {
  stop();
  *alive_ = false;
}

std::shared_ptr<PlantLink::Core> PlantLink::newCore(std::string shownText) {
  return std::make_shared<Core>(queue_, loop_, *this, alive_, std::move(shownText));
}

void PlantLink::start(const PlantLinkSettings& settings) {
  std::lock_guard lock(core_->mutex_);
  core_->next_ = settings;
  core_->restart_ = true;
  if (thread_.joinable()) {
    core_->changed_.notify_all();
    return;
  }
  if (!settings.enabled) {
    core_->restart_ = false;
    return;
  }
  core_->setState(LinkState::Connecting);
  thread_ = std::thread([core = core_] {
    core->run();
    std::lock_guard lock(core->mutex_);
    core->finished_ = true;
    core->changed_.notify_all();
  });
}

void PlantLink::stop() {
  if (!thread_.joinable()) return;
  std::unique_lock lock(core_->mutex_);
  core_->stopping_ = true;
  core_->changed_.notify_all();
  const bool ended = core_->changed_.wait_for(lock, kStopWait, [this] { return core_->finished_; });
  std::string shown = core_->stateText_;
  lock.unlock();
  if (ended) {
    thread_.join();
  } else {
    // The thread ends its connection on its own, later, and touches nothing
    // of the link's after this.
    core_->queueGate_.close();
    core_->loopGate_.close();
    thread_.detach();
  }
  // The next start begins afresh.
  {
    std::lock_guard swap(coreMutex_);
    core_ = newCore(std::move(shown));
  }
  std::lock_guard fresh(core_->mutex_);
  core_->setState(LinkState::Off);
}

void PlantLink::wake() {
  // Also from the journal's thread, while stop() may be replacing the core.
  std::lock_guard swap(coreMutex_);
  std::lock_guard lock(core_->mutex_);
  core_->pending_ = true;
  core_->changed_.notify_all();
}

LinkState PlantLink::state() const {
  std::lock_guard lock(core_->mutex_);
  return core_->state_;
}

std::string PlantLink::stateText() const {
  std::lock_guard lock(core_->mutex_);
  return core_->stateText_;
}

// Under mutex_.
void PlantLink::Core::setState(LinkState state, std::string detail) {
  state_ = state;
  detail_ = std::move(detail);
  tellState();
}

// Under mutex_.
void PlantLink::Core::setWaiting(std::int64_t waiting) {
  waiting_ = waiting;
  tellState();
}

// Under mutex_: the window hears of a changed text through the loop.
void PlantLink::Core::tellState() {
  std::string text = detail_.empty() ? linkStateText(state_) : detail_;
  if (state_ != LinkState::Off) text += waitingText(waiting_);
  if (text == stateText_) return;
  stateText_ = text;
  loopGate_.pass([&] {
    loop_.post([&link = link_, alive = alive_, state = state_, text = std::move(text)] {
      if (*alive && link.onStateChanged) link.onStateChanged(state, text);
    });
  });
}

void PlantLink::Core::run() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    const PlantLinkSettings settings = next_;
    restart_ = false;
    if (!settings.enabled) {
      setState(LinkState::Off);
      changed_.wait(lock, [this] { return interrupted(); });
      continue;
    }
    setState(LinkState::Connecting);
    std::chrono::milliseconds pause = kPauseAfterDrop;
    while (!interrupted()) {
      announce_ = false;
      lock.unlock();
      const SessionEnd end = session(settings);
      lock.lock();
      // A connection that carried readings ended. The library would send
      // what it still holds after its next connect, but not in journal order
      // with what follows; so the next connection starts afresh from the
      // oldest reading not acknowledged.
      inFlight_.clear();
      lastSent_ = 0;
      if (end == SessionEnd::Stopped) break;
      pause = end == SessionEnd::Dropped ? kPauseAfterDrop : std::min(pause * 2, kLongestPause);
      changed_.wait_for(lock, pause, [this] { return interrupted(); });
    }
  }
}

PlantLink::Core::SessionEnd PlantLink::Core::session(const PlantLinkSettings& settings) {
  const std::string station = platform::cp1250ToUtf8(settings.station);
  const std::string readingsAt = readingsTopic(settings);
  const std::string statusAt = statusTopic(settings);
  bool dropped = false;
  bool failed = false;

  // The client's callbacks run on its network thread.
  platform::MqttClient client({
      .connected =
          [this](int code) {
            std::lock_guard lock(mutex_);
            if (code == 0) {
              setState(LinkState::Connected);
              announce_ = pending_ = true;
              changed_.notify_all();
            } else {
              setState(LinkState::Refused);
            }
          },
      .disconnected =
          [this, &dropped](bool clean) {
            std::lock_guard lock(mutex_);
            if (clean) return;
            // A broker that refused is tried again by the library, slower
            // each time; the refusal stays the news until a connect
            // succeeds.
            if (state_ == LinkState::Connected) {
              dropped = pending_ = true;
              changed_.notify_all();
            }
            if (state_ != LinkState::Refused) setState(LinkState::Unreachable);
          },
      .acknowledged =
          [this](int messageId) {
            std::lock_guard lock(mutex_);
            const auto found = inFlight_.find(messageId);
            if (found == inFlight_.end()) return;  // the status
            acknowledged_.push_back(found->second);
            inFlight_.erase(found);
            pending_ = true;
            changed_.notify_all();
          },
      .tlsFailed =
          [this, &failed] {
            std::lock_guard lock(mutex_);
            failed = pending_ = true;
            changed_.notify_all();
            setState(LinkState::Unreachable,
                     pl("Nie udało się nawiązać połączenia TLS z brokerem MQTT: sprawdź plik certyfikatu CA "
                        "i adres brokera; ponawiam"));
          },
  });

  platform::MqttOptions options;
  options.host = platform::cp1250ToUtf8(settings.host);
  options.port = settings.port;
  // One connection per station: a second program with the same station
  // name takes the connection over, which the broker shows.
  options.clientId = "terso-" + station;
  options.user = platform::cp1250ToUtf8(settings.user);
  options.password = platform::cp1250ToUtf8(settings.password);
  options.tls = settings.tls;
  options.caFile = platform::cp1250ToUtf8(settings.caFile);
  options.willTopic = statusAt;
  options.willPayload = "offline";
  // The window of readings and the status beside it.
  options.maxInflight = static_cast<int>(kWindow) + 1;

  // The readings waiting are counted before the connect, and again after
  // work, at most every kCountEvery however busy the link is.
  using Clock = std::chrono::steady_clock;
  std::int64_t waitingAtStart = 0;
  queueGate_.pass([&] { waitingAtStart = queue_.unpublishedCount(); });
  Clock::time_point counted = Clock::now();
  bool countOwed = false;
  std::unique_lock lock(mutex_);
  setWaiting(waitingAtStart);
  lock.unlock();

  const std::optional<std::string> refused = client.start(options);
  lock.lock();
  if (refused) {
    // Settings that cannot work wait for new ones.
    setState(LinkState::Unreachable, *refused);
    changed_.wait(lock, [this] { return interrupted(); });
    return SessionEnd::Stopped;
  }
  // Nothing listens, or the name does not resolve: a new client later.
  if (client.gaveUp()) return interrupted() ? SessionEnd::Stopped : SessionEnd::Failed;

  while (true) {
    const auto ready = [this] { return interrupted() || pending_; };
    if (countOwed)
      changed_.wait_until(lock, counted + kCountEvery, ready);
    else
      changed_.wait(lock, ready);
    if (interrupted() || dropped || failed) break;
    const bool work = std::exchange(pending_, false);
    countOwed = countOwed || work;
    if (std::exchange(announce_, false)) client.publish(statusAt, "online", true);
    std::vector<std::int64_t> done = std::exchange(acknowledged_, {});
    const std::size_t room = state_ == LinkState::Connected ? kWindow - inFlight_.size() : 0;
    const std::int64_t after = lastSent_;
    lock.unlock();

    // The journal may take its time: not under the link's lock.
    std::vector<StoredReading> batch;
    std::optional<std::int64_t> waiting;
    queueGate_.pass([&] {
      if (!done.empty()) queue_.markPublished(done);
      if (work && room > 0) batch = queue_.unpublishedAfter(after, room);
      if (countOwed && Clock::now() >= counted + kCountEvery) {
        waiting = queue_.unpublishedCount();
        counted = Clock::now();
        countOwed = false;
      }
    });
    std::vector<std::string> payloads;
    payloads.reserve(batch.size());
    for (const StoredReading& reading : batch) payloads.push_back(readingJson(reading, station));

    lock.lock();
    if (waiting) setWaiting(*waiting);
    // Under the lock, so that an acknowledgement cannot come before its
    // message id is known.
    for (std::size_t i = 0; i < batch.size(); ++i) {
      // A message the library refuses (it cannot: the payload is small and
      // the topic checked) waits for the next connection.
      if (const std::optional<int> messageId = client.publish(readingsAt, payloads[i], false))
        inFlight_[*messageId] = batch[i].id;
      lastSent_ = batch[i].id;
    }
    // A full batch: more may wait.
    if (room > 0 && batch.size() == room) pending_ = true;
  }

  const bool online = state_ == LinkState::Connected;
  lock.unlock();
  // A clean disconnect drops the will, so the status is said here.
  if (online) client.publish(statusAt, "offline", true);
  client.stop();
  lock.lock();
  std::vector<std::int64_t> done = std::exchange(acknowledged_, {});
  const SessionEnd end = interrupted() ? SessionEnd::Stopped
                         : dropped     ? SessionEnd::Dropped
                                       : SessionEnd::Failed;
  lock.unlock();
  if (!done.empty()) queueGate_.pass([&] { queue_.markPublished(done); });
  return end;
}

}  // namespace readings
