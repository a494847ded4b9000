// The notification window on the offscreen platform: created hidden, shown by
// a "beep" order as a window of its own with the green label, and shown
// again after the operator closed it.
#include <gtest/gtest.h>

#include <QLabel>

#include "SequencerFixture.h"
#include "ui/qt/FormWindow.h"

namespace automatic_test {
namespace {

using RemainingFormViewTest = SequencerFixture;

TEST_F(RemainingFormViewTest, ABeepShowsTheWindowAgainAfterTheOperatorClosedIt) {
  ui::qt::FormWindow window(*remaining, loop);
  EXPECT_FALSE(window.isVisible());
  fill({{"1", "beep", "1", "s", "2", "", ""}});
  start();
  advanceTo(1000);
  ASSERT_TRUE(window.isVisible());
  EXPECT_EQ(window.windowTitle(), "Powiadomienie");
  auto* label = qobject_cast<QLabel*>(window.widgetFor(remaining->Label1));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text(), "Powiadomienie");
  EXPECT_TRUE(label->font().bold());

  window.close();
  EXPECT_FALSE(remaining->showing());
  advanceTo(2000);
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(beeps, 2);
}

}  // namespace
}  // namespace automatic_test
