#include "ui/qt/MemoView.h"

#include <QApplication>
#include <QClipboard>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <climits>

#include "platform/Cp1250.h"
#include "ui/qt/PaneScrollBar.h"
#include "ui/qt/QtText.h"

namespace ui::qt {

namespace {

int clampToInt(unsigned long long v) {
  return v > INT_MAX ? INT_MAX : static_cast<int>(v);
}

// A byte as shown: control characters take a blank cell so that the columns
// of a fixed font stay aligned.
QChar shownChar(unsigned char byte) {
  return byte < 0x20 ? QChar(u' ') : QChar(static_cast<char16_t>(platform::cp1250ToUnicode(byte)));
}

QString shownText(std::string_view bytes) {
  QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  QChar* out = text.data();
  for (char c : bytes) *out++ = shownChar(static_cast<unsigned char>(c));
  return text;
}

}  // namespace

MemoView::MemoView(ui::Memo& memo, QWidget* parent) : QAbstractScrollArea(parent), memo_(memo) {
  catchUpTimer_.setSingleShot(true);
  connect(&catchUpTimer_, &QTimer::timeout, this, &MemoView::catchUp);
  setVerticalScrollBar(new PaneScrollBar(Qt::Vertical));
  setHorizontalScrollBar(new PaneScrollBar(Qt::Horizontal));
  // A pane that follows a stream changes a bar's range at every row. The bars
  // fill the boxes that hold them, so nothing beneath a bar (the box, the
  // pane's frame, the window) is painted again when it moves; and they are
  // always on or always off (styleChanged), so the scroll area need not lay
  // itself out again, as it otherwise does (repainting the bars and the
  // frame) after each change of a range.
  for (QScrollBar* bar : {verticalScrollBar(), horizontalScrollBar()}) {
    bar->parentWidget()->setAttribute(Qt::WA_OpaquePaintEvent);
    disconnect(bar, SIGNAL(rangeChanged(int, int)), this, SLOT(_q_showOrHideScrollBars()));
  }
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setAutoFillBackground(true);
  viewport()->setBackgroundRole(QPalette::Base);
  styleChanged();
  memo_.setMemoListener(this);
  memoReset();
  catchUp();
}

MemoView::~MemoView() {
  memo_.setMemoListener(nullptr);
}

void MemoView::memoAppended() {
  schedule();
}

void MemoView::memoReset() {
  longestRow_ = 0;
  shownRows_ = 0;
  selectionAnchor_ = selectionEnd_ = -1;
  schedule();
}

void MemoView::memoScrolledToEnd() {
  scrollToEndPending_ = true;
  schedule();
}

void MemoView::schedule() {
  if (catchUpTimer_.isActive()) return;
  const qint64 since = sinceCatchUp_.isValid() ? sinceCatchUp_.elapsed() : frameInterval_;
  catchUpTimer_.start(since >= frameInterval_ ? 0 : static_cast<int>(frameInterval_ - since));
}

void MemoView::catchUp() {
  catchUpTimer_.stop();
  sinceCatchUp_.start();
  // Rows from the last one shown before on are new or grew; the rows above
  // are unchanged and only move when the view scrolls (the pixels move).
  const std::size_t firstChanged = shownRows_ == 0 ? 0 : shownRows_ - 1;
  shownRows_ = memo_.lineCount();
  measureNewRows();
  updateRanges();
  if (scrollToEndPending_) {
    scrollToEndPending_ = false;
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    // Show the end of the last row, as a caret placed there would be.
    const std::size_t lastRow = memo_.lineCount() - 1;
    const int end = clampToInt(static_cast<unsigned long long>(memo_.line(lastRow).size()) * charWidth_);
    const int width = viewport()->width();
    horizontalScrollBar()->setValue(end < width ? 0 : end - width + charWidth_);
  }
  const std::size_t first = firstVisibleRow();
  // The rows from the first changed one to the last; the empty space below
  // the last row is already blank.
  const long long top = firstChanged <= first ? 0 : static_cast<long long>(firstChanged - first) * rowHeight_;
  const long long bottom = static_cast<long long>(shownRows_ - first) * rowHeight_;
  const int height = viewport()->height();
  if (top < height)
    viewport()->update(0, static_cast<int>(top), viewport()->width(),
                       static_cast<int>(std::min<long long>(bottom, height) - top));
}

void MemoView::measureNewRows() {
  // The model keeps its longest row: no row is read for it.
  longestRow_ = memo_.longestLine();
}

void MemoView::styleChanged() {
  const QFontMetrics metrics(font());
  rowHeight_ = std::max(1, metrics.lineSpacing());
  charWidth_ = std::max(1, metrics.horizontalAdvance(QLatin1Char('M')));
  rawFont_ = QRawFont::fromFont(font());
  QString all(256, Qt::Uninitialized);
  for (int b = 0; b < 256; ++b) all[b] = shownChar(static_cast<unsigned char>(b));
  const QList<quint32> glyphs = rawFont_.isValid() ? rawFont_.glyphIndexesForString(all) : QList<quint32>();
  glyphRuns_ = QFontInfo(font()).fixedPitch() && glyphs.size() == 256;
  for (int b = 0; glyphRuns_ && b < 256; ++b) {
    // The layout draws no glyph for a format character (the soft hyphen).
    const bool format = all[b].category() == QChar::Other_Format;
    glyphs_[static_cast<std::size_t>(b)] = format ? 0 : glyphs[b];
  }
  // The advance the text layout uses, so that a run looks as laid-out text.
  advance_ = QFontMetricsF(font()).horizontalAdvance(QLatin1Char('M'));
  const int bars = memo_.scrollBars();
  setHorizontalScrollBarPolicy(bars & 1 ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(bars & 2 ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  updateRanges();
  viewport()->update();
}

int MemoView::visibleRows() const {
  return std::max(1, viewport()->height() / rowHeight_);
}

std::size_t MemoView::firstVisibleRow() const {
  return static_cast<std::size_t>(std::max(0, verticalScrollBar()->value()));
}

void MemoView::updateRanges() {
  const int rows = visibleRows();
  const int count = clampToInt(memo_.lineCount());
  QScrollBar* v = verticalScrollBar();
  v->setRange(0, std::max(0, count - rows));
  v->setPageStep(rows);
  v->setSingleStep(1);

  QScrollBar* h = horizontalScrollBar();
  const int textWidth = clampToInt(static_cast<unsigned long long>(longestRow_) * charWidth_ + charWidth_);
  h->setRange(0, std::max(0, textWidth - viewport()->width()));
  h->setPageStep(std::max(1, viewport()->width()));
  h->setSingleStep(charWidth_);
}

void MemoView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  painter.setFont(font());
  const QFontMetrics metrics(font());
  const std::size_t first = firstVisibleRow();
  const std::size_t count = memo_.lineCount();
  // Only the rows the repaint reaches: a stream repaints its newest row.
  const QRect area = event->rect();
  const int fromRow = std::max(0, area.top() / rowHeight_);
  const int rows = area.bottom() / rowHeight_ + 1;
  const int xOffset = horizontalScrollBar()->value();
  // Only the columns in view are converted and drawn: a row may be megabytes
  // long when the scale sends no line feeds.
  const std::size_t firstColumn = static_cast<std::size_t>(xOffset / charWidth_);
  const std::size_t columns = static_cast<std::size_t>(viewport()->width() / charWidth_ + 2);
  const long long selFrom = std::min(selectionAnchor_, selectionEnd_);
  const long long selTo = std::max(selectionAnchor_, selectionEnd_);
  const QPalette& pal = palette();

  for (int r = fromRow; r < rows; ++r) {
    const std::size_t index = first + static_cast<std::size_t>(r);
    if (index >= count) break;
    const int top = r * rowHeight_;
    const bool selected =
        selFrom >= 0 && static_cast<long long>(index) >= selFrom && static_cast<long long>(index) <= selTo;
    if (selected) painter.fillRect(QRect(0, top, viewport()->width(), rowHeight_), pal.highlight());
    const std::string_view row = memo_.line(index);
    if (firstColumn >= row.size()) continue;
    painter.setPen(selected ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text));
    const int x = static_cast<int>(firstColumn) * charWidth_ - xOffset;
    drawRow(painter, x, top + metrics.ascent(), row.substr(firstColumn, columns));
  }
}

void MemoView::drawRow(QPainter& painter, int x, int baseline, std::string_view bytes) {
  QList<quint32> indexes(static_cast<qsizetype>(bytes.size()));
  QList<QPointF> positions(static_cast<qsizetype>(bytes.size()));
  for (std::size_t i = 0; glyphRuns_ && i < bytes.size(); ++i) {
    const quint32 glyph = glyphs_[static_cast<unsigned char>(bytes[i])];
    // A byte the font has no glyph for is drawn from a fallback font by
    // the text layout.
    if (glyph == 0) {
      painter.drawText(x, baseline, shownText(bytes));
      return;
    }
    indexes[static_cast<qsizetype>(i)] = glyph;
    positions[static_cast<qsizetype>(i)] = QPointF(static_cast<qreal>(i) * advance_, 0);
  }
  if (!glyphRuns_) {
    painter.drawText(x, baseline, shownText(bytes));
    return;
  }
  QGlyphRun run;
  run.setRawFont(rawFont_);
  run.setGlyphIndexes(indexes);
  run.setPositions(positions);
  painter.drawGlyphRun(QPointF(x, baseline), run);
}

void MemoView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  updateRanges();
}

