#include "ui/Memo.h"

namespace ui {

void Memo::setText(std::string_view text) {
  text_.clear();
  for (char c : text)
    if (c != '\0') text_ += c;
  lineStarts_.assign(1, 0);
  indexFrom(0);
  if (memoListener_) memoListener_->memoReset();
}

void Memo::append(std::string_view bytes) {
  const std::size_t from = text_.size();
  text_.reserve(from + bytes.size());
  for (char c : bytes)
    if (c != '\0') text_ += c;
  if (text_.size() == from) return;
  indexFrom(from);
  if (memoListener_) memoListener_->memoAppended(from);
}

void Memo::indexFrom(std::size_t from) {
  for (std::size_t i = from; i < text_.size(); ++i)
    if (text_[i] == '\n') lineStarts_.push_back(i + 1);
}

std::string_view Memo::line(std::size_t index) const {
  if (index >= lineStarts_.size()) return {};
  const std::size_t start = lineStarts_[index];
  std::size_t end = index + 1 < lineStarts_.size() ? lineStarts_[index + 1] - 1 : text_.size();
  if (end > start && index + 1 < lineStarts_.size() && text_[end - 1] == '\r') --end;
  return std::string_view(text_).substr(start, end - start);
}

void Memo::scrollToEnd() {
  if (memoListener_) memoListener_->memoScrolledToEnd();
}

}  // namespace ui
