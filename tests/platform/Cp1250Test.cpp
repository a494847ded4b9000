#include "platform/Cp1250.h"

#include <gtest/gtest.h>

namespace {

using namespace platform;

TEST(Cp1250, EveryByteRoundTripsThroughUtf8) {
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    EXPECT_EQ(utf8ToCp1250(cp1250ToUtf8(byte)), byte) << "byte " << b;
  }
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(utf8ToCp1250(cp1250ToUtf8(all)), all);
}

TEST(Cp1250, UndefinedBytesAreTheC1ControlsOfTheSameValue) {
  for (unsigned char b : {0x81, 0x83, 0x88, 0x90, 0x98}) {
    EXPECT_EQ(cp1250ToUnicode(b), static_cast<char32_t>(b));
    EXPECT_EQ(unicodeToCp1250(b), b);
  }
  EXPECT_EQ(cp1250ToUtf8("\x81"), "\xC2\x81");
}

TEST(Cp1250, PolishLettersAndTypographyMapToTheirBytes) {
  EXPECT_EQ(pl("ąćęłńóśźż"), "\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF");
  EXPECT_EQ(pl("ĄĆĘŁŃÓŚŹŻ"), "\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF");
  EXPECT_EQ(pl("Wyślij z&naki"), "Wy\x9Clij z&naki");
  EXPECT_EQ(pl("€ „…” – —"), "\x80 \x84\x85\x94 \x96 \x97");
  EXPECT_EQ(cp1250ToUtf8("Pomiar automatyczny zako\xF1"
                         "czony"),
            "Pomiar automatyczny zakończony");
}

TEST(Cp1250, UnmappableAndMalformedInputBecomesQuestionMarks) {
  EXPECT_EQ(pl("a中b😀c"), "a?b?c");
  EXPECT_EQ(utf8ToCp1250("a\x80"
                         "b"),
            "a?b")
      << "stray continuation byte";
  EXPECT_EQ(utf8ToCp1250("a\xC5"), "a?") << "truncated at the end";
  EXPECT_EQ(utf8ToCp1250("a\xE2\x82"
                         "b"),
            "a?b")
      << "truncated in the middle: one mark";
  EXPECT_EQ(utf8ToCp1250("\xC0\xAF\xE0\x80\xAF"), "?????") << "overlong '/' is no slash";
  EXPECT_EQ(utf8ToCp1250("\xED\xA0\x80"), "???") << "surrogate";
  EXPECT_EQ(utf8ToCp1250("\xF4\x90\x80\x80"), "????") << "past U+10FFFF";
  EXPECT_EQ(utf8ToCp1250("\xFF"
                         "x"),
            "?x");
  EXPECT_EQ(utf8ToCp1250(std::string("a\0b", 3)), std::string("a\0b", 3));
}

}  // namespace
