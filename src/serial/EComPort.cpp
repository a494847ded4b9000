#include "serial/EComPort.h"

#include <array>
#include <mutex>

#include "platform/Translations.h"

namespace serial {

namespace {

constexpr const char* kTextDomain = "cport";

constexpr std::array<const char*, kComErrorMessageCount> kEnglish = {
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
};
constexpr const char* kSuffix = " (win error code: %d)";

struct Messages {
  std::array<std::string, kComErrorMessageCount> texts;
  std::string suffix;
};

std::once_flag translatedOnce;
Messages messages;

void translate() {
  for (std::size_t i = 0; i < kEnglish.size(); ++i) messages.texts[i] = platform::translate(kTextDomain, kEnglish[i]);
  messages.suffix = platform::translate(kTextDomain, kSuffix);
}

const Messages& table() {
  std::call_once(translatedOnce, translate);
  return messages;
}

std::string formatMessage(int messageCode, int systemCode) {
  std::string text = ComErrorMessage(messageCode);
  if (systemCode == -1) return text;
  const std::string& suffix = table().suffix;
  // The suffix comes from a catalog: use it only when it has exactly one %d.
  const auto at = suffix.find("%d");
  if (at == std::string::npos || suffix.find('%', at + 2) != std::string::npos || suffix.find('%') != at)
    return text + " (win error code: " + std::to_string(systemCode) + ")";
  return text + suffix.substr(0, at) + std::to_string(systemCode) + suffix.substr(at + 2);
}

}  // namespace

EComPort::EComPort(int messageCode, int systemCode)
    : std::runtime_error(formatMessage(messageCode, systemCode)),
      MessageCode(messageCode),
      SystemCode(systemCode) {}

const std::string& ComErrorMessage(int messageCode) {
  static const std::string none;
  if (messageCode < 1 || messageCode > kComErrorMessageCount) return none;
  return table().texts[static_cast<std::size_t>(messageCode - 1)];
}

void SetupComErrorMessages(const std::string& localeDir) {
  platform::bindTextDomain(kTextDomain, localeDir);
  std::call_once(translatedOnce, translate);
}

}  // namespace serial
