#include "platform/Locale.h"

#include <langinfo.h>
#include <locale.h>

namespace platform {

char localeDecimalSeparator() {
  locale_t locale = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
  if (!locale) return '.';
  const char* radix = nl_langinfo_l(RADIXCHAR, locale);
  const char result = radix && radix[0] != '\0' && radix[1] == '\0' ? radix[0] : '.';
  freelocale(locale);
  return result;
}

}  // namespace platform
