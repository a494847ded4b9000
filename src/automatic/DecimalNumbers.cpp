#include "automatic/DecimalNumbers.h"

#include <charconv>
#include <string>

#include "platform/WholeNumbers.h"

namespace automatic {

namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

bool tryParseDecimal(std::string_view text, double& value) {
  // A point or a comma, whatever the regional setting: an orders file saved
  // under one locale must run under another. Nothing writes thousands
  // separators into these numbers, so neither can be one.
  const char regional = decimalSeparator();
  const auto isSeparator = [regional](char c) { return c == '.' || c == ',' || c == regional; };
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
  if (i < end && isSeparator(text[i])) {
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

double parseDecimal(std::string_view text) {
  double value = 0;
  if (!tryParseDecimal(text, value))
    throw platform::ConversionError("'" + std::string(text) + "' is not a valid floating point value");
  return value;
}

}  // namespace automatic
