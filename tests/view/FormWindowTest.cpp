// The window of a form: widgets show the models and follow them; the
// operator's actions reach the models and the handlers.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <stdexcept>

#include "SampleForm.h"
#include "platform/qt/QtEventLoop.h"
#include "ui/qt/FormWindow.h"
#include "ui/qt/MemoView.h"

namespace view_test {
namespace {

using platform::pl;

// Types characters QTest has no key for, as an input method delivers them.
void typeText(QWidget* w, const QString& text) {
  for (QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(w, &press);
  }
}

class FormWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    loop.setErrorReport([this](const std::string& m) { errors.push_back(m); });
    window = std::make_unique<ui::qt::FormWindow>(form, loop);
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }
  void TearDown() override { window.reset(); }

  template <typename W>
  W* widget(const ui::Control& c) {
    auto* w = qobject_cast<W*>(window->widgetFor(c));
    EXPECT_NE(w, nullptr) << c.name();
    return w;
  }

  platform::QtEventLoop loop;
  SampleForm form;
  std::unique_ptr<ui::qt::FormWindow> window;
  std::vector<std::string> errors;
};

TEST_F(FormWindowTest, WidgetsShowTheModelsAndFollowTheirChanges) {
  EXPECT_EQ(window->windowTitle(), QString::fromUtf8("Próbne okno"));
  EXPECT_EQ(window->size(), QSize(500, 400));

  auto* label = widget<QLabel>(form.label);
  EXPECT_EQ(label->text(), QString::fromUtf8("Znaki do wysłania"));
  EXPECT_EQ(label->geometry(), QRect(10, 10, 150, 20));
  auto* button = widget<QPushButton>(form.button);
  EXPECT_EQ(button->text(), QString::fromUtf8("Wyślij z&naki"));
  EXPECT_TRUE(button->hasFocus());
  auto* check = widget<QCheckBox>(form.check);
  EXPECT_TRUE(check->isChecked());
  auto* stop = widget<QPushButton>(form.stop);
  EXPECT_FALSE(stop->isVisible());
  auto* edit = widget<QLineEdit>(form.edit);
  EXPECT_EQ(edit->palette().color(QPalette::Text), QColor(255, 0, 0));
  auto* radio = widget<QGroupBox>(form.radio);
  auto radios = radio->findChildren<QRadioButton*>();
  ASSERT_EQ(radios.size(), 2);
  EXPECT_TRUE(radios[0]->isChecked());
  EXPECT_EQ(radio->title(), QString::fromUtf8("Ciąg"));
  // A control registered under a group box sits inside it.
  EXPECT_EQ(window->widgetFor(form.inner)->parentWidget(), widget<QGroupBox>(form.group));
  // Fonts missing here fall back: a pane's font stays fixed-pitch and bold.
  auto* memo = widget<ui::qt::MemoView>(form.memo);
  EXPECT_TRUE(QFontInfo(memo->font()).fixedPitch());
  EXPECT_TRUE(memo->font().bold());

  form.label.setCaption(pl("Błąd"));
  form.label.setFontColor(ui::Color::Red);
  form.label.setColor(ui::Color::Yellow);
  form.label.setHint(pl("brak miejsca na dysku"));
  form.button.setEnabled(false);
  form.check.setChecked(false);
  form.edit.setText(pl("zażółć"));
  form.radio.setItemIndex(-1);
  form.group.setVisible(false);
  form.stop.setVisible(true);
  form.memo.setBounds(20, 110, 200, 100);
  form.setCaption("Nowy");

  EXPECT_EQ(label->text(), QString::fromUtf8("Błąd"));
  EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  EXPECT_TRUE(label->autoFillBackground());
  EXPECT_EQ(label->palette().color(QPalette::Window), QColor(255, 255, 0));
  EXPECT_EQ(label->toolTip(), QString::fromUtf8("brak miejsca na dysku"));
  EXPECT_FALSE(button->isEnabled());
  EXPECT_FALSE(check->isChecked());
  EXPECT_EQ(edit->text(), QString::fromUtf8("zażółć"));
  EXPECT_FALSE(radios[0]->isChecked());
  EXPECT_FALSE(radios[1]->isChecked());
  EXPECT_TRUE(widget<QGroupBox>(form.group)->isHidden());
  EXPECT_TRUE(stop->isVisible());
  EXPECT_EQ(memo->geometry(), QRect(20, 110, 200, 100));
  EXPECT_EQ(window->windowTitle(), "Nowy");

  // New items replace the buttons.
  form.radio.setItems({"a", "b", "c"});
  form.radio.setItemIndex(2);
  radios = radio->findChildren<QRadioButton*>();
  ASSERT_EQ(radios.size(), 3);
  EXPECT_TRUE(radios[2]->isChecked());
  // None of this ran a handler.
  EXPECT_TRUE(form.log.size() == 1 && form.log[0] == pl("change zażółć")) << form.log.size();
}

