// Keys: the menu's shortcuts win over a line edit's own, key preview shows
// the form a key before the focused control, Enter reaches the edit's handler.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

#include "SampleForm.h"
#include "platform/qt/QtEventLoop.h"
#include "ui/qt/FormWindow.h"

namespace view_test {
namespace {

class KeysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window = std::make_unique<ui::qt::FormWindow>(form, loop);
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    edit = qobject_cast<QLineEdit*>(window->widgetFor(form.edit));
    ASSERT_NE(edit, nullptr);
    form.edit.setText("abc");
    edit->setFocus();
    form.log.clear();
  }

  platform::QtEventLoop loop;
  SampleForm form;
  std::unique_ptr<ui::qt::FormWindow> window;
  QLineEdit* edit = nullptr;
};

TEST_F(KeysTest, MenuShortcutsActWhileTheLineEditHasTheFocus) {
  form.setKeyPreview(false);
  // The Ctrl key itself reaches the edit's handler (virtual key 17), as it should.
  form.edit.onKeyDown = [this](ui::Key k) {
    if (k != 17) form.log.push_back("edit key " + std::to_string(k));
  };
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(form.log, std::vector<std::string>{"measure"});
  EXPECT_FALSE(edit->hasSelectedText());
  // Ctrl+X does not cut the text either.
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(form.log, (std::vector<std::string>{"measure", "quit"}));
  EXPECT_EQ(form.edit.text(), "abc");
  // Other keys still edit.
  edit->deselect();
  edit->end(false);
  QTest::keyClick(edit, Qt::Key_Backspace);
  EXPECT_EQ(form.edit.text(), "ab");
}

TEST_F(KeysTest, KeyPreviewShowsTheFormAFunctionKeyFirstAndTheEditStillGetsIt) {
  QTest::keyClick(edit, Qt::Key_F5);
  EXPECT_EQ(form.log, (std::vector<std::string>{"form key 116", "edit key 116"}));
  form.log.clear();
  QTest::keyClick(edit, Qt::Key_F1);
  QTest::keyClick(edit, Qt::Key_F12);
  EXPECT_EQ(form.log,
            (std::vector<std::string>{"form key 112", "edit key 112", "form key 123", "edit key 123"}));

  // Any focused control: the key reaches the form once.
  form.log.clear();
  window->widgetFor(form.button)->setFocus();
  QTest::keyClick(window->widgetFor(form.button), Qt::Key_F3);
  EXPECT_EQ(form.log, std::vector<std::string>{"form key 114"});

  form.setKeyPreview(false);
  form.log.clear();
  QTest::keyClick(edit, Qt::Key_F5);
  EXPECT_EQ(form.log, std::vector<std::string>{"edit key 116"});
}

TEST_F(KeysTest, EnterInTheLineEditReachesItsKeyHandler) {
  form.setKeyPreview(false);
  QTest::keyClick(edit, Qt::Key_Return);
  QTest::keyClick(edit, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(form.log, (std::vector<std::string>{"edit key 13", "edit key 13"}));
  EXPECT_EQ(form.edit.text(), "abc");
}

}  // namespace
}  // namespace view_test
