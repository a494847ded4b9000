#include "serial/ComTexts.h"

#include <array>

#include "platform/AsciiText.h"

namespace serial {

namespace {

constexpr std::array<const char*, kBaudRateCount> kBaudRateTexts = {
    "Custom", "110",   "300",   "600",   "1200",  "2400",   "4800",   "9600",
    "14400",  "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
constexpr std::array<const char*, 3> kStopBitsTexts = {"1", "1.5", "2"};
constexpr std::array<const char*, 4> kDataBitsTexts = {"5", "6", "7", "8"};
constexpr std::array<const char*, 5> kParityTexts = {"None", "Odd", "Even", "Mark", "Space"};
constexpr std::array<const char*, 4> kFlowControlTexts = {"Hardware", "Software", "None", "Custom"};
constexpr std::array<const char*, 4> kRTSControlTexts = {"Disable", "Enable", "Handshake", "Toggle"};
constexpr std::array<const char*, 3> kDTRControlTexts = {"Disable", "Enable", "Handshake"};

using platform::lowerAscii;

bool sameText(std::string_view a, std::string_view b) {
  return platform::equalIgnoringAsciiCase(a, b);
}

template <typename E, std::size_t N>
std::string textOf(const std::array<const char*, N>& texts, E v) {
  const auto i = static_cast<std::size_t>(v);
  return i < N ? texts[i] : "";
}

template <typename E, std::size_t N>
E valueOf(const std::array<const char*, N>& texts, std::string_view text, E fallback) {
  for (std::size_t i = 0; i < N; ++i)
    if (sameText(text, texts[i])) return static_cast<E>(i);
  return fallback;
}

int digitValue(char c, int base) {
  const int d = platform::hexDigitValue(c);
  return d < base ? d : -1;
}

}  // namespace

std::string BaudRateText(TBaudRate v) {
  return textOf(kBaudRateTexts, v);
}
TBaudRate BaudRateFromText(std::string_view text) {
  return valueOf(kBaudRateTexts, text, br9600);
}

std::string StopBitsText(TStopBits v) {
  return textOf(kStopBitsTexts, v);
}
TStopBits StopBitsFromText(std::string_view text) {
  return valueOf(kStopBitsTexts, text, sbOneStopBit);
}

std::string DataBitsText(TDataBits v) {
  return textOf(kDataBitsTexts, v);
}
TDataBits DataBitsFromText(std::string_view text) {
  return valueOf(kDataBitsTexts, text, dbEight);
}

std::string ParityText(TParityBits v) {
  return textOf(kParityTexts, v);
}
TParityBits ParityFromText(std::string_view text) {
  return valueOf(kParityTexts, text, prNone);
}

std::string FlowControlText(TFlowControl v) {
  return textOf(kFlowControlTexts, v);
}
TFlowControl FlowControlFromText(std::string_view text) {
  return valueOf(kFlowControlTexts, text, fcCustom);
}

std::string RTSControlText(TRTSFlowControl v) {
  return textOf(kRTSControlTexts, v);
}
TRTSFlowControl RTSControlFromText(std::string_view text) {
  return valueOf(kRTSControlTexts, text, rtsDisable);
}

std::string DTRControlText(TDTRFlowControl v) {
  return textOf(kDTRControlTexts, v);
}
TDTRFlowControl DTRControlFromText(std::string_view text) {
  return valueOf(kDTRControlTexts, text, dtrDisable);
}

std::string CharText(unsigned char c) {
  if (c >= 33 && c <= 127) return std::string(1, static_cast<char>(c));
  return "#" + std::to_string(c);
}

unsigned char CharFromText(std::string_view text) {
  if (text.empty()) return 0;
  if (text.size() >= 2 && text.front() == '#') {
    const auto code = IntegerFromText(text.substr(1));
    return code ? static_cast<unsigned char>(static_cast<std::uint32_t>(*code) & 0xFF) : 0;
  }
  return static_cast<unsigned char>(text.front());
}

std::string YesNoText(bool v) {
  return v ? "Yes" : "No";
}
bool YesNoFromText(std::string_view text) {
  return sameText(text, "Yes");
}

std::optional<std::int32_t> IntegerFromText(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  // Decimal must fit the signed range; hexadecimal may use all 32 bits.
  const std::uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  std::uint64_t value = 0;
  for (char c : text) {
    const int d = digitValue(c, base);
    if (d < 0) return std::nullopt;
    value = value * static_cast<unsigned>(base) + static_cast<unsigned>(d);
    if (value > limit) return std::nullopt;
  }
  auto bits = static_cast<std::uint32_t>(value);
  if (negative) bits = ~bits + 1u;
  return static_cast<std::int32_t>(bits);
}

}  // namespace serial
