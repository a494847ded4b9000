#pragma once
// A multi-line text pane. Panes grow large under a flood of data, so text is
// appended in place and the view is told what was appended (never handed a
// rebuilt text); it repaints the visible rows straight from the model.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "ui/Control.h"

namespace ui {

class MemoListener {
 public:
  virtual ~MemoListener() = default;
  // Bytes [from, text().size()) were appended.
  virtual void memoAppended(std::size_t from) = 0;
  // The whole text was replaced (cleared or set).
  virtual void memoReset() = 0;
  // The pane was scrolled so its last line is in view.
  virtual void memoScrolledToEnd() = 0;
};

class Memo : public Control {
 public:
  using Control::Control;

  const std::string& text() const { return text_; }
  // The pane's text ends at a NUL, as a Windows text control's does: a NUL
  // byte never enters it.
  void setText(std::string_view text);
  void append(std::string_view bytes);
  void append(char byte) { append(std::string_view(&byte, 1)); }
  void clear() { setText({}); }
  bool empty() const { return text_.empty(); }
  char lastChar() const { return text_.empty() ? '\0' : text_.back(); }

  // Rows are separated by LF (a CR before it belongs to the row end); the
  // text after the last LF is the last row, even when empty.
  std::size_t lineCount() const { return lineStarts_.size(); }
  std::string_view line(std::size_t index) const;
  std::size_t lineStart(std::size_t index) const { return lineStarts_[index]; }

  void scrollToEnd();
  int scrollBars() const { return scrollBars_; }

  void setMemoListener(MemoListener* listener) { memoListener_ = listener; }

 private:
  void indexFrom(std::size_t from);

  std::string text_;
  std::vector<std::size_t> lineStarts_{0};
  int scrollBars_ = 3;  // both
  MemoListener* memoListener_ = nullptr;
};

}  // namespace ui
