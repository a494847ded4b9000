// The plot's round ticks, shared by both ways of drawing it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/Chart.h"

namespace {

std::vector<std::string> texts(const ui::AxisTicks& axis, char separator = ',') {
  std::vector<std::string> out;
  for (double v : axis.values) out.push_back(ui::tickText(v, axis.decimals, separator));
  return out;
}

TEST(ChartTicks, StepsOfOneTwoOrFiveTimesAPowerOfTenWithTheDecimalsTheyNeed) {
  using V = std::vector<std::string>;
  const struct {
    double low, high;
    bool widen;
    V ticks;
    double widenedLow, widenedHigh;
  } cases[] = {
      {0, 10, false, {"0", "2", "4", "6", "8", "10"}, 0, 10},
      {0, 1, false, {"0,0", "0,2", "0,4", "0,6", "0,8", "1,0"}, 0, 1},
      {0.3, 2.4, false, {"0,5", "1,0", "1,5", "2,0"}, 0.3, 2.4},
      {-3, 7, false, {"-2", "0", "2", "4", "6"}, -3, 7},
      // Widened out to whole steps: the y axis.
      {9.7, 13.3, true, {"9", "10", "11", "12", "13", "14"}, 9, 14},
      {-0.13, 0.07, true, {"-0,15", "-0,10", "-0,05", "0,00", "0,05", "0,10"}, -0.15, 0.1},
      {122.2155, 124.6845, true, {"122,0", "122,5", "123,0", "123,5", "124,0", "124,5", "125,0"}, 122, 125},
      {0, 0.0003, false, {"0,0000", "0,0001", "0,0002", "0,0003"}, 0, 0.0003},
      // An hour's run in seconds.
      {0, 3600, false, {"0", "1000", "2000", "3000"}, 0, 3600},
      {1e6,
       1e6 + 1,
       false,
       {"1000000,0", "1000000,2", "1000000,4", "1000000,6", "1000000,8", "1000001,0"},
       1e6,
       1e6 + 1},
      // Nothing to divide: one tick.
      {5, 5, true, {"5"}, 5, 5},
  };
  for (const auto& c : cases) {
    const ui::AxisTicks axis = ui::roundTicks(c.low, c.high, c.widen);
    EXPECT_EQ(texts(axis), c.ticks) << c.low << ".." << c.high;
    EXPECT_DOUBLE_EQ(axis.low, c.widenedLow) << c.low << ".." << c.high;
    EXPECT_DOUBLE_EQ(axis.high, c.widenedHigh) << c.low << ".." << c.high;
  }
  EXPECT_EQ(texts(ui::roundTicks(0, 1, false), '.').back(), "1.0");
  EXPECT_EQ(ui::tickText(-1e-12, 2, ','), "0,00");
}

}  // namespace
