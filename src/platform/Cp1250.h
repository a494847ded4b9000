#pragma once
// Windows-1250 is the code page of every text the terminal shows and of the
// bytes it exchanges with scales. The program keeps texts as Windows-1250 byte
// strings; only the Qt view and the source code (UTF-8 literals) convert.
#include <string>
#include <string_view>

namespace platform {

// The Unicode code point of one Windows-1250 byte. The five bytes the code page
// leaves undefined (81, 83, 88, 90, 98) map to the C1 controls of the same value.
char32_t cp1250ToUnicode(unsigned char byte);

// The Windows-1250 byte of a code point, or '?' when the code page has none.
unsigned char unicodeToCp1250(char32_t codePoint);

std::string cp1250ToUtf8(std::string_view cp1250);
// Malformed UTF-8 sequences become '?'.
std::string utf8ToCp1250(std::string_view utf8);

// A Polish text literal written in UTF-8 source, as the Windows-1250 bytes the
// program keeps: pl("Wyślij z&naki").
inline std::string pl(std::string_view utf8) { return utf8ToCp1250(utf8); }

}  // namespace platform
