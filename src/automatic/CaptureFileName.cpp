#include "automatic/CaptureFileName.h"

#include "platform/Cp1250.h"

namespace automatic {

std::string captureFileName(const std::string& chosen) {
  const std::size_t separator = chosen.find_last_of("\\:/");
  const std::size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
  const std::size_t dot = chosen.find('.', nameStart);
  return (dot == std::string::npos ? chosen : chosen.substr(0, dot)) + ".txt";
}

const std::string& noCaptureFileText() {
  static const std::string text = platform::pl("Nie wybrano pliku");
  return text;
}

}  // namespace automatic
