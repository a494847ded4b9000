#pragma once
// A multi-line text pane. Panes grow large under a flood of data, so text is
// appended in place and the view is told what was appended (never handed a
// rebuilt text); it repaints the visible rows straight from the model.
#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/Control.h"
#include "ui/HexPairs.h"

namespace ui {

class MemoListener {
 public:
  virtual ~MemoListener() = default;
  // Text was appended at the end.
  virtual void memoAppended() = 0;
  // The whole text was replaced (cleared or set).
  virtual void memoReset() = 0;
  // The pane was scrolled so its last line is in view.
  virtual void memoScrolledToEnd() = 0;
};

class Memo : public Control {
 public:
  using Control::Control;

  // The whole text in one string. A large pane is kept in parts; asking for
  // the whole text joins them once (rows and the last character do not).
  const std::string& text() const;
  // The pane's text ends at its first NUL: a NUL byte never enters it.
  void setText(std::string_view text);
  void append(std::string_view bytes);
  void append(char byte) { append(std::string_view(&byte, 1)); }
  // Bytes shown as pairs in the usual layout (see HexPairs.h), gap being the
  // pairs since the last gap before the first of them. A packed pane keeps
  // them as values and makes their text only when it is read; whole rows that
  // pile up unread are packed straight from the values.
  void appendPairs(std::string_view values, int gap);
  void clear() { setText({}); }
  bool empty() const { return size() == 0; }
  char lastChar() const;

  // Rows are separated by LF (a CR before it belongs to the row end); the
  // text after the last LF is the last row, even when empty. Reading rows in
  // order costs only their length. A row's view stays valid until the pane
  // changes or text() is called, and in a pane of packed hexadecimal pairs
  // until a row of another part is read.
  std::size_t lineCount() const {
    settled();
    return lineCount_;
  }
  std::string_view line(std::size_t index) const;
  std::size_t lineStart(std::size_t index) const;
  // The length of the longest row (as line() gives it), kept as rows end.
  std::size_t longestLine() const {
    settled();
    return std::max(longestLine_, size() - lastLineStart_);
  }

  void scrollToEnd();
  int scrollBars() const { return scrollBars_; }

  void setMemoListener(MemoListener* listener) { memoListener_ = listener; }

  // The pane shows bytes as hexadecimal pairs: its full blocks are kept
  // packed, a byte per pair (see HexPairs.h), and unpacked where read.
  void setPackedHexPairs(bool on) {
    settled();
    packHexPairs_ = on;
  }
  // The pane that shows the same bytes as characters, row for row while both
  // are filled and cleared together. A packed block takes the pairs' values
  // from that pane's rows where they agree, so a byte is not held twice;
  // where the panes differ, the values are kept as usual.
  void setPairSource(const Memo* characters) { pairSource_ = characters; }

  // Bytes the pane holds on the heap (text and line index, by capacity).
  std::size_t memoryBytes() const;

 private:
  // A flooded pane must not copy what it holds each time it grows, nor hold
  // much more than its text: up to 1 MiB the text is one string; beyond that
  // new bytes go into blocks that are never moved. A row never spans two
  // parts (the row in progress moves into a new block with it), so every row
  // is one string_view.
  struct Block {
    std::size_t base;  // offset of the block's first byte in the whole text
    std::size_t size;
    std::size_t capacity;
    std::shared_ptr<char[]> data;
    bool packed = false;  // data holds the packed form (capacity bytes) of size bytes of text
    std::size_t firstLine = 0;
    // The pair source's text a packed block takes values from.
    std::vector<SharedBytes> source;
  };
  // A known row start. The line index keeps one for every 128 rows, or
  // sooner after 16 KiB, and one where each block starts, so a row is found
  // by scanning a few kilobytes at most: a full index of a flooded pane would
  // cost more than its text.
  struct Checkpoint {
    std::size_t line;
    std::size_t offset;
  };

  std::size_t size() const {
    return (blocks_.empty() ? text_.size() : blocks_.back().base + blocks_.back().size) + deferredTextSize();
  }
  // The size of the text the deferred values will make, worked out when asked.
  std::size_t deferredTextSize() const;
  // Makes the text of pairs appended as values before the pane is read. The
  // pane's text is the same before and after, so readers may do it.
  void settled() const {
    if (!deferred_.empty()) const_cast<Memo*>(this)->settle();
  }
  void settle();
  void dropDeferred();
  void packDeferredRows();
  void firstPartToBlock();
  void appendWithoutNul(std::string_view bytes);
  void appendRun(std::string_view run);
  void appendToLastPart(std::string_view run);
  void startBlock(std::size_t extra);
  std::size_t blockSize() const;
  void pack(Block& block) const;
  // The pair source's blocks from the start of row line on, enough bytes of
  // them (none when that row is not in a block).
  std::vector<SharedBytes> sharedFrom(std::size_t line, std::size_t enough) const;
  static void keepUsed(std::vector<SharedBytes>& source, std::size_t used);
  void indexFrom(std::size_t from);
  class RowIndexer;
  // A checkpoint where the last row starts, so that a new block's rows are
  // found without reading the block before.
  void checkpointBlockStart();
  // The part holding offset: 0 for text_, i + 1 for blocks_[i].
  std::size_t partAt(std::size_t offset) const;
  std::string_view part(std::size_t index) const;
  std::size_t partBase(std::size_t index) const { return index == 0 ? 0 : blocks_[index - 1].base; }
  // The offset of the first LF at or after from; size() when there is none.
  std::size_t findLf(std::size_t from) const;

  mutable std::string text_;
  mutable std::vector<Block> blocks_;
  bool packHexPairs_ = false;
  const Memo* pairSource_ = nullptr;
  // The packed block read last, unpacked (keyed by its base), and the whole
  // text of a pane with packed blocks while it is unchanged.
  mutable std::string unpacked_;
  mutable std::size_t unpackedBase_ = 0;
  mutable bool unpackedValid_ = false;
  mutable std::string joined_;
  // Values appended as pairs whose text is not made yet: it follows the
  // parts' text, after the gap that opens a row when deferredLead_ is set.
  // Its size is counted in size(), up to deferredSized_ values so far (the
  // gap after them being sizedGap_).
  std::string deferred_;
  int deferredGap_ = 0;     // before the first value
  int deferredEndGap_ = 0;  // after the last
  bool deferredLead_ = false;
  mutable std::size_t deferredSize_ = 0;
  mutable std::size_t deferredSized_ = 0;
  mutable int sizedGap_ = 0;
  // Drops the unpacked copies (the pane changed).
  void dropUnpacked();
  std::vector<Checkpoint> checkpoints_{{0, 0}};
  std::size_t lineCount_ = 1;
  std::size_t lastLineStart_ = 0;
  std::size_t longestLine_ = 0;  // of the rows that have ended
  // The row read last, where reading the next one starts.
  mutable Checkpoint cursor_{0, 0};
  int scrollBars_ = 3;  // both
  MemoListener* memoListener_ = nullptr;
};

}  // namespace ui
