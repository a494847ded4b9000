#include "platform/PortNames.h"

#include "platform/IniFile.h"

namespace platform {

bool startsWithCom(const std::string& name) {
  return name.size() >= 3 && (name[0] == 'C' || name[0] == 'c') && (name[1] == 'O' || name[1] == 'o') &&
         (name[2] == 'M' || name[2] == 'm');
}

int comPortNumber(const std::string& portName) {
  if (!startsWithCom(portName)) return 0;
  const std::string digits = portName.substr(3);
  if (digits.empty() || digits.size() > 9) return 0;
  int n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    n = n * 10 + (c - '0');
  }
  return n;
}

std::string serialDevicePath(const std::string& portName, const std::string& deviceMapFile) {
  if (comPortNumber(portName) > 0 && !deviceMapFile.empty()) {
    const IniFile map(deviceMapFile);
    const std::string mapped = map.readString(kDevicesSection, portName, "");
    if (!mapped.empty()) return mapped;
  }
  return systemDevicePath(portName);
}

}  // namespace platform
