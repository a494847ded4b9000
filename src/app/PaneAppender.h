#pragma once
// Text on its way into a pane, appended in large pieces: a pane tells its
// view about every append.
#include <cstddef>
#include <string>
#include <string_view>

#include "ui/Memo.h"

namespace app {

class PaneAppender {
 public:
  // Text goes into the pane in pieces of about this size, not line by line.
  static constexpr std::size_t kAppendChunk = std::size_t{64} << 10;

  explicit PaneAppender(ui::Memo& pane) : pane_(pane) {}
  // What was read before an error stays in the pane.
  ~PaneAppender() {
    try {
      flush();
    } catch (...) {
      // A destructor must not throw; the error that unwinds goes on.
    }
  }
  PaneAppender(const PaneAppender&) = delete;
  PaneAppender& operator=(const PaneAppender&) = delete;

  void add(std::string_view text) {
    buffer_.append(text);
    if (buffer_.size() >= kAppendChunk) flush();
  }
  void add(char c) { add(std::string_view(&c, 1)); }
  // Two upper-case hexadecimal digits.
  void addHex(char b) {
    static constexpr char digits[] = "0123456789ABCDEF";
    const auto v = static_cast<unsigned char>(b);
    const char pair[2] = {digits[v >> 4], digits[v & 0x0F]};
    add(std::string_view(pair, 2));
  }
  void flush() {
    if (buffer_.empty()) return;
    pane_.append(buffer_);
    buffer_.clear();
  }

 private:
  ui::Memo& pane_;
  std::string buffer_;
};

}  // namespace app
