#include "platform/Cp1250.h"

#include <array>

namespace platform {
namespace {

// Code points of the bytes 0x80 to 0xFF.
constexpr std::array<char16_t, 128> kHigh = {
    8364, 129,  8218, 131,  8222, 8230, 8224, 8225, 136, 8240, 352, 8249, 346, 356, 381, 377,
    144,  8216, 8217, 8220, 8221, 8226, 8211, 8212, 152, 8482, 353, 8250, 347, 357, 382, 378,
    160,  711,  728,  321,  164,  260,  166,  167,  168, 169,  350, 171,  172, 173, 174, 379,
    176,  177,  731,  322,  180,  181,  182,  183,  184, 261,  351, 187,  317, 733, 318, 380,
    340,  193,  194,  258,  196,  313,  262,  199,  268, 201,  280, 203,  282, 205, 206, 270,
    272,  323,  327,  211,  212,  336,  214,  215,  344, 366,  218, 368,  220, 221, 354, 223,
    341,  225,  226,  259,  228,  314,  263,  231,  269, 233,  281, 235,  283, 237, 238, 271,
    273,  324,  328,  243,  244,  337,  246,  247,  345, 367,  250, 369,  252, 253, 355, 729};

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

char32_t cp1250ToUnicode(unsigned char byte) {
  return byte < 0x80 ? byte : kHigh[byte - 0x80];
}

unsigned char unicodeToCp1250(char32_t cp) {
  if (cp < 0x80) return static_cast<unsigned char>(cp);
  for (std::size_t i = 0; i < kHigh.size(); ++i)
    if (kHigh[i] == cp) return static_cast<unsigned char>(0x80 + i);
  return '?';
}

std::string cp1250ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (unsigned char c : text) appendUtf8(out, cp1250ToUnicode(c));
  return out;
}

// A malformed sequence (stray continuation byte, truncated or overlong form,
// surrogate, beyond U+10FFFF) becomes one '?' for its longest valid-looking
// prefix; decoding resumes at the byte that broke it. Overlong forms must not
// slip through as the ASCII they disguise ("\xC0\xAF" is not '/').
std::string utf8ToCp1250(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i++]);
    if (lead < 0x80) {
      out += static_cast<char>(lead);
      continue;
    }
    int extra;
    char32_t cp;
    // The range the second byte must fall in rules out overlong forms,
    // surrogates and code points past U+10FFFF.
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1;
      cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2;
      cp = lead & 0x0F;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3;
      cp = lead & 0x07;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      out += '?';
      continue;
    }
    bool ok = true;
    for (int k = 0; k < extra; ++k) {
      const auto cont = i < utf8.size() ? static_cast<unsigned char>(utf8[i]) : 0;
      if (cont < low || cont > high) {
        ok = false;
        break;
      }
      low = 0x80;
      high = 0xBF;
      cp = (cp << 6) | (cont & 0x3F);
      ++i;
    }
    out += ok ? static_cast<char>(unicodeToCp1250(cp)) : '?';
  }
  return out;
}

}  // namespace platform
