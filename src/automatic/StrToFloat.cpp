#include "automatic/StrToFloat.h"

#include <langinfo.h>
#include <locale.h>

#include <charconv>
#include <optional>
#include <string>

#include "app/StrToInt.h"

namespace automatic {

namespace {

std::optional<char> separator;

// Read without touching the process's own locale: the C library's number
// formatting elsewhere must not change under other code.
char localeSeparator() {
  locale_t locale = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
  if (!locale) return '.';
  const char* radix = nl_langinfo_l(RADIXCHAR, locale);
  // A separator that is no single byte (some locales use a Unicode sign) is
  // read as a point.
  const char result = radix && radix[0] != '\0' && radix[1] == '\0' ? radix[0] : '.';
  freelocale(locale);
  return result;
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

char DecimalSeparator() {
  if (!separator) separator = localeSeparator();
  return *separator;
}

void SetDecimalSeparator(char c) {
  separator = c;
}

void UseLocaleDecimalSeparator() {
  separator = localeSeparator();
}

bool TryStrToFloat(std::string_view text, double& value) {
  const char decimal = DecimalSeparator();
  std::size_t begin = 0, end = text.size();
  while (begin < end && text[begin] == ' ') ++begin;
  while (end > begin && text[end - 1] == ' ') --end;

  // Rewritten with a point, which from_chars reads whatever the locale.
  std::string plain;
  std::size_t i = begin;
  if (i < end && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') plain += '-';
    ++i;
  }
  bool digits = false;
  for (; i < end && isDigit(text[i]); ++i, digits = true) plain += text[i];
  if (i < end && text[i] == decimal) {
    plain += '.';
    for (++i; i < end && isDigit(text[i]); ++i, digits = true) plain += text[i];
  }
  if (!digits) return false;
  if (i < end && (text[i] == 'e' || text[i] == 'E')) {
    plain += 'e';
    ++i;
    if (i < end && (text[i] == '+' || text[i] == '-')) plain += text[i++];
    bool exponent = false;
    for (; i < end && isDigit(text[i]); ++i, exponent = true) plain += text[i];
    if (!exponent) return false;
  }
  if (i != end) return false;

  double parsed = 0;
  const auto [ptr, error] = std::from_chars(plain.data(), plain.data() + plain.size(), parsed);
  if (error != std::errc() || ptr != plain.data() + plain.size()) return false;
  value = parsed;
  return true;
}

double StrToFloat(std::string_view text) {
  double value = 0;
  if (!TryStrToFloat(text, value))
    throw app::EConvertError("'" + std::string(text) + "' is not a valid floating point value");
  return value;
}

}  // namespace automatic
