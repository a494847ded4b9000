// The "Wyniki" window on the screen: asked for again (Ctrl+W) while
// minimised, it comes back; its plant link button opens the link's settings
// as a real dialog, and what is typed there starts the link.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <chrono>

#include "platform/ManualEventLoop.h"
#include "platform/qt/QtEventLoop.h"
#include "readings/ProgramSettings.h"
#include "readings/TResultsForm.h"
#include "support/LoopbackServer.h"
#include "support/MemoryPublishQueue.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "support/WhenShown.h"
#include "ui/qt/FormWindow.h"
#include "ui/qt/QtDialogs.h"
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

TEST(ResultsWindowView, ThePlantLinkButtonOpensItsSettingsDialogAndSavingStartsTheLink) {
  testing_support::TempDir dir;
  platform::QtEventLoop loop;
  ui::qt::QtDialogs dialogs(loop);
  readings::ReadingLog log;
  readings::ProgramSettings settings(dir.path().string());
  testing_support::MemoryPublishQueue queue;
  readings::PlantLink link(queue, loop);
  readings::TResultsForm results(log, loop, dialogs);
  results.attach(nullptr, &settings, &link);
  ui::qt::FormWindow window(results, loop);
  results.ShowResults();
  auto* button = qobject_cast<QPushButton*>(window.widgetFor(results.btnPlantLink));
  ASSERT_NE(button, nullptr);
  ASSERT_TRUE(button->isVisible());

  const readings::TPlantLinkForm& form = results.PlantLinkForm;
  bool shown = false;
  testing_support::whenShown("PlantLinkForm", [&](ui::qt::FormDialog* d) {
    shown = true;
    EXPECT_EQ(d->windowTitle(), QString::fromUtf8("Wysyłanie odczytów do zakładu (MQTT)"));
    auto* password = qobject_cast<QLineEdit*>(d->widgetFor(form.EditPassword));
    ASSERT_NE(password, nullptr);
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    qobject_cast<QCheckBox*>(d->widgetFor(form.cbEnabled))->click();
    const auto type = [&](const ui::Edit& edit, const QString& text) {
      auto* line = qobject_cast<QLineEdit*>(d->widgetFor(edit));
      line->clear();
      QTest::keyClicks(line, text);
    };
    type(form.EditHost, "127.0.0.1");
    type(form.EditPort, QString::number(testing_support::LoopbackServer::closedPort()));
    type(form.EditStation, "st1");
    qobject_cast<QPushButton*>(d->widgetFor(form.btnSave))->click();
  });
  button->click();
  QCoreApplication::processEvents();
  ASSERT_TRUE(shown);
  EXPECT_EQ(settings.plantLink().host, "127.0.0.1");
  EXPECT_EQ(settings.plantLink().station, "st1");
  // Nothing listens there: the link says so, and the window shows it.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (link.state() != readings::LinkState::Unreachable && std::chrono::steady_clock::now() < until)
    QTest::qWait(10);
  QCoreApplication::processEvents();
  EXPECT_EQ(results.LabelPlantLink.caption(), link.stateText());
  EXPECT_EQ(link.state(), readings::LinkState::Unreachable);
}

}  // namespace
