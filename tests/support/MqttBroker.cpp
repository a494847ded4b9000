#include "support/MqttBroker.h"
#ifndef _WIN32  // no broker for the Windows tests

#include <fcntl.h>
#include <mosquitto.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "support/LoopbackServer.h"
#include "support/Ser2net.h"

extern char** environ;

namespace testing_support {

namespace {

void run(const std::string& command) {
  if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

}  // namespace

MqttBroker::MqttBroker(Options options) : options_(std::move(options)), port_(LoopbackServer::closedPort()) {
  const std::string dir = dir_.path().string();
  std::string config = "listener " + std::to_string(port_) + " 127.0.0.1\n" +
                       // Started as root it would switch to the mosquitto user,
                       // which cannot read the test's folder.
                       "user root\n"
                       "log_dest file " +
                       dir + "/broker.log\n";
  if (options_.persistent)
    config += "persistence true\npersistence_location " + dir +
              "/\nautosave_on_changes true\nautosave_interval 1\n";
  if (options_.user.empty()) {
    config += "allow_anonymous true\n";
  } else {
    run("mosquitto_passwd -c -b '" + dir + "/passwords' '" + options_.user + "' '" + options_.password + "'");
    config += "allow_anonymous false\npassword_file " + dir + "/passwords\n";
  }
  if (options_.tls) {
    const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes ";
    run("cd '" + dir + "' && openssl req -x509" + ec +
        "-days 1 -subj /CN=terso-test-ca -keyout ca.key -out ca.crt" + " 2>/dev/null && openssl req" + ec +
        "-subj /CN=127.0.0.1 -keyout server.key -out server.csr 2>/dev/null" +
        " && printf 'subjectAltName=IP:127.0.0.1\\n' > server.ext && openssl x509 -req -in server.csr -CA "
        "ca.crt" +
        " -CAkey ca.key -CAcreateserial -days 1 -extfile server.ext -out server.crt 2>/dev/null");
    config += "cafile " + dir + "/ca.crt\ncertfile " + dir + "/server.crt\nkeyfile " + dir + "/server.key\n";
  }
  TempDir::write(dir_ / "broker.conf", config);
  start();
}

MqttBroker::~MqttBroker() {
  kill();
}

std::string MqttBroker::caFile() const {
  return (dir_ / "ca.crt").string();
}

void MqttBroker::start() {
  kill();
  const std::string conf = (dir_ / "broker.conf").string();
  const char* argv[] = {"mosquitto", "-c", conf.c_str(), nullptr};
  // Its warnings (running as root) go to its log, not into the test's output.
  const std::string log = (dir_ / "broker.out").string();
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 2, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, "mosquitto", &files, nullptr, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&files);
  if (rc != 0) throw std::runtime_error("cannot start mosquitto (is it installed?)");
  pid_ = pid;
  for (int i = 0; i < 500; ++i) {
    if (Ser2net::listening(port_)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  throw std::runtime_error("mosquitto does not take connections: see " + (dir_ / "broker.log").string());
}

void MqttBroker::kill() {
  if (pid_ < 0) return;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

MqttSubscriber::MqttSubscriber(std::uint16_t port, std::string filter, const MqttBroker::Options& auth,
                               const std::string& caFile)
    : filter_(std::move(filter)) {
  mosquitto_lib_init();
  const std::string id = "terso-test-sub-" + std::to_string(::getpid()) + "-" +
                         std::to_string(reinterpret_cast<std::uintptr_t>(this));
  handle_ = mosquitto_new(id.c_str(), false, this);
  mosquitto_connect_callback_set(handle_, &MqttSubscriber::onConnect);
  mosquitto_message_callback_set(handle_, &MqttSubscriber::onMessage);
  mosquitto_subscribe_callback_set(handle_, &MqttSubscriber::onSubscribe);
  mosquitto_reconnect_delay_set(handle_, 1, 1, false);
  if (!auth.user.empty()) mosquitto_username_pw_set(handle_, auth.user.c_str(), auth.password.c_str());
  if (!caFile.empty()) mosquitto_tls_set(handle_, caFile.c_str(), nullptr, nullptr, nullptr, nullptr);
  if (mosquitto_connect(handle_, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS)
    throw std::runtime_error("the subscriber cannot connect");
  mosquitto_loop_start(handle_);
  std::unique_lock lock(mutex_);
  if (!arrived_.wait_for(lock, std::chrono::seconds(10), [this] { return subscribed_; }))
    throw std::runtime_error("the subscriber is not subscribed");
}

MqttSubscriber::~MqttSubscriber() {
  mosquitto_disconnect(handle_);
  mosquitto_loop_stop(handle_, false);
  mosquitto_destroy(handle_);
}

void MqttSubscriber::onConnect(mosquitto* handle, void* self, int code) {
  if (code == 0) mosquitto_subscribe(handle, nullptr, static_cast<MqttSubscriber*>(self)->filter_.c_str(), 1);
}

void MqttSubscriber::onSubscribe(mosquitto*, void* self, int, int, const int*) {
  auto* subscriber = static_cast<MqttSubscriber*>(self);
  std::lock_guard lock(subscriber->mutex_);
  subscriber->subscribed_ = true;
  subscriber->arrived_.notify_all();
}

void MqttSubscriber::onMessage(mosquitto*, void* self, const mosquitto_message* message) {
  auto* subscriber = static_cast<MqttSubscriber*>(self);
  std::lock_guard lock(subscriber->mutex_);
  subscriber->messages_.push_back(
      {message->topic, std::string(static_cast<const char*>(message->payload), message->payloadlen),
       message->retain});
  subscriber->arrived_.notify_all();
}

bool MqttSubscriber::waitFor(const std::function<bool(const std::vector<Message>&)>& pred,
                             std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return arrived_.wait_for(lock, limit, [&] { return pred(messages_); });
}

std::vector<MqttSubscriber::Message> MqttSubscriber::messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}

std::vector<std::string> MqttSubscriber::payloadsOn(const std::vector<Message>& messages,
                                                    const std::string& topic) {
  std::vector<std::string> found;
  for (const Message& m : messages)
    if (m.topic == topic) found.push_back(m.payload);
  return found;
}

}  // namespace testing_support

#endif
