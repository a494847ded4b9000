#include "platform/Locale.h"

#include <windows.h>

namespace platform {

char localeDecimalSeparator() {
  wchar_t text[8] = {};
  const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, text, 8);
  // A separator of one ASCII character, as the reader of numbers expects.
  return n == 2 && text[0] > 0 && text[0] < 0x80 ? static_cast<char>(text[0]) : '.';
}

}  // namespace platform
