#include "platform/PortNames.h"

namespace platform {

// \\.\ reaches every COM port, COM10 and above too.
std::string systemDevicePath(const std::string& portName) {
  if (portName.rfind("\\\\", 0) == 0) return portName;
  return "\\\\.\\" + portName;
}

}  // namespace platform
