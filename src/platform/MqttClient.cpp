#include "platform/MqttClient.h"

#include <mosquitto.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/Cp1250.h"
#include "platform/PathText.h"

namespace platform {
namespace {

// mosquitto_lib_init is not thread-safe and must run once per process before
// anything else of the library; a function-local static runs it exactly once
// whichever thread comes first.
bool libraryReady() {
  static const bool ready = mosquitto_lib_init() == MOSQ_ERR_SUCCESS;
  return ready;
}

// Reconnect delays, in seconds: 1, 2, 4, ... up to 30.
constexpr unsigned kFirstReconnectDelay = 1;
constexpr unsigned kLongestReconnectDelay = 30;

}  // namespace

MqttClient::MqttClient(Callbacks callbacks) : callbacks_(std::move(callbacks)) {}

MqttClient::~MqttClient() {
  stop();
}

bool MqttClient::available() {
  return libraryReady();
}

std::optional<std::string> MqttClient::start(const MqttOptions& options) {
  stop();
  if (!libraryReady()) return pl("Nie można uruchomić biblioteki MQTT.");
  if (options.port < 1 || options.port > 65535) return pl("Niepoprawny port brokera MQTT.");
  if (options.host.empty()) return pl("Nie podano adresu brokera MQTT.");
  if (options.tls) {
    std::error_code error;
    if (options.caFile.empty() || !std::filesystem::is_regular_file(pathFromUtf8(options.caFile), error))
      return pl("Nie ma pliku certyfikatu CA: ") + utf8ToCp1250(options.caFile);
  }

  handle_ = mosquitto_new(options.clientId.empty() ? nullptr : options.clientId.c_str(), true, this);
  if (!handle_) return pl("Nie można utworzyć klienta MQTT.");
  mosquitto_connect_callback_set(handle_, &MqttClient::onConnect);
  mosquitto_disconnect_callback_set(handle_, &MqttClient::onDisconnect);
  mosquitto_publish_callback_set(handle_, &MqttClient::onPublish);
  mosquitto_log_callback_set(handle_, &MqttClient::onLog);
  mosquitto_int_option(handle_, MOSQ_OPT_SEND_MAXIMUM, options.maxInflight);
  mosquitto_reconnect_delay_set(handle_, kFirstReconnectDelay, kLongestReconnectDelay, true);

  const auto fail = [this](const std::string& why) {
    mosquitto_destroy(handle_);
    handle_ = nullptr;
    return std::optional<std::string>(why);
  };
  if (!options.user.empty() &&
      mosquitto_username_pw_set(handle_, options.user.c_str(), options.password.c_str()) != MOSQ_ERR_SUCCESS)
    return fail(pl("Niepoprawny użytkownik lub hasło MQTT."));
  if (!options.willTopic.empty() &&
      mosquitto_will_set(handle_, options.willTopic.c_str(), static_cast<int>(options.willPayload.size()),
                         options.willPayload.data(), 1, true) != MOSQ_ERR_SUCCESS)
    return fail(pl("Niepoprawny temat MQTT: ") + utf8ToCp1250(options.willTopic));
  if (options.tls) {
    const int tls = mosquitto_tls_set(handle_, options.caFile.c_str(), nullptr, nullptr, nullptr, nullptr);
    // A library built without TLS (the Windows build) says so.
    if (tls == MOSQ_ERR_NOT_SUPPORTED) return fail(pl("Ta wersja programu nie ma połączeń MQTT z TLS."));
    if (tls != MOSQ_ERR_SUCCESS)
      return fail(pl("Nie można użyć pliku certyfikatu CA: ") + utf8ToCp1250(options.caFile));
  }

  const int rc =
      mosquitto_connect_async(handle_, options.host.c_str(), options.port, options.keepAliveSeconds);
  if (rc == MOSQ_ERR_INVAL) return fail(pl("Niepoprawne ustawienia brokera MQTT."));
  // Not reachable now (no such name, nothing listening). The library's
  // thread would never try again after a first connect that failed: the
  // caller starts afresh later.
  if (rc != MOSQ_ERR_SUCCESS) {
    gaveUp_ = true;
    if (callbacks_.disconnected) callbacks_.disconnected(false);
    return std::nullopt;
  }
  if (mosquitto_loop_start(handle_) != MOSQ_ERR_SUCCESS) return fail(pl("Nie można uruchomić wątku MQTT."));
  threadRunning_ = true;
  return std::nullopt;
}

std::optional<int> MqttClient::publish(const std::string& topic, std::string_view payload, bool retain) {
  if (!handle_ || payload.size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
  int messageId = 0;
  const int rc = mosquitto_publish(handle_, &messageId, topic.c_str(), static_cast<int>(payload.size()),
                                   payload.data(), 1, retain);
  // Without a connection the message stays queued in the library and goes
  // out after the next connect.
  if (rc == MOSQ_ERR_SUCCESS || rc == MOSQ_ERR_NO_CONN) return messageId;
  return std::nullopt;
}

void MqttClient::stop() {
  if (!handle_) return;
  if (threadRunning_) {
    const bool wasConnected = connected_;
    mosquitto_disconnect(handle_);
    // Connected, the thread ends once the disconnect is written (after what
    // was queued before it). Otherwise it may sit in a reconnect attempt (a
    // blocking connect to a host that never answers): cancel it.
    mosquitto_loop_stop(handle_, !wasConnected);
    threadRunning_ = false;
  }
  mosquitto_destroy(handle_);
  handle_ = nullptr;
  connected_ = false;
  gaveUp_ = false;
}

void MqttClient::onConnect(mosquitto*, void* self, int code) {
  auto* client = static_cast<MqttClient*>(self);
  client->connected_ = code == 0;
  if (client->callbacks_.connected) client->callbacks_.connected(code);
}

void MqttClient::onDisconnect(mosquitto*, void* self, int reason) {
  auto* client = static_cast<MqttClient*>(self);
  client->connected_ = false;
  if (client->callbacks_.disconnected) client->callbacks_.disconnected(reason == 0);
}

void MqttClient::onPublish(mosquitto*, void* self, int messageId) {
  auto* client = static_cast<MqttClient*>(self);
  if (client->callbacks_.acknowledged) client->callbacks_.acknowledged(messageId);
}

// The library ends its thread after a TLS failure without a callback of its
// own; the failure is known by its error message, and only TLS failures are
// logged as errors.
void MqttClient::onLog(mosquitto*, void* self, int level, const char*) {
  auto* client = static_cast<MqttClient*>(self);
  if (level == MOSQ_LOG_ERR && client->callbacks_.tlsFailed) client->callbacks_.tlsFailed();
}

}  // namespace platform
