// Running statistics against a two-pass computation, and their edges.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "readings/Statistics.h"

namespace {

TEST(Statistics, AMillionHeavyReadingsKeepTheirSpread) {
  // A heavy load read to the hundredth: a naive sum of squares loses every
  // digit of this spread.
  std::mt19937_64 random(20);
  std::uniform_int_distribution<int> step(-1, 1);
  std::vector<double> values(1'000'000);
  for (double& v : values) v = 100000.01 + 0.01 * step(random);
  readings::RunningStats stats;
  for (double v : values) stats.add(v);

  long double sum = 0;
  for (double v : values) sum += v;
  const long double mean = sum / values.size();
  long double squares = 0;
  for (double v : values) squares += (v - mean) * (v - mean);
  const double stdDev = static_cast<double>(std::sqrt(squares / (values.size() - 1)));

  const readings::Summary s = stats.summary();
  EXPECT_EQ(s.count, 1'000'000);
  EXPECT_NEAR(s.mean, static_cast<double>(mean), 1e-9 * static_cast<double>(mean));
  EXPECT_NEAR(s.stdDev, stdDev, 1e-9 * stdDev);
  EXPECT_NEAR(s.rsdPercent, stdDev / static_cast<double>(mean) * 100, 1e-9 * s.rsdPercent);
  const auto [low, high] = std::minmax_element(values.begin(), values.end());
  EXPECT_EQ(s.min, *low);
  EXPECT_EQ(s.max, *high);
  EXPECT_EQ(s.range, *high - *low);
}

TEST(Statistics, FewReadingsHaveNoSpreadAZeroMeanNoRsdAndANegativeMeanAPositiveOne) {
  readings::RunningStats stats;
  EXPECT_TRUE(std::isnan(stats.summary().mean));
  stats.add(-2.5);
  EXPECT_EQ(stats.summary().mean, -2.5);
  EXPECT_TRUE(std::isnan(stats.summary().stdDev));
  stats.add(2.5);
  const readings::Summary s = stats.summary();
  EXPECT_EQ(s.mean, 0);
  EXPECT_DOUBLE_EQ(s.stdDev, std::sqrt(12.5));
  EXPECT_TRUE(std::isnan(s.rsdPercent));
  EXPECT_EQ(s.range, 5);

  // Readings below tare: the spread relative to the mean is still positive.
  stats.add(-12.5);
  stats.add(-17.5);
  const readings::Summary below = stats.summary();
  EXPECT_EQ(below.mean, -7.5);
  EXPECT_GT(below.rsdPercent, 0);
  EXPECT_DOUBLE_EQ(below.rsdPercent, below.stdDev / 7.5 * 100);
}

}  // namespace
