// The pane follows appends and clears of its model, once per batch, and
// scrolls to the end on request.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <string>

#include "ui/Memo.h"
#include "ui/qt/MemoView.h"

namespace view_test {
namespace {

TEST(MemoViewTest, FollowsAppendsAndClearAndScrollsToTheEnd) {
  ui::Memo memo("Memo1");
  memo.append("first\r\n");
  ui::qt::MemoView view(memo);
  view.setFrameInterval(0);
  view.resize(300, 200);
  view.show();
  QCoreApplication::processEvents();
  QScrollBar* v = view.verticalScrollBar();
  QScrollBar* h = view.horizontalScrollBar();
  EXPECT_EQ(v->maximum(), 0);

  // Appends in chunks that split rows; the view catches up when the loop runs.
  for (int i = 0; i < 200; ++i) {
    memo.append("S S     1");
    memo.append("23.45 g\r\n");
  }
  EXPECT_EQ(v->maximum(), 0);
  QCoreApplication::processEvents();
  const int rows = view.visibleRows();
  EXPECT_EQ(v->maximum(), 202 - rows);
  EXPECT_EQ(v->value(), 0);
  EXPECT_EQ(view.longestRow(), 16u);

  memo.scrollToEnd();
  QCoreApplication::processEvents();
  EXPECT_EQ(v->value(), v->maximum());
  EXPECT_EQ(view.firstVisibleRow() + rows, memo.lineCount());

  // A long row widens the horizontal range; the end of the last row is shown.
  memo.append(std::string(500, 'x'));
  memo.scrollToEnd();
  QCoreApplication::processEvents();
  EXPECT_EQ(view.longestRow(), 500u);
  EXPECT_GT(h->maximum(), 0);
  EXPECT_EQ(h->value(), h->maximum());
  view.grab();  // paints the visible rows straight from the model

  memo.clear();
  QCoreApplication::processEvents();
  EXPECT_EQ(v->maximum(), 0);
  EXPECT_EQ(h->maximum(), 0);
  EXPECT_EQ(view.longestRow(), 0u);

  memo.setText("one\r\ntwo\r\nthree");
  QCoreApplication::processEvents();
  EXPECT_EQ(view.longestRow(), 5u);

  // Under a flood the view waits for the frame interval; catchUp() forces it.
  view.setFrameInterval(60 * 60 * 1000);
  view.catchUp();
  memo.append("\r\nfour\r\nfive\r\nsix and more");
  QCoreApplication::processEvents();
  EXPECT_EQ(view.longestRow(), 5u);
  view.catchUp();
  EXPECT_EQ(view.longestRow(), 12u);
}

// A pane following a stream moves the rows already drawn and paints only
// what changed: what the screen shows then is what a full repaint draws.
TEST(MemoViewTest, ScreenOfAStreamMatchesAFullRepaint) {
  ui::Memo memo("Memo1");
  ui::qt::MemoView view(memo);
  view.setFrameInterval(0);
  view.resize(300, 200);
  view.show();
  QCoreApplication::processEvents();
  for (int i = 0; i < 40; ++i) {
    // The row in progress grows, then ends and the pane scrolls.
    memo.append("row " + std::to_string(i));
    QCoreApplication::processEvents();
    memo.append(std::string(static_cast<std::size_t>(i % 7), '-') + " end\r\n");
    memo.scrollToEnd();
    QCoreApplication::processEvents();
  }
  // A longer last row scrolls sideways, by less than the width, to its end.
  memo.append(std::string(45, '=') + "|");
  memo.scrollToEnd();
  QCoreApplication::processEvents();
  ASSERT_GT(view.firstVisibleRow(), 0u);
  ASSERT_GT(view.horizontalScrollBar()->value(), 0);
  QCoreApplication::processEvents();  // the repaint the last catch-up asked for
  const QImage shown =
      view.screen()->grabWindow(view.winId()).toImage().convertToFormat(QImage::Format_RGB32);
  const QImage full = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(shown, full);
}

TEST(MemoViewTest, SelectedRowsAreCopiedAsText) {
  ui::Memo memo("Memo1");
  memo.setText("one\r\ntwo\r\nthree\r\n");
  ui::qt::MemoView view(memo);
  view.resize(300, 200);
  view.show();
  QCoreApplication::processEvents();
  const int row = view.fontMetrics().lineSpacing();
  QTest::mousePress(view.viewport(), Qt::LeftButton, {}, QPoint(5, row / 2));
  QMouseEvent move(QEvent::MouseMove, QPointF(5, row + row / 2), QPointF(5, row + row / 2), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view.viewport(), &move);
  QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, QPoint(5, row + row / 2));
  EXPECT_EQ(view.selectedText(), "one\r\ntwo");
  QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "one\r\ntwo");
  memo.clear();
  EXPECT_EQ(view.selectedText(), "");
}

}  // namespace
}  // namespace view_test
