#pragma once
// Whole numbers typed by the operator, read the way the runtime reads them:
// leading blanks, an optional sign, decimal digits or hexadecimal digits after
// "$" or "0x". Anything else is the runtime's conversion error.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace app {

// The runtime's conversion error; its message is shown by the general error report.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  // "'%s' is not a valid integer value" with the text in place of %s.
  static EConvertError invalidInteger(std::string_view text);
};

// The value of text, or false when it is no valid 32-bit whole number.
bool TryStrToInt(std::string_view text, std::int32_t& value);
// The value of text; raises EConvertError when it is no valid whole number.
std::int32_t StrToInt(std::string_view text);

}  // namespace app
