#include "platform/SerialPortList.h"

#include <algorithm>

#include "platform/AsciiText.h"
#include "platform/IniFile.h"
#include "platform/PortNames.h"

namespace platform {

namespace {

std::vector<std::string> mappedNames(const std::string& deviceMapFile) {
  std::vector<std::string> names;
  if (deviceMapFile.empty()) return names;
  try {
    const IniFile map(deviceMapFile);
    for (const std::string& key : map.keys(kDevicesSection)) {
      if (comPortNumber(key) <= 0 || map.readString(kDevicesSection, key, "").empty()) continue;
      const bool seen = std::any_of(names.begin(), names.end(),
                                    [&](const std::string& n) { return equalIgnoringAsciiCase(n, key); });
      if (!seen) names.push_back(key);
    }
  } catch (const IniFileError& e) {
    throw SerialPortListError(e.what(), e.errorCode());
  }
  return names;
}

}  // namespace

std::vector<std::string> ListSerialPorts(const std::string& root, const std::string& deviceMapFile) {
  std::vector<std::string> ports = mappedNames(deviceMapFile);
  for (std::string& port : systemSerialPorts(root)) ports.push_back(std::move(port));
  std::sort(ports.begin(), ports.end(),
            [](const std::string& a, const std::string& b) { return lessIgnoringAsciiCase(a, b); });
  ports.erase(std::unique(ports.begin(), ports.end()), ports.end());
  return ports;
}

}  // namespace platform
