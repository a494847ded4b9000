#include "readings/ReplyReader.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace readings {

namespace {

// Control bytes (NUL included) separate like spaces.
bool isBlank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
bool isLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
// Letters, "%" and the micro sign of Windows-1250 make a unit.
bool isUnitChar(char c) {
  return isLetter(c) || c == '%' || static_cast<unsigned char>(c) == 0xB5;
}

// Longer digit runs are no weight a scale prints (and would lose digits).
constexpr std::size_t kMaxNumber = 24;

// Digits with at most one "." or ",". A mantissa below 2^53 over an exact
// power of ten is one correctly rounded division, as a full conversion would
// give; longer numbers take the full conversion.
bool parseNumber(std::string_view text, std::uint8_t decimals, double& value) {
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  std::uint64_t mantissa = 0;
  std::size_t digits = 0;
  for (char c : text) {
    if (!isDigit(c)) continue;
    mantissa = mantissa * 10 + static_cast<unsigned>(c - '0');
    ++digits;
  }
  if (digits <= 15 && decimals <= 22) {
    value = static_cast<double>(mantissa) / kPowers[decimals];
    return true;
  }
  char buffer[kMaxNumber + 1];
  std::memcpy(buffer, text.data(), text.size());
  for (std::size_t k = 0; k < text.size(); ++k)
    if (buffer[k] == ',') buffer[k] = '.';
  const auto [ptr, ec] = std::from_chars(buffer, buffer + text.size(), value);
  return ec == std::errc() && ptr == buffer + text.size() && std::isfinite(value);
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool startsWithWord(std::string_view s, std::string_view word) {
  return s.substr(0, word.size()) == word && (s.size() == word.size() || !isLetter(s[word.size()]));
}

// The status header at the start of a row: its state, and the row after it.
// The header "S -" must not lend its minus to the number.
State readHeader(std::string_view& s, bool& found) {
  found = false;
  if (s.size() >= 3 && s[0] == 'S' && isBlank(s[1])) {
    std::size_t i = 1;
    while (i < s.size() && isBlank(s[i])) ++i;
    if (i < s.size() && (i + 1 == s.size() || isBlank(s[i + 1]))) {
      State state = State::Unknown;
      switch (s[i]) {
        case 'S':
          state = State::Stable;
          break;
        case 'D':
          state = State::Unstable;
          break;
        case '+':
          state = State::Overload;
          break;
        case '-':
          state = State::Underload;
          break;
        default:
          return State::Unknown;
      }
      found = true;
      s.remove_prefix(i + 1);
      return state;
    }
    return State::Unknown;
  }
  struct Word {
    std::string_view text;
    State state;
  };
  for (const Word& w : {Word{"ST", State::Stable}, Word{"US", State::Unstable}, Word{"OL", State::Overload},
                        Word{"UL", State::Underload}}) {
    if (startsWithWord(s, w.text)) {
      found = true;
      s.remove_prefix(w.text.size());
      return w.state;
    }
  }
  return State::Unknown;
}

}  // namespace

ReplyValue ReadReply(std::string_view row) {
  ReplyValue result;
  std::string_view s = trimmed(row);
  bool moving = false;
  if (!s.empty() && s.back() == '?') {
    moving = true;
    s = trimmed(s.substr(0, s.size() - 1));
  }
  bool haveHeader = false;
  const State header = readHeader(s, haveHeader);

  // The weight is the last number followed by a unit; without any unit, the
  // last number.
  ReplyValue withUnit, withoutUnit;
  const std::size_t n = s.size();
  std::size_t i = 0;
  while (i < n) {
    if (!isDigit(s[i])) {
      ++i;
      continue;
    }
    const std::size_t start = i;
    while (i < n && isDigit(s[i])) ++i;
    std::uint8_t decimals = 0;
    if (i + 1 < n && (s[i] == '.' || s[i] == ',') && isDigit(s[i + 1])) {
      ++i;
      while (i < n && isDigit(s[i])) {
        ++i;
        if (decimals < 255) ++decimals;
      }
    }
    const std::size_t end = i;
    if (end - start > kMaxNumber) continue;

    double value = 0;
    if (!parseNumber(s.substr(start, end - start), decimals, value)) continue;

    // A sign may stand apart from the digits ("N   +   12.345 kg").
    std::size_t j = start;
    while (j > 0 && isBlank(s[j - 1])) --j;
    if (j > 0 && s[j - 1] == '-') value = -value;

    std::size_t u = end;
    while (u < n && isBlank(s[u])) ++u;
    std::size_t unitEnd = u;
    while (unitEnd < n && isUnitChar(s[unitEnd])) ++unitEnd;
    const std::size_t unitLength = unitEnd - u;

    ReplyValue& slot = unitLength > 0 && unitLength <= kMaxUnit ? withUnit : withoutUnit;
    slot = ReplyValue{};
    slot.hasValue = true;
    slot.value = value;
    slot.decimals = decimals;
    if (&slot == &withUnit) std::memcpy(slot.unit, s.data() + u, unitLength);
  }
  if (withUnit.hasValue)
    result = withUnit;
  else if (withoutUnit.hasValue)
    result = withoutUnit;

  if (haveHeader && (header == State::Overload || header == State::Underload))
    result.state = header;
  else if (!result.hasValue)
    result.state = State::Unknown;
  else if (moving || (haveHeader && header == State::Unstable))
    result.state = State::Unstable;
  else
    result.state = State::Stable;
  return result;
}

}  // namespace readings
