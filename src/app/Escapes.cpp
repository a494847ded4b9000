#include "app/Escapes.h"

#include "platform/AsciiText.h"
#include "platform/WholeNumbers.h"

namespace app {

using platform::ConversionError;

namespace {

// An escape takes the "$" and the two characters after it, fewer at the end.
constexpr std::size_t kEscapeLength = 3;

}  // namespace

Escape DecodeEscape(std::string_view text, std::size_t pos) {
  Escape escape{text.substr(pos, kEscapeLength), std::nullopt};
  const std::string_view digits = escape.text.substr(1);
  if (digits.empty()) return escape;
  int value = 0;
  for (char c : digits) {
    const int d = platform::hexDigitValue(c);
    if (d < 0) return escape;
    value = value * 16 + d;
  }
  escape.value = static_cast<std::uint8_t>(value);
  return escape;
}

void CheckSendLine(std::string_view text) {
  for (std::size_t p = text.find('$'); p != std::string_view::npos; p = text.find('$', p + kEscapeLength)) {
    const Escape escape = DecodeEscape(text, p);
    if (!escape.value) throw ConversionError::invalidInteger(escape.text);
  }
}

void WriteSendLine(std::string_view text, const std::function<void(const std::string&)>& write) {
  for (std::size_t p = 0; p < text.size();) {
    if (text[p] == '$') {
      const Escape escape = DecodeEscape(text, p);
      if (!escape.value) throw ConversionError::invalidInteger(escape.text);
      write(std::string(1, static_cast<char>(*escape.value)));
      p += kEscapeLength;
    } else {
      write(std::string(1, text[p]));
      ++p;
    }
  }
}

std::string SendLineBytes(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t p = 0; p < text.size();) {
    if (text[p] == '$') {
      const Escape escape = DecodeEscape(text, p);
      if (escape.value && *escape.value > 0) bytes += static_cast<char>(*escape.value);
      p += kEscapeLength;
    } else {
      bytes += text[p];
      ++p;
    }
  }
  return bytes;
}

}  // namespace app
