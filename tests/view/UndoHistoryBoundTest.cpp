// A line edit's undo history starts again once the edits since it began
// have changed more characters than the bound; the text, the cursor and the
// selection stay, and later edits can be undone again.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include "ui/qt/UndoHistoryBound.h"

namespace view_test {
namespace {

TEST(UndoHistoryBoundTest, HistoryRestartsPastTheBoundKeepingTextAndCursor) {
  QLineEdit edit;
  ui::qt::boundUndoHistory(edit, 40);
  edit.show();

  // Typing within the bound: undo works as ever.
  QTest::keyClicks(&edit, "abc");
  QCoreApplication::processEvents();
  EXPECT_TRUE(edit.isUndoAvailable());

  // Replacing the whole text counts what was removed and what came in: 3 + 30.
  edit.selectAll();
  edit.insert(QString(30, 'x'));
  QCoreApplication::processEvents();
  EXPECT_TRUE(edit.isUndoAvailable());

  // Another 12 changed characters pass the bound of 40 (3 + 30 + 12).
  edit.setSelection(4, 6);
  edit.insert("123456");
  edit.setSelection(20, -5);  // the cursor at the start of the selection
  QCoreApplication::processEvents();
  EXPECT_FALSE(edit.isUndoAvailable());
  EXPECT_EQ(edit.text(), "xxxx123456" + QString(20, 'x'));
  EXPECT_EQ(edit.selectionStart(), 15);
  EXPECT_EQ(edit.selectedText().size(), 5);
  EXPECT_EQ(edit.cursorPosition(), 15);

  // The count starts again too: new typing can be undone.
  edit.end(false);
  QTest::keyClicks(&edit, "yz");
  QCoreApplication::processEvents();
  ASSERT_TRUE(edit.isUndoAvailable());
  edit.undo();
  EXPECT_EQ(edit.text(), "xxxx123456" + QString(20, 'x'));
}

}  // namespace
}  // namespace view_test
