// The send line's escapes: the serial walk and the Ethernet walk agree on the
// bytes before the first invalid escape (the Ethernet walk leaves out NULs),
// text without "$" passes through unchanged, and the check before a send
// refuses exactly the lines whose serial walk stops.
#include <stdexcept>
#include <string>

#include "FuzzInput.h"
#include "app/Escapes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  std::string serial;
  bool stopped = false;
  try {
    app::WriteSendLine(text, [&](const std::string& piece) {
      FUZZ_CHECK(piece.size() == 1);
      serial += piece;
    });
  } catch (const std::exception&) {
    stopped = true;
  }
  const std::string ethernet = app::SendLineBytes(text);
  bool refused = false;
  try {
    app::CheckSendLine(text);
  } catch (const std::exception&) {
    refused = true;
  }
  FUZZ_CHECK(refused == stopped);

  // An escape of value 0 adds nothing on the Ethernet walk.
  auto withoutNul = [](const std::string& s) {
    std::string out;
    for (char c : s)
      if (c != '\0') out += c;
    return out;
  };
  const std::string serialWithoutNul = withoutNul(serial);
  if (stopped)
    FUZZ_CHECK(withoutNul(ethernet).compare(0, serialWithoutNul.size(), serialWithoutNul) == 0);
  else
    FUZZ_CHECK(withoutNul(ethernet) == serialWithoutNul);
  FUZZ_CHECK(ethernet.size() <= text.size());
  if (text.find('$') == std::string::npos) {
    FUZZ_CHECK(!stopped);
    FUZZ_CHECK(serial == text);
    FUZZ_CHECK(ethernet == text);
  }
  return 0;
}
