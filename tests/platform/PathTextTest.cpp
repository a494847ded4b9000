// Paths as the operator is shown them.
#include <gtest/gtest.h>

#include "platform/PathText.h"

namespace {

TEST(PathText, ShownPathsUseTheSystemsOwnSeparator) {
  // Windows: a dialog's answer, and a folder joined by hand, both shown with
  // backslashes; a path already native and a bare name stay as they are.
  EXPECT_EQ(platform::shownPath("C:/Users/op/wagi.txt", '\\'), "C:\\Users\\op\\wagi.txt");
  EXPECT_EQ(platform::shownPath("Z:\\home\\op\\terso/orders.xml", '\\'), "Z:\\home\\op\\terso\\orders.xml");
  EXPECT_EQ(platform::shownPath("//serwer/dział/a.xml", '\\'), "\\\\serwer\\dział\\a.xml");
  EXPECT_EQ(platform::shownPath("C:\\a\\b.txt", '\\'), "C:\\a\\b.txt");
  EXPECT_EQ(platform::shownPath("wagi.txt", '\\'), "wagi.txt");
  // POSIX: a backslash is part of a name.
  EXPECT_EQ(platform::shownPath("/home/op/a\\b.txt", '/'), "/home/op/a\\b.txt");
#ifndef _WIN32
  EXPECT_EQ(platform::shownPath("/home/op/orders.xml"), "/home/op/orders.xml");
#endif
}

}  // namespace
