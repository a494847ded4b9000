#pragma once
// Letter case and hexadecimal digits of ASCII text, the same whatever the
// locale: names of ini sections and keys, settings texts, device names. Bytes
// above 127 are compared as they are.
#include <string_view>

namespace platform {

constexpr char lowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The value of a hexadecimal digit in either case, -1 for any other byte:
// the send line's escapes, the operator's whole numbers, the wrap text and
// the serial texts all read digits here.
constexpr int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The same for the upper-case digits the HEX pane writes: its own text has
// no others.
constexpr int upperHexDigitValue(char c) {
  return c >= 'a' && c <= 'f' ? -1 : hexDigitValue(c);
}

constexpr bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  return true;
}

constexpr bool lessIgnoringAsciiCase(std::string_view a, std::string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(lowerAscii(a[i]));
    const auto y = static_cast<unsigned char>(lowerAscii(b[i]));
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

}  // namespace platform
