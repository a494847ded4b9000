// The reply reader over the shapes scales print and over hostile rows.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "readings/ReplyReader.h"

namespace {

using readings::ReadReply;
using readings::State;
using namespace std::string_literals;

struct Case {
  std::string row;
  bool hasValue;
  double value;
  int decimals;
  std::string unit;
  State state;
};

TEST(ReplyReader, ReadsTheCommonShapesAndSurvivesHostileRows) {
  const std::string manyDigits(10000, '7');
  const Case cases[] = {
      {"S S     123.45 g", true, 123.45, 2, "g", State::Stable},
      {"S D     123.47 g", true, 123.47, 2, "g", State::Unstable},
      {"S S    -  0.50 kg\r", true, -0.5, 2, "kg", State::Stable},
      {"S +", false, 0, 0, "", State::Overload},
      {"S -", false, 0, 0, "", State::Underload},
      {"ST,GS,+00123.45  g", true, 123.45, 2, "g", State::Stable},
      {"US,GS,-00001.20 lb", true, -1.2, 2, "lb", State::Unstable},
      {"OL", false, 0, 0, "", State::Overload},
      {"UL", false, 0, 0, "", State::Underload},
      {"N   +   12.345 kg", true, 12.345, 3, "kg", State::Stable},
      {"-    0.05 g ?", true, -0.05, 2, "g", State::Unstable},
      {"123.45g", true, 123.45, 2, "g", State::Stable},
      {"  1234,5 g", true, 1234.5, 1, "g", State::Stable},
      {"    250 pcs", true, 250, 0, "pcs", State::Stable},
      {"  99.9 %", true, 99.9, 1, "%", State::Stable},
      {"12.3456 ct", true, 12.3456, 4, "ct", State::Stable},
      {"42", true, 42, 0, "", State::Stable},
      // Two numbers: the last one before the unit is the weight.
      {"T 2 S 17.5 g", true, 17.5, 1, "g", State::Stable},
      {"ES", false, 0, 0, "", State::Unknown},
      {"S I", false, 0, 0, "", State::Unknown},
      // Hostile rows.
      {"", false, 0, 0, "", State::Unknown},
      {"\r", false, 0, 0, "", State::Unknown},
      {"g", false, 0, 0, "", State::Unknown},
      {manyDigits, false, 0, 0, "", State::Unknown},
      {manyDigits + " g", false, 0, 0, "", State::Unknown},
      {"S S \0\0 12.5\0g"s, true, 12.5, 1, "g", State::Stable},
      {"\0\0\0"s, false, 0, 0, "", State::Unknown},
      {"1.5 averyveryverylongword", true, 1.5, 1, "", State::Stable},
      {"5 g" + std::string(5000, ' ') + "?", true, 5, 0, "g", State::Unstable},
      {"\xB5\xB5 3 \xB5g", true, 3, 0, "\xB5g", State::Stable},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row.size() > 40 ? c.row.substr(0, 40) + "..." : c.row);
    const readings::ReplyValue v = ReadReply(c.row);
    EXPECT_EQ(v.hasValue, c.hasValue);
    EXPECT_EQ(v.state, c.state);
    EXPECT_EQ(std::string(v.unitText()), c.unit);
    if (c.hasValue) {
      EXPECT_DOUBLE_EQ(v.value, c.value);
      EXPECT_EQ(v.decimals, c.decimals);
    }
  }
}

}  // namespace
