#pragma once
// The user's regional settings, read without changing the process's own
// locale: the C library's number formatting elsewhere must not change under
// other code.

namespace platform {

// The decimal separator of the user's numeric locale (LC_ALL, LC_NUMERIC,
// LANG); a point when there is none or it is no single byte (some locales
// use a Unicode sign).
char localeDecimalSeparator();

}  // namespace platform
