#pragma once
// An MQTT client over libmosquitto with a network thread of its own: it
// connects, keeps the connection and reconnects after a loss (waiting 1 s,
// then twice as long each time, up to 30 s), and reports through callbacks
// that run on that thread. Publishes are QoS 1; a publish made while the
// connection is down waits in the library and goes out, in order, after the
// next connect, so its acknowledgement still arrives under the same message id.
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

struct mosquitto;

namespace platform {

struct MqttOptions {
  std::string host;
  int port = 1883;
  std::string clientId;
  std::string user;  // empty: no user name and password are sent
  std::string password;
  bool tls = false;
  std::string caFile;  // UTF-8 path of the certificate authority that signed the broker's certificate
  // The last will: published retained by the broker when the connection is
  // lost without a clean disconnect.
  std::string willTopic;
  std::string willPayload;
  int keepAliveSeconds = 30;
  // QoS 1 messages on the wire without an acknowledgement; more wait in the
  // library.
  int maxInflight = 64;
};

class MqttClient {
 public:
  struct Callbacks {
    // The broker's answer to a connect: 0 accepted, else the refusal code
    // (2 client id rejected, 4 bad user name or password, 5 not authorised).
    std::function<void(int code)> connected;
    // The connection ended (clean: asked for by stop()), or a connect attempt
    // failed; the network thread tries again by itself.
    std::function<void(bool clean)> disconnected;
    // The broker acknowledged the publish with this message id.
    std::function<void(int messageId)> acknowledged;
    // The TLS handshake failed (a certificate no CA given vouches for, a
    // broker that speaks no TLS): the network thread gives up; stop() and
    // start() to try again.
    std::function<void()> tlsFailed;
  };

  // The broker's refusal codes that mean a bad user name or password, a
  // client id the broker does not take, or no permission.
  static constexpr int kRefusedClientId = 2;
  static constexpr int kRefusedCredentials = 4;
  static constexpr int kRefusedNotAuthorised = 5;

  explicit MqttClient(Callbacks callbacks);
  ~MqttClient();
  MqttClient(const MqttClient&) = delete;
  MqttClient& operator=(const MqttClient&) = delete;

  // Whether this build has an MQTT library at all.
  static bool available();

  // Sets up the connection and starts the network thread. The first connect
  // attempt (the host name lookup included) runs on the calling thread, so
  // call this from a worker, not the user-interface thread. Returns the
  // reason, in Polish (Windows-1250), when the options cannot work at all
  // (a missing CA file, a bad port); a broker that cannot be reached now is no
  // failure: disconnected(false) is called, and gaveUp() tells that no thread
  // tries again (stop() and start() after a pause). Once connected, the
  // thread keeps trying by itself after a loss.
  std::optional<std::string> start(const MqttOptions& options);
  bool gaveUp() const { return gaveUp_; }

  // Queues a QoS 1 publish; its message id, or nothing when the library
  // refused it (not started, too large, a topic that is no UTF-8). Any thread.
  std::optional<int> publish(const std::string& topic, std::string_view payload, bool retain);

  bool connected() const { return connected_; }

  // Disconnects (what was queued for the wire before it goes first) and ends
  // the network thread; no callback runs after it returns.
  void stop();

 private:
  static void onConnect(mosquitto*, void* self, int code);
  static void onDisconnect(mosquitto*, void* self, int reason);
  static void onPublish(mosquitto*, void* self, int messageId);
  static void onLog(mosquitto*, void* self, int level, const char* text);

  Callbacks callbacks_;
  mosquitto* handle_ = nullptr;
  bool threadRunning_ = false;
  bool gaveUp_ = false;
  std::atomic<bool> connected_{false};
};

}  // namespace platform
