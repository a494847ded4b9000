#pragma once
// A text pane that paints only its visible rows straight from the Memo model:
// no second copy of the text. Appends only mark the view stale; it catches up
// (scroll ranges, longest row, repaint) when the event loop next runs, and at
// most once per frame interval: a change after a quiet spell (a reply) is
// shown at once, changes that keep coming (a stream, a flood) a few at a
// time. Painting costs far more than appending, nobody reads more than a few
// frames of a stream a second, and each frame of a pane that follows its end
// moves all its pixels. A catch-up paints only the rows that changed;
// scrolling moves the rows already drawn.
#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QRawFont>
#include <QTimer>
#include <array>
#include <cstddef>

#include "ui/Memo.h"

namespace ui::qt {

class MemoView : public QAbstractScrollArea, public ui::MemoListener {
  Q_OBJECT

 public:
  // Listens to memo until destroyed; the memo must outlive the view.
  explicit MemoView(ui::Memo& memo, QWidget* parent = nullptr);
  ~MemoView() override;

  void memoAppended() override;
  void memoReset() override;
  void memoScrolledToEnd() override;

  // Applies what the model changed since the last catch-up now, without
  // waiting for the event loop.
  void catchUp();
  // The model's font, colours and scroll bars changed.
  void styleChanged();
  // The least time between two catch-ups; 0 catches up at every loop turn.
  void setFrameInterval(int milliseconds) { frameInterval_ = milliseconds; }

  // The first row shown and the number of rows that fit.
  std::size_t firstVisibleRow() const;
  int visibleRows() const;
  // The longest row seen, in bytes.
  std::size_t longestRow() const { return longestRow_; }

  // The selected text (whole rows from the first to the last selected one,
  // joined by CR LF), in the model's encoding.
  std::string selectedText() const;
  void copy() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void schedule();
  void measureNewRows();
  void updateRanges();
  std::size_t rowAt(int y) const;
  void drawRow(QPainter& painter, int x, int baseline, std::string_view bytes);

  // Each byte's glyph in the pane's font (0: none) when the font is of fixed
  // pitch: a row whose bytes all have one is drawn as a run of these glyphs
  // an advance apart, without laying the text out again at every repaint.
  QRawFont rawFont_;
  std::array<quint32, 256> glyphs_{};
  qreal advance_ = 0;
  bool glyphRuns_ = false;

  ui::Memo& memo_;
  QTimer catchUpTimer_;
  QElapsedTimer sinceCatchUp_;
  int frameInterval_ = 200;
  int rowHeight_ = 1;
  int charWidth_ = 1;
  std::size_t longestRow_ = 0;
  // The model's rows at the last catch-up (0: everything is repainted).
  std::size_t shownRows_ = 0;
  bool scrollToEndPending_ = false;
  // Selected rows, as an anchor and a moving end; -1 when nothing is selected.
  long long selectionAnchor_ = -1;
  long long selectionEnd_ = -1;
};

}  // namespace ui::qt