void MemoView::scrollContentsBy(int dx, int dy) {
  // The rows already drawn move; only what comes into view is painted.
  viewport()->scroll(dx, dy * rowHeight_);
}

std::size_t MemoView::rowAt(int y) const {
  const long long row = static_cast<long long>(firstVisibleRow()) + std::max(0, y) / rowHeight_;
  return static_cast<std::size_t>(std::min<long long>(row, static_cast<long long>(memo_.lineCount()) - 1));
}

void MemoView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    selectionAnchor_ = selectionEnd_ = static_cast<long long>(rowAt(event->position().toPoint().y()));
    viewport()->update();
    event->accept();
    return;
  }
  QAbstractScrollArea::mousePressEvent(event);
}

void MemoView::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
}

void MemoView::mouseMoveEvent(QMouseEvent* event) {
  if ((event->buttons() & Qt::LeftButton) && selectionAnchor_ >= 0) {
    selectionEnd_ = static_cast<long long>(rowAt(event->position().toPoint().y()));
    viewport()->update();
  }
}

void MemoView::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    copy();
    return;
  }
  if (event->modifiers() & Qt::ControlModifier) {
    if (event->key() == Qt::Key_Home) {
      verticalScrollBar()->setValue(0);
      return;
    }
    if (event->key() == Qt::Key_End) {
      verticalScrollBar()->setValue(verticalScrollBar()->maximum());
      return;
    }
  }
  QAbstractScrollArea::keyPressEvent(event);
}

std::string MemoView::selectedText() const {
  if (selectionAnchor_ < 0) return {};
  const auto from = static_cast<std::size_t>(std::min(selectionAnchor_, selectionEnd_));
  const auto to =
      std::min(static_cast<std::size_t>(std::max(selectionAnchor_, selectionEnd_)), memo_.lineCount() - 1);
  std::string text;
  for (std::size_t i = from; i <= to; ++i) {
    if (i > from) text += "\r\n";
    text += memo_.line(i);
  }
  return text;
}

void MemoView::copy() const {
  const std::string text = selectedText();
  if (!text.empty()) QApplication::clipboard()->setText(toQt(text));
}

}  // namespace ui::qt
