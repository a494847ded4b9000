#include "ui/qt/UndoHistoryBound.h"

#include <QLineEdit>
#include <QObject>
#include <algorithm>

namespace ui::qt {

namespace {

// Characters removed plus characters inserted between two texts: what lies
// between their common start and their common end.
qsizetype changedCharacters(const QString& before, const QString& after) {
  const qsizetype shorter = std::min(before.size(), after.size());
  qsizetype start = 0;
  while (start < shorter && before[start] == after[start]) ++start;
  qsizetype end = 0;
  while (end < shorter - start && before[before.size() - 1 - end] == after[after.size() - 1 - end]) ++end;
  return (before.size() - start - end) + (after.size() - start - end);
}

class UndoHistoryBound : public QObject {
 public:
  UndoHistoryBound(QLineEdit& edit, qsizetype limit)
      : QObject(&edit), edit_(edit), limit_(limit), last_(edit.text()) {
    connect(&edit, &QLineEdit::textChanged, this, [this](const QString& text) { changed(text); });
  }

 private:
  void changed(const QString& text) {
    changed_ += changedCharacters(last_, text);
    last_ = text;
    if (changed_ <= limit_ || restartQueued_) return;
    // Not inside the edit's own change: once it has finished.
    restartQueued_ = true;
    QMetaObject::invokeMethod(
        this, [this] { restart(); }, Qt::QueuedConnection);
  }

  void restart() {
    restartQueued_ = false;
    changed_ = 0;
    const int cursor = edit_.cursorPosition();
    const int selectionStart = edit_.selectionStart();
    const int selectionLength = edit_.selectionLength();
    // Setting the text, even the same one, clears the history.
    edit_.setText(edit_.text());
    if (selectionStart >= 0 && selectionLength > 0) {
      // The cursor stays at the end of the selection it was at.
      if (cursor == selectionStart)
        edit_.setSelection(selectionStart + selectionLength, -selectionLength);
      else
        edit_.setSelection(selectionStart, selectionLength);
    } else {
      edit_.setCursorPosition(cursor);
    }
  }

  QLineEdit& edit_;
  const qsizetype limit_;
  QString last_;
  qsizetype changed_ = 0;
  bool restartQueued_ = false;
};

}  // namespace

void boundUndoHistory(QLineEdit& edit, qsizetype limit) {
  new UndoHistoryBound(edit, limit);
}

}  // namespace ui::qt
