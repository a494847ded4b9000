#include "headless/Console.h"

#include "platform/Cp1250.h"

namespace headless {

void Console::progress(std::string_view cp1250) {
  if (quiet_ || cp1250 == last_) return;
  last_ = cp1250;
  tell(cp1250);
}

void Console::tell(std::string_view cp1250) {
  std::string line = platform::cp1250ToUtf8(cp1250);
  line += '\n';
  raw(line);
}

void Console::raw(std::string_view bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), err_);
  std::fflush(err_);
}

}  // namespace headless
