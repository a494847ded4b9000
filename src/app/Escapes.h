#pragma once
// The send line's escape notation: "$" and the two characters after it give
// one byte in hexadecimal ("$FF", "$0d"); when the "$" is the second-to-last
// character, the single digit after it is the whole number ("X$7"). "$24"
// sends a "$" itself.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace app {

struct Escape {
  // The characters the escape takes: the "$" and at most two after it.
  std::string_view text;
  // Its byte, or nothing when the escape is invalid.
  std::optional<std::uint8_t> value;
};

// The escape whose "$" stands at text[pos].
Escape DecodeEscape(std::string_view text, std::size_t pos);

// Raises ConversionError naming the characters of the first invalid escape;
// a line that passes sends whole on either link.
void CheckSendLine(std::string_view text);

// The serial walk: each character and each escape is handed to write on its
// own, left to right. An invalid escape raises ConversionError naming its
// characters; what came before it has been written (CheckSendLine first).
void WriteSendLine(std::string_view text, const std::function<void(const std::string&)>& write);

// The Ethernet walk: the whole text as one byte string; invalid escapes and
// escapes of value 0 add nothing.
std::string SendLineBytes(std::string_view text);

}  // namespace app
