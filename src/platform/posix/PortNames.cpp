#include "platform/PortNames.h"

namespace platform {

std::string systemDevicePath(const std::string& portName) {
  if (!portName.empty() && portName.front() == '/') return portName;
  if (startsWithCom(portName) && portName.size() > 3 && portName[3] == '/') return portName.substr(3);
  if (const int n = comPortNumber(portName); n > 0) return "/dev/ttyS" + std::to_string(n - 1);
  return "/dev/" + portName;
}

}  // namespace platform
