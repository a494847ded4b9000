#include "ui/Chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ui {

AxisTicks roundTicks(double low, double high, bool widen) {
  AxisTicks axis;
  axis.low = low;
  axis.high = high;
  const double span = high - low;
  if (!(span > 0) || !std::isfinite(span)) {
    axis.values = {low};
    return axis;
  }
  const double rough = span / 5;
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  axis.step = power;
  for (double f : {2.0, 5.0, 10.0})
    if (rough > axis.step * (1 + 1e-9)) axis.step = power * f;
  axis.decimals = std::max(0, -static_cast<int>(std::floor(std::log10(axis.step) + 1e-9)));
  // Ticks are counted in whole steps, so a long axis does not gather the
  // rounding errors of repeated additions.
  const double slack = 1e-9;
  auto first = static_cast<long long>(std::ceil(low / axis.step - slack));
  auto last = static_cast<long long>(std::floor(high / axis.step + slack));
  if (widen) {
    first = static_cast<long long>(std::floor(low / axis.step + slack));
    last = static_cast<long long>(std::ceil(high / axis.step - slack));
    axis.low = static_cast<double>(first) * axis.step;
    axis.high = static_cast<double>(last) * axis.step;
  }
  for (long long i = first; i <= last; ++i) axis.values.push_back(static_cast<double>(i) * axis.step);
  return axis;
}

std::string tickText(double value, int decimals, char separator) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", std::clamp(decimals, 0, 15), value);
  std::string s = text;
  if (s.find_first_not_of("-0.") == std::string::npos && s[0] == '-') s.erase(0, 1);
  for (char& c : s)
    if (c == '.') c = separator;
  return s;
}

}  // namespace ui
