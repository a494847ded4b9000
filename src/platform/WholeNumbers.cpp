#include "platform/WholeNumbers.h"

#include <limits>

#include "platform/AsciiText.h"
#include "platform/Translations.h"

namespace platform {

namespace {

int digitValue(char c, bool hex) {
  const int d = hexDigitValue(c);
  return d < (hex ? 16 : 10) ? d : -1;
}

}  // namespace

ConversionError ConversionError::invalidInteger(std::string_view text) {
  // The English text is the catalog's key; a Polish locale reads it in Polish.
  const std::string_view format = translate("cport", "'%s' is not a valid integer value");
  std::string message;
  const std::size_t at = format.find("%s");
  if (at == std::string_view::npos) return ConversionError(std::string(format));
  message.append(format.substr(0, at));
  message.append(text);
  message.append(format.substr(at + 2));
  return ConversionError(message);
}

bool tryParseInteger(std::string_view text, std::int32_t& value) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  bool hex = false;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i == text.size()) return false;  // no digits at all

  // Hexadecimal values take all 32 bits ("$FFFFFFFF" is -1); decimal ones
  // must fit the signed range.
  const std::uint64_t limit =
      hex ? 0xFFFFFFFFull
          : static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()) + (negative ? 1 : 0);
  std::uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const int d = digitValue(text[i], hex);
    if (d < 0) return false;
    magnitude = magnitude * (hex ? 16 : 10) + static_cast<unsigned>(d);
    if (magnitude > limit) return false;
  }
  const auto bits = static_cast<std::uint32_t>(negative ? 0u - static_cast<std::uint32_t>(magnitude)
                                                        : static_cast<std::uint32_t>(magnitude));
  value = static_cast<std::int32_t>(bits);
  return true;
}

std::int32_t parseInteger(std::string_view text) {
  std::int32_t value = 0;
  if (!tryParseInteger(text, value)) throw ConversionError::invalidInteger(text);
  return value;
}

}  // namespace platform
