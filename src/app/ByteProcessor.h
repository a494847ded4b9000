#pragma once
// The byte processor of the main window: every received byte shown twice, as
// a character in the ASCII pane and as two hexadecimal digits in the HEX pane;
// rows broken at line feeds and at the wrap character; the first line feed
// after a send counted as a reply. Both links feed it; it also holds the
// capture file's state.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

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

  // A reply has been counted since the last send.
  bool ReplyCounted = false;
  std::int32_t ReplyCount = 0;
  // Bytes added to the HEX pane since the last row break or clear (-1 after a break).
  std::int32_t HexColumn = 0;
  // Bytes per imported HEX row: 16 in the ASCII+HEX view, 200 in the ASCII-only view.
  std::int32_t HexRowLength = 16;
  // The next byte shown starts a row of the ASCII pane (where a time stamp goes).
  bool PaneLineStart = true;

 private:
  ReceiveWindow& window_;
  ui::Memo& ascii_;
  ui::Memo& hex_;
  platform::EventLoop& loop_;
  readings::ReadingLog& readings_;
};

}  // namespace app
