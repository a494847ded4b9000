#pragma once
// The decimal separator of the operator's regional settings, one process-wide
// setting: a point until the program reads the user's regional one at
// start-up (useLocaleDecimalSeparator); tests set it directly.

namespace platform {

char decimalSeparator();
void setDecimalSeparator(char separator);
// Takes the separator from the user's numeric locale.
void useLocaleDecimalSeparator();

}  // namespace platform
