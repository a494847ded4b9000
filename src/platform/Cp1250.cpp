#include "platform/Cp1250.h"

#include <array>

namespace platform {
namespace {

// Code points of the bytes 0x80 to 0xFF.
constexpr std::array<char16_t, 128> kHigh = {
    8364, 129, 8218, 131, 8222, 8230, 8224, 8225, 136, 8240, 352, 8249, 346, 356, 381, 377,
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

std::string utf8ToCp1250(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    int extra = lead < 0x80 ? 0 : (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0 || i + extra >= utf8.size() + (extra == 0 ? 1 : 0)) {
      out += '?';
      ++i;
      continue;
    }
    char32_t cp = extra == 0 ? lead : lead & (0x3F >> extra);
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      const auto cont = static_cast<unsigned char>(utf8[i + k]);
      if ((cont & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (cont & 0x3F);
    }
    if (!ok) {
      out += '?';
      ++i;
      continue;
    }
    out += static_cast<char>(unicodeToCp1250(cp));
    i += extra + 1;
  }
  return out;
}

}  // namespace platform