TEST_F(FormWindowTest, MenuShowsCaptionsMarksAndShortcutsFromTheModel) {
  QAction* option = window->actionFor(form.option);
  QAction* measure = window->actionFor(form.measure);
  ASSERT_TRUE(option && measure);
  EXPECT_EQ(window->menuBar()->actions().size(), 2);
  EXPECT_EQ(window->menuBar()->actions()[0]->text(), "&Plik");
  EXPECT_EQ(window->menuBar()->actions()[1]->text(), QString::fromUtf8("P&ołączenie"));
  EXPECT_TRUE(option->isCheckable() && option->isChecked());
  EXPECT_FALSE(measure->isCheckable());
  EXPECT_EQ(measure->shortcut(), QKeySequence("Ctrl+A"));

  // The handler decides the mark.
  option->trigger();
  EXPECT_FALSE(form.option.checked());
  EXPECT_FALSE(option->isChecked());
  option->trigger();
  EXPECT_TRUE(option->isChecked());
  form.toggleOption = false;
  option->trigger();
  EXPECT_TRUE(option->isChecked());
  EXPECT_EQ(form.log, (std::vector<std::string>{"option", "option", "option"}));

  form.measure.setCaption("Pomiar");
  form.measure.setEnabled(false);
  EXPECT_EQ(measure->text(), "Pomiar");
  EXPECT_FALSE(measure->isEnabled());
  window->menuBar()->actions()[1]->trigger();
  EXPECT_EQ(form.log.back(), "connection");
}

TEST_F(FormWindowTest, OperatorActionsReachTheModelAndTheHandlers) {
  QTest::mouseClick(widget<QPushButton>(form.button), Qt::LeftButton);
  EXPECT_EQ(form.log.back(), "button");

  auto* check = widget<QCheckBox>(form.check);
  QTest::mouseClick(check, Qt::LeftButton);
  EXPECT_FALSE(form.check.checked());
  EXPECT_EQ(form.log.back(), "check off");
  // A handler that sets the mark back wins over the click.
  form.check.onClick = [this] { form.check.setChecked(true); };
  QTest::mouseClick(check, Qt::LeftButton);
  EXPECT_TRUE(check->isChecked());
  EXPECT_TRUE(form.check.checked());

  auto* edit = widget<QLineEdit>(form.edit);
  edit->setFocus();
  typeText(edit, QString::fromUtf8("ał"));
  EXPECT_EQ(form.edit.text(), pl("ał"));
  EXPECT_EQ(edit->text(), QString::fromUtf8("ał"));
  EXPECT_EQ(edit->cursorPosition(), 2);
  // A character Windows-1250 lacks becomes '?', and the cursor stays put.
  edit->setCursorPosition(1);
  typeText(edit, QString::fromUtf8("Ж"));
  EXPECT_EQ(form.edit.text(), pl("a?ł"));
  EXPECT_EQ(edit->text(), "a?" + QString::fromUtf8("ł"));
  EXPECT_EQ(edit->cursorPosition(), 2);

  auto radios = widget<QGroupBox>(form.radio)->findChildren<QRadioButton*>();
  // On the round mark: the text is shorter than the button.
  QTest::mouseClick(radios[1], Qt::LeftButton, {}, QPoint(5, radios[1]->height() / 2));
  EXPECT_EQ(form.radio.itemIndex(), 1);
  EXPECT_EQ(form.log.back(), "radio 1");
}

TEST_F(FormWindowTest, AnErrorInAHandlerIsReportedAndTheWindowGoesOn) {
  form.button.onClick = [] { throw std::runtime_error("Niepoprawna liczba"); };
  auto* button = widget<QPushButton>(form.button);
  QTest::mouseClick(button, Qt::LeftButton);
  ASSERT_EQ(errors, std::vector<std::string>{"Niepoprawna liczba"});

  QTest::mouseClick(widget<QCheckBox>(form.check), Qt::LeftButton);
  EXPECT_EQ(form.log.back(), "check off");
  form.option.onClick = [] { throw std::runtime_error("menu"); };
  window->actionFor(form.option)->trigger();
  EXPECT_EQ(errors.back(), "menu");
  EXPECT_TRUE(window->actionFor(form.option)->isChecked());
  form.button.onClick = [this] { form.log.push_back("button"); };
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(form.log.back(), "button");
}

TEST_F(FormWindowTest, WindowEventsReachTheForm) {
  EXPECT_GE(form.activations, 1);

  // Maximised by the model, and the model learns the new size.
  form.log.clear();
  form.setWindowState(ui::WindowState::Maximized);
  EXPECT_TRUE(QTest::qWaitFor([&] { return window->isMaximized(); }, 2000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return form.width() > 500; }, 2000));
  EXPECT_EQ(form.width(), window->width());
  EXPECT_EQ(form.height(), window->height());
  EXPECT_NE(std::find(form.log.begin(), form.log.end(), "resize"), form.log.end());
  // Restored by the operator: the model follows; the next change maximises again.
  window->showNormal();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isMaximized(); }, 2000));
  EXPECT_EQ(form.windowState(), ui::WindowState::Normal);
  form.setWindowState(ui::WindowState::Maximized);
  EXPECT_TRUE(QTest::qWaitFor([&] { return window->isMaximized(); }, 2000));

  form.log.clear();
  window->close();
  EXPECT_EQ(form.log, std::vector<std::string>{"close"});
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(form.visible());
  form.setVisible(true);
  EXPECT_TRUE(window->isVisible());

  // A form that starts hidden shows when it becomes visible.
  SampleForm notice;
  notice.setVisible(false);
  ui::qt::FormWindow noticeWindow(notice, loop);
  EXPECT_FALSE(noticeWindow.isVisible());
  notice.setVisible(true);
  EXPECT_TRUE(noticeWindow.isVisible());
}

}  // namespace
}  // namespace view_test
