// The "Wyniki" window on the screen: asked for again (Ctrl+W) while
// minimised, it comes back.
#include <gtest/gtest.h>

#include "platform/ManualEventLoop.h"
#include "readings/TResultsForm.h"
#include "support/ScriptedDialogs.h"
#include "ui/qt/FormWindow.h"
#include "ui/qt/WindowFront.h"

namespace {

TEST(ResultsWindowView, ShowingItAgainRestoresAMinimisedWindow) {
  platform::ManualEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
  readings::ReadingLog log;
  readings::TResultsForm results(log, loop, dialogs);
  ui::qt::FormWindow window(results, loop);
  results.BringToFront = [&window] { ui::qt::bringToFront(window); };
  results.ShowResults();
  ASSERT_TRUE(window.isVisible());
  window.showMinimized();
  ASSERT_TRUE(window.isMinimized());
  results.ShowResults();
  EXPECT_FALSE(window.isMinimized());
  EXPECT_TRUE(window.isVisible());
}

}  // namespace
