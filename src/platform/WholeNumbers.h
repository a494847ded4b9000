#pragma once
// Whole numbers typed by the operator (order numbers, repeats, ports, escapes):
// leading blanks, an optional sign, decimal digits or hexadecimal digits after
// "$", "x" or "0x". Anything else is a conversion error.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace platform {

// A text that is no valid number; its message is shown by the general error report.
class ConversionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  // "'%s' is not a valid integer value" with the text in place of %s.
  static ConversionError invalidInteger(std::string_view text);
};

// The value of text, or false when it is no valid 32-bit whole number.
bool tryParseInteger(std::string_view text, std::int32_t& value);
// The value of text; raises ConversionError when it is no valid whole number.
std::int32_t parseInteger(std::string_view text);

}  // namespace platform
