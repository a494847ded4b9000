// The pane follows appends and clears of its model, once per batch, and
// scrolls to the end on request.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <string>

#include "platform/Cp1250.h"
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

// A pane in a font of fixed pitch draws its rows from the glyphs of each
// byte; what it shows is what laying the text out draws, for every byte
// (those the font has no glyph for too) and with control bytes as blanks.
TEST(MemoViewTest, RowsInAFixedFontLookAsLaidOutText) {
  ui::Memo memo("Memo1");
  std::vector<std::string> rows = {"S S     123.45 g", "\x01\x02tab\tend\x7f"};
  for (int from = 0x20; from < 0x100; from += 16) {
    std::string row;
    for (int b = from; b < from + 16; ++b) row += static_cast<char>(b);
    rows.push_back(row);
  }
  for (const std::string& row : rows) memo.append(row + "\r\n");
  ui::qt::MemoView view(memo);
  QFont font("DejaVu Sans Mono", 8);
  font.setBold(true);
  view.setFont(font);
  view.styleChanged();
  view.setFrameInterval(0);
  view.resize(400, 300);
  view.show();
  QCoreApplication::processEvents();
  const QImage shown = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);

  QImage laidOut(shown.size(), QImage::Format_RGB32);
  laidOut.fill(view.viewport()->palette().color(QPalette::Base));
  QPainter painter(&laidOut);
  painter.setFont(font);
  painter.setPen(view.palette().color(QPalette::Text));
  const QFontMetrics metrics(font);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    QString text;
    for (const char c : rows[i]) {
      const auto byte = static_cast<unsigned char>(c);
      text += byte < 0x20 ? QChar(u' ') : QChar(static_cast<char16_t>(platform::cp1250ToUnicode(byte)));
    }
    painter.drawText(0, static_cast<int>(i) * metrics.lineSpacing() + metrics.ascent(), text);
  }
  painter.end();
  EXPECT_EQ(shown, laidOut);
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
