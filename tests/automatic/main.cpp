// The automatic measurement's tests: most run without a screen; the orders
// editor's view test needs a QApplication (on the offscreen platform).
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  // Wine passes no QT_ variable to the program: offscreen unless told otherwise.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
