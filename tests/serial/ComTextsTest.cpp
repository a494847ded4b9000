// The text forms of the port's settings: what the ini file and the setup
// dialog show, and how unrecognised text falls back.
#include <gtest/gtest.h>

#include "serial/ComTexts.h"

namespace {

using namespace serial;

TEST(ComTexts, EveryValueReadsBackFromItsTextInAnyLetterCase) {
  const char* baud[] = {"Custom", "110",   "300",   "600",   "1200",  "2400",   "4800",   "9600",
                        "14400",  "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
  for (int i = brCustom; i <= br256000; ++i) {
    EXPECT_EQ(BaudRateText(static_cast<TBaudRate>(i)), baud[i]);
    EXPECT_EQ(BaudRateFromText(baud[i]), i);
  }
  EXPECT_EQ(BaudRateFromText("cUSTOM"), brCustom);
  for (int i = sbOneStopBit; i <= sbTwoStopBits; ++i)
    EXPECT_EQ(StopBitsFromText(StopBitsText(static_cast<TStopBits>(i))), i);
  EXPECT_EQ(StopBitsText(sbOne5StopBits), "1.5");
  for (int i = dbFive; i <= dbEight; ++i)
    EXPECT_EQ(DataBitsFromText(DataBitsText(static_cast<TDataBits>(i))), i);
  EXPECT_EQ(DataBitsText(dbFive), "5");
  EXPECT_EQ(ParityText(prSpace), "Space");
  EXPECT_EQ(ParityFromText("even"), prEven);
  EXPECT_EQ(ParityFromText("MARK"), prMark);
  EXPECT_EQ(FlowControlText(fcHardware), "Hardware");
  EXPECT_EQ(FlowControlFromText("software"), fcSoftware);
  EXPECT_EQ(FlowControlFromText("NONE"), fcNone);
  EXPECT_EQ(RTSControlText(rtsToggle), "Toggle");
  EXPECT_EQ(RTSControlFromText("handshake"), rtsHandshake);
  EXPECT_EQ(DTRControlText(dtrHandshake), "Handshake");
  EXPECT_EQ(DTRControlFromText("ENABLE"), dtrEnable);
}

TEST(ComTexts, TextThatMatchesNothingGivesTheFallback) {
  EXPECT_EQ(BaudRateFromText("9600x"), br9600);
  EXPECT_EQ(BaudRateFromText(" 19200"), br9600);
  EXPECT_EQ(BaudRateFromText(""), br9600);
  EXPECT_EQ(StopBitsFromText("1,5"), sbOneStopBit);
  EXPECT_EQ(DataBitsFromText("9"), dbEight);
  EXPECT_EQ(ParityFromText("Evens"), prNone);
  EXPECT_EQ(FlowControlFromText("RTS/CTS"), fcCustom);
  EXPECT_EQ(RTSControlFromText("on"), rtsDisable);
  EXPECT_EQ(DTRControlFromText("Toggle"), dtrDisable);  // DTR has no toggle
  EXPECT_EQ(BaudRateText(static_cast<TBaudRate>(99)), "");
}

TEST(ComTexts, CharactersAsThemselvesOrAsHashAndCode) {
  EXPECT_EQ(CharText(13), "#13");
  EXPECT_EQ(CharText(0), "#0");
  EXPECT_EQ(CharText(32), "#32");
  EXPECT_EQ(CharText(33), "!");
  EXPECT_EQ(CharText('A'), "A");
  EXPECT_EQ(CharText('#'), "#");
  EXPECT_EQ(CharText(127), "\x7F");
  EXPECT_EQ(CharText(128), "#128");
  EXPECT_EQ(CharText(255), "#255");

  EXPECT_EQ(CharFromText("#13"), 13);
  EXPECT_EQ(CharFromText("A"), 'A');
  EXPECT_EQ(CharFromText("#"), 35);
  EXPECT_EQ(CharFromText("#x"), 0);
  EXPECT_EQ(CharFromText("#300"), 44);  // only the low 8 bits count
  EXPECT_EQ(CharFromText("#0x11"), 17);
  EXPECT_EQ(CharFromText("#-1"), 255);
  EXPECT_EQ(CharFromText(""), 0);
  EXPECT_EQ(CharFromText("Abc"), 'A');
  for (int c = 0; c < 256; ++c) EXPECT_EQ(CharFromText(CharText(static_cast<unsigned char>(c))), c);
}

TEST(ComTexts, OnlyYesIsTrue) {
  EXPECT_EQ(YesNoText(true), "Yes");
  EXPECT_EQ(YesNoText(false), "No");
  EXPECT_TRUE(YesNoFromText("Yes"));
  EXPECT_TRUE(YesNoFromText("yEs"));
  EXPECT_TRUE(YesNoFromText("YES"));
  EXPECT_FALSE(YesNoFromText("true"));
  EXPECT_FALSE(YesNoFromText("True"));
  EXPECT_FALSE(YesNoFromText("1"));
  EXPECT_FALSE(YesNoFromText("y"));
  EXPECT_FALSE(YesNoFromText("Yes "));
}

TEST(ComTexts, IntegersInDecimalOrHexadecimal) {
  EXPECT_EQ(IntegerFromText("31250"), 31250);
  EXPECT_EQ(IntegerFromText("-1"), -1);
  EXPECT_EQ(IntegerFromText("+7"), 7);
  EXPECT_EQ(IntegerFromText("0x400"), 1024);
  EXPECT_EQ(IntegerFromText("0XfF"), 255);
  EXPECT_EQ(IntegerFromText("0xFFFFFFFF"), -1);
  EXPECT_EQ(IntegerFromText("2147483647"), 2147483647);
  EXPECT_EQ(IntegerFromText("-2147483648"), INT32_MIN);
  EXPECT_EQ(IntegerFromText("2147483648"), std::nullopt);
  EXPECT_EQ(IntegerFromText("0x100000000"), std::nullopt);
  EXPECT_EQ(IntegerFromText(""), std::nullopt);
  EXPECT_EQ(IntegerFromText("0x"), std::nullopt);
  EXPECT_EQ(IntegerFromText("-"), std::nullopt);
  EXPECT_EQ(IntegerFromText("12a"), std::nullopt);
  EXPECT_EQ(IntegerFromText("1 2"), std::nullopt);
  EXPECT_EQ(IntegerFromText("0x1G"), std::nullopt);
  EXPECT_EQ(IntegerFromText("99999999999999999999"), std::nullopt);
}

}  // namespace
