#pragma once
// Decimal numbers typed by the operator, read with the decimal separator of
// the operator's regional settings, the way the runtime reads them: blanks
// around, an optional sign, digits with at most one separator, an optional
// exponent. Anything else is the runtime's conversion error.
#include <string_view>

namespace automatic {

// The regional decimal separator: taken from the user's numeric locale
// (LC_NUMERIC, LC_ALL, LANG) at first use, unless set before.
char DecimalSeparator();
void SetDecimalSeparator(char separator);
// Takes the separator from the user's numeric locale again.
void UseLocaleDecimalSeparator();

// The value of text, or false when it is no valid decimal number.
bool TryStrToFloat(std::string_view text, double& value);
// The value of text; raises app::EConvertError when it is no valid decimal number.
double StrToFloat(std::string_view text);

}  // namespace automatic
