// The MQTT client of a build without libmosquitto: it never connects and says
// why once.
#include "platform/Cp1250.h"
#include "platform/MqttClient.h"

namespace platform {

MqttClient::MqttClient(Callbacks callbacks) : callbacks_(std::move(callbacks)) {}
MqttClient::~MqttClient() = default;

bool MqttClient::available() {
  return false;
}

std::optional<std::string> MqttClient::start(const MqttOptions&) {
  return pl("Ta wersja programu nie ma połączenia MQTT.");
}

std::optional<int> MqttClient::publish(const std::string&, std::string_view, bool) {
  return std::nullopt;
}

void MqttClient::stop() {}

void MqttClient::onConnect(mosquitto*, void*, int) {}
void MqttClient::onDisconnect(mosquitto*, void*, int) {}
void MqttClient::onPublish(mosquitto*, void*, int) {}
void MqttClient::onLog(mosquitto*, void*, int, const char*) {}

}  // namespace platform
