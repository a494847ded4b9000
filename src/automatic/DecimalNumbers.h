#pragma once
// Decimal numbers typed by the operator (order times): blanks around, an
// optional sign, digits with at most one decimal separator (a point, a comma
// or the regional one), an optional exponent. Anything else is a conversion
// error.
#include <string_view>

#include "platform/DecimalSeparator.h"

namespace automatic {

using platform::decimalSeparator;
using platform::setDecimalSeparator;
using platform::useLocaleDecimalSeparator;

// The value of text, or false when it is no valid decimal number.
bool tryParseDecimal(std::string_view text, double& value);
// The value of text; raises platform::ConversionError when it is no valid decimal number.
double parseDecimal(std::string_view text);

}  // namespace automatic
