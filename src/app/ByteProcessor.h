#pragma once
// The byte processor of the main window: every received byte shown twice, as
// a character in the ASCII pane and as two hexadecimal digits in the HEX pane;
// rows broken at line feeds and at the wrap character; the first line feed
// after a send counted as a reply; finished rows handed to the capture file.
// Both links feed it. It needs two pane models and a ReceiveWindow, no more.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/PaneAppender.h"
#include "platform/EventLoop.h"
#include "readings/ReadingLog.h"
#include "ui/Memo.h"

namespace app {

// The controls the byte processor reads for each byte. Only the handlers it
// calls out to can change them within a chunk, so they are read at the start
// and again after each such call.
struct ReceiveSettings {
  bool wrapRows = false;
  bool wrapTextSet = false;
  char wrapFirst = 0;
  bool wrapByValue = false;
  char wrapValue = 0;
  int wrapPosition = 0;
  bool insertTime = false;
  bool checkLine = false;
  // Finished rows go to the capture file (one is chosen); otherwise
  // storeRow is not called.
  bool storeRows = false;

  // The wrap text as the operator typed it: its first character wraps, and
  // a text that begins with "$" also wraps at the low byte of its number.
  void setWrapText(std::string_view text);

  bool wraps(char b) const {
    return wrapRows && wrapTextSet && (b == wrapFirst || (wrapByValue && b == wrapValue));
  }
};

// What the byte processor needs of the window around it.
class ReceiveWindow {
 public:
  virtual ReceiveSettings receiveSettings() const = 0;
  // A reply was counted: the counts go to the status texts.
  virtual void showReplyCount() = 0;
  // A row is complete: the text of both panes with it (what they held
  // before it, then the row). True when the capture file took it, and the
  // panes are then emptied; otherwise it stays in them. Called only while
  // storeRows is set.
  virtual bool storeRow(std::string_view ascii, std::string_view hex) = 0;
  // The line error check, run per byte while it is enabled.
  virtual void checkLine() = 0;

 protected:
  ~ReceiveWindow() = default;
};

class ByteProcessor {
 public:
  ByteProcessor(ReceiveWindow& window, ui::Memo& ascii, ui::Memo& hex, platform::EventLoop& loop,
                readings::ReadingLog& readings);

  void ProcessReceived(const std::string& data, std::size_t count);

  // A send went out: the next line feed counts as its reply.
  void awaitReply() { replyCounted_ = false; }
  // The count back to 0, with no reply awaited before the next send.
  void resetReplies() {
    replyCounted_ = true;
    replyCount_ = 0;
  }
  std::int32_t replyCount() const { return replyCount_; }
  // A reply has been counted since the last send.
  bool replyCounted() const { return replyCounted_; }

  // As at start-up: a new HEX row, rows of 16 imported bytes, a new ASCII row.
  void restart();
  // The HEX pane starts a new row (its panes were emptied, the view changed).
  void restartHexRow() { hexColumn_ = 0; }
  // Imported HEX rows: 200 bytes in the ASCII-only view, 16 in the ASCII+HEX view.
  void setAsciiOnly(bool asciiOnly) { hexRowLength_ = asciiOnly ? 200 : 16; }
  std::int32_t hexRowLength() const { return hexRowLength_; }
  // Bytes added to the HEX pane since the last row break or clear (-1 after a break).
  std::int32_t hexColumn() const { return hexColumn_; }
  // The next byte shown starts a row of the ASCII pane (where a time stamp goes).
  bool paneLineStart() const { return paneLineStart_; }

  // One line of an imported file, as if its bytes had been received: a row
  // of the ASCII pane, and the HEX pane's rows grouped by four bytes.
  void importLine(std::string_view line, PaneAppender& ascii, PaneAppender& hex);

 private:
  // One chunk on its way through.
  class Chunk;

  ReceiveWindow& window_;
  ui::Memo& ascii_;
  ui::Memo& hex_;
  platform::EventLoop& loop_;
  readings::ReadingLog& readings_;
  bool replyCounted_ = false;
  std::int32_t replyCount_ = 0;
  std::int32_t hexColumn_ = 0;
  std::int32_t hexRowLength_ = 16;
  bool paneLineStart_ = true;
};

}  // namespace app
