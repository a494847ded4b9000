#pragma once
// A real MQTT broker (Debian's mosquitto) for the plant link's tests: started
// by the test on 127.0.0.1 with a free port and a configuration of its own in
// a temporary folder, killed and started again on the same port, stopped at
// the end. Sessions and queued messages survive a kill (saved at every
// change, unless asked not to), so a subscriber misses nothing while the
// broker is away. And a
// subscriber on libmosquitto that collects what arrives. POSIX only.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "support/TempDir.h"

struct mosquitto;
struct mosquitto_message;

namespace testing_support {

class MqttBroker {
 public:
  struct Options {
    // Non-empty: only this user, with this password, may connect.
    std::string user;
    std::string password;
    // TLS with a server certificate for 127.0.0.1 signed by a CA of the
    // test's own (both made with openssl, valid for a day).
    bool tls = false;
    // Sessions and queued messages kept across a kill (saved at every change,
    // which costs: off for benchmarks).
    bool persistent = true;
  };

  explicit MqttBroker(Options options);
  MqttBroker() : MqttBroker(Options{}) {}
  ~MqttBroker();
  MqttBroker(const MqttBroker&) = delete;
  MqttBroker& operator=(const MqttBroker&) = delete;

  std::uint16_t port() const { return port_; }
  // The CA certificate's path (TLS only).
  std::string caFile() const;

  // Starts the broker and waits until it takes connections (bounded).
  void start();
  // SIGKILL: no goodbye to anyone.
  void kill();

 private:
  TempDir dir_;
  Options options_;
  std::uint16_t port_ = 0;
  int pid_ = -1;
};

class MqttSubscriber {
 public:
  struct Message {
    std::string topic;
    std::string payload;
    bool retained = false;
  };

  // Subscribes (QoS 1, a session the broker keeps) to `filter` and stays
  // subscribed across broker restarts.
  MqttSubscriber(std::uint16_t port, std::string filter, const MqttBroker::Options& auth = {},
                 const std::string& caFile = {});
  ~MqttSubscriber();
  MqttSubscriber(const MqttSubscriber&) = delete;
  MqttSubscriber& operator=(const MqttSubscriber&) = delete;

  // Waits in real time, bounded, until pred holds for what has arrived;
  // returns pred's last answer.
  bool waitFor(const std::function<bool(const std::vector<Message>&)>& pred,
               std::chrono::milliseconds limit = std::chrono::seconds(20));
  std::vector<Message> messages() const;
  // The payloads that arrived on topic, in order.
  std::vector<std::string> payloads(const std::string& topic) const { return payloadsOn(messages(), topic); }
  static std::vector<std::string> payloadsOn(const std::vector<Message>& messages, const std::string& topic);

 private:
  static void onConnect(mosquitto*, void* self, int code);
  static void onMessage(mosquitto*, void* self, const mosquitto_message* message);
  static void onSubscribe(mosquitto*, void* self, int, int, const int*);

  std::string filter_;
  mosquitto* handle_ = nullptr;
  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<Message> messages_;
  bool subscribed_ = false;
};

}  // namespace testing_support
