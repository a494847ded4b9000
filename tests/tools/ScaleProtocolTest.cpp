#include "ScaleProtocol.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using scale::Exchange;
using scale::formatWeightLine;
using scale::ScaleProtocol;
using scale::WeightDrift;

std::string replies(const std::vector<Exchange>& exchanges) {
  std::string all;
  for (const Exchange& e : exchanges) all += e.reply;
  return all;
}

TEST(ScaleWeightLine, RightAlignsTheWeightInTenCharacters) {
  EXPECT_EQ(formatWeightLine(12345), "S S     123.45 g\r\n");
  EXPECT_EQ(formatWeightLine(5), "S S       0.05 g\r\n");
  EXPECT_EQ(formatWeightLine(0), "S S       0.00 g\r\n");
  EXPECT_EQ(formatWeightLine(-123), "S S      -1.23 g\r\n");
  EXPECT_EQ(formatWeightLine(-7), "S S      -0.07 g\r\n");
  EXPECT_EQ(formatWeightLine(123456789), "S S 1234567.89 g\r\n");
}

TEST(ScaleProtocol, AnswersOrdersEndedByCrLfOrEither) {
  WeightDrift drift;
  ScaleProtocol protocol(drift);
  const std::string line = formatWeightLine(drift.current());
  for (const char* order : {"SI\r\n", "SI\n", "SI\r", "\r\n\r\nSI\n\n"}) {
    const auto exchanges = protocol.receive(order);
    ASSERT_EQ(exchanges.size(), 1u) << order;
    EXPECT_EQ(exchanges[0].order, "SI");
    EXPECT_EQ(exchanges[0].reply, line);
  }
  // An order split across reads, the CR LF too.
  EXPECT_TRUE(protocol.receive("S").empty());
  EXPECT_TRUE(protocol.receive("I").empty());
  EXPECT_EQ(replies(protocol.receive("\r")), line);
  EXPECT_TRUE(protocol.receive("\n").empty());
  // Several orders in one read, answered in order.
  EXPECT_EQ(replies(protocol.receive("SI\r\nXY\r\nSI\r\n")), line + "ES\r\n" + line);
  // No terminator yet: no answer.
  EXPECT_TRUE(protocol.receive("SI").empty());
}

TEST(ScaleProtocol, SiGivesTheWeightNowAndSTheNextStableOne) {
  WeightDrift drift(10000, 7);
  WeightDrift twin(10000, 7);
  ScaleProtocol protocol(drift);
  EXPECT_EQ(replies(protocol.receive("SI\r\nSI\r\n")), formatWeightLine(10000) + formatWeightLine(10000));
  const std::int64_t next = twin.advance();
  EXPECT_EQ(replies(protocol.receive("S\r\n")), formatWeightLine(next));
  EXPECT_EQ(replies(protocol.receive("SI\r\n")), formatWeightLine(next));
  EXPECT_EQ(protocol.streamLine(), formatWeightLine(twin.advance()));
}

TEST(ScaleProtocol, UnknownOrdersGetTheErrorLine) {
  WeightDrift drift;
  ScaleProtocol protocol(drift);
  for (const char* order : {"si\r\n", "SIX\r\n", " SI\r\n", "Z\r\n", "\x01\xff\r\n"}) {
    const auto exchanges = protocol.receive(order);
    ASSERT_EQ(exchanges.size(), 1u) << order;
    EXPECT_EQ(exchanges[0].reply, "ES\r\n") << order;
  }
}

TEST(ScaleProtocol, AnOverlongOrderIsDroppedWithOneErrorAndTheLineRecovers) {
  WeightDrift drift;
  ScaleProtocol protocol(drift);
  const std::string junk(10 * ScaleProtocol::kMaxOrder, 'x');
  auto exchanges = protocol.receive(junk);
  ASSERT_EQ(exchanges.size(), 1u);
  EXPECT_EQ(exchanges[0].reply, "ES\r\n");
  // The rest of the junk up to its end is ignored, then orders work again.
  EXPECT_TRUE(protocol.receive(junk + "SI").empty());
  EXPECT_EQ(replies(protocol.receive("\r\nSI\r\n")), formatWeightLine(drift.current()));

  // An order of exactly the longest length is still an order.
  const std::string longest(ScaleProtocol::kMaxOrder, 'y');
  exchanges = protocol.receive(longest + "\r\n");
  ASSERT_EQ(exchanges.size(), 1u);
  EXPECT_EQ(exchanges[0].order, longest);
}

TEST(ScaleProtocol, ResetForgetsAPartOrder) {
  WeightDrift drift;
  ScaleProtocol protocol(drift);
  EXPECT_TRUE(protocol.receive("XX").empty());
  protocol.reset();
  EXPECT_EQ(replies(protocol.receive("SI\r\n")), formatWeightLine(drift.current()));
}

TEST(WeightDrift, WandersSlowlyWithinItsRangeAndRepeatsForASeed) {
  WeightDrift drift(12345, 3);
  WeightDrift twin(12345, 3);
  std::int64_t low = drift.current(), high = drift.current(), previous = drift.current();
  for (int i = 0; i < 100000; ++i) {
    const std::int64_t w = drift.advance();
    ASSERT_LE(std::llabs(w - previous), WeightDrift::kMaxStep);
    ASSERT_EQ(w, twin.advance());
    low = std::min(low, w);
    high = std::max(high, w);
    previous = w;
  }
  EXPECT_GE(low, 12345 - WeightDrift::kRange);
  EXPECT_LE(high, 12345 + WeightDrift::kRange);
  EXPECT_GT(high - low, 100);  // it does move
}

}  // namespace
