#include "ui/Memo.h"

#include <algorithm>
#include <cstring>

#include "platform/FindByte.h"
#include "platform/PageMemory.h"

namespace ui {

namespace {

constexpr std::size_t kLinesPerCheckpoint = 128;
constexpr std::size_t kBytesPerCheckpoint = std::size_t{16} << 10;
constexpr std::size_t kBlockSize = std::size_t{1} << 20;
// Packed panes fill smaller blocks: only the last one and the one read last
// are held as text.
constexpr std::size_t kPackedBlockSize = std::size_t{256} << 10;
// A pane set to a much shorter text gives a large buffer back.
constexpr std::size_t kKeepCapacity = std::size_t{64} << 10;
// Values appended as pairs and not read for this long are packed as whole
// rows, all but the newest (a view shows those next).
constexpr std::size_t kPackDeferredAt = std::size_t{256} << 10;
constexpr std::size_t kKeepDeferred = std::size_t{16} << 10;

// The last c in bytes, or null.
const void* memrchrOf(std::string_view bytes, char c) {
  for (std::size_t i = bytes.size(); i > 0; --i)
    if (bytes[i - 1] == c) return bytes.data() + i - 1;
  return nullptr;
}

}  // namespace

// The line index's running figures, kept in locals while a loop ends row
// after row (the text the loop reads might alias the members, so they would
// be written for every row), and stored at the end.
class Memo::RowIndexer {
  Memo& memo_;

 public:
  explicit RowIndexer(Memo& memo)
      : memo_(memo),
        lineCount(memo.lineCount_),
        lastLineStart(memo.lastLineStart_),
        longest_(memo.longestLine_),
        checkpoint_(memo.checkpoints_.back()) {}

  // A row of length bytes (as line() gives it) ended; the next starts at next.
  void rowEnded(std::size_t length, std::size_t next) {
    longest_ = std::max(longest_, length);
    if (lineCount - checkpoint_.line >= kLinesPerCheckpoint ||
        next - checkpoint_.offset >= kBytesPerCheckpoint)
      addCheckpoint(Checkpoint{lineCount, next});
    ++lineCount;
    lastLineStart = next;
  }
  void checkpointBlockStart() {
    if (checkpoint_.offset < lastLineStart) addCheckpoint(Checkpoint{lineCount - 1, lastLineStart});
  }
  void store() {
    memo_.lineCount_ = lineCount;
    memo_.lastLineStart_ = lastLineStart;
    memo_.longestLine_ = longest_;
  }

  std::size_t lineCount;
  std::size_t lastLineStart;

 private:
  void addCheckpoint(Checkpoint checkpoint) {
    checkpoint_ = checkpoint;
    memo_.checkpoints_.push_back(checkpoint);
  }
  std::size_t longest_;
  Checkpoint checkpoint_;
};

const std::string& Memo::text() const {
  settled();
  const bool anyPacked = std::any_of(blocks_.begin(), blocks_.end(), [](const Block& b) { return b.packed; });
  if (anyPacked) {
    // Joined into a copy that goes with the next change: the packed blocks
    // stay packed.
    if (joined_.empty()) {
      joined_.reserve(size());
      joined_.append(text_);
      for (std::size_t p = 1; p <= blocks_.size(); ++p) joined_.append(part(p));
    }
    return joined_;
  }
  if (!blocks_.empty()) {
    // Room for a quarter more: a caller that asks for the whole text again
    // and again as the pane grows copies each byte only a few times.
    std::string joined;
    joined.reserve(size() + size() / 4);
    joined.append(text_);
    for (const Block& b : blocks_) joined.append(b.data.get(), b.size);
    text_.swap(joined);
    blocks_.clear();
  }
  return text_;
}

char Memo::lastChar() const {
  settled();
  if (!blocks_.empty()) return blocks_.back().data[blocks_.back().size - 1];
  return text_.empty() ? '\0' : text_.back();
}

void Memo::dropUnpacked() {
  if (!joined_.empty()) std::string().swap(joined_);
  unpackedValid_ = false;
}

void Memo::setText(std::string_view text) {
  dropUnpacked();
  dropDeferred();
  std::string().swap(unpacked_);
  blocks_.clear();
  if (text_.capacity() > kKeepCapacity && text.size() < text_.capacity() / 4)
    std::string().swap(text_);
  else
    text_.clear();
  if (checkpoints_.capacity() > kKeepCapacity / sizeof(Checkpoint))
    std::vector<Checkpoint>(1, Checkpoint{0, 0}).swap(checkpoints_);
  else
    checkpoints_.assign(1, Checkpoint{0, 0});
  lineCount_ = 1;
  lastLineStart_ = 0;
  longestLine_ = 0;
  cursor_ = Checkpoint{0, 0};
  appendWithoutNul(text);
  if (memoListener_) memoListener_->memoReset();
}

void Memo::append(std::string_view bytes) {
  settled();
  const std::size_t from = size();
  appendWithoutNul(bytes);
  if (size() == from) return;
  if (memoListener_) memoListener_->memoAppended();
}

void Memo::appendPairs(std::string_view values, int gap) {
  if (values.empty()) return;
  if (!packHexPairs_) {
    std::string text;
    appendUsualPairs(text, values, gap);
    append(text);
    return;
  }
  if (!deferred_.empty() && gap != deferredEndGap_) settle();
  if (!joined_.empty()) std::string().swap(joined_);
  if (deferred_.empty()) deferredGap_ = sizedGap_ = gap;
  deferred_.append(values);
  // The gap after the last value: the pairs since the last row end, or
  // since the gap before them.
  const auto* lf = static_cast<const char*>(memrchrOf(values, '\n'));
  deferredEndGap_ = static_cast<int>(lf ? static_cast<std::size_t>(values.data() + values.size() - lf - 1) % 8
                                        : (static_cast<std::size_t>(gap) + values.size()) % 8);
  if (deferred_.size() >= kPackDeferredAt) packDeferredRows();
  if (memoListener_) memoListener_->memoAppended();
}

std::size_t Memo::deferredTextSize() const {
  if (deferredSized_ < deferred_.size()) {
    deferredSize_ += usualPairsSize(std::string_view(deferred_).substr(deferredSized_), sizedGap_);
    deferredSized_ = deferred_.size();
  }
  return deferredSize_;
}

void Memo::dropDeferred() {
  if (deferred_.capacity() > 2 * kPackDeferredAt)
    std::string().swap(deferred_);
  else
    deferred_.clear();
  deferredLead_ = false;
  deferredSize_ = 0;
  deferredSized_ = 0;
}

void Memo::settle() {
  std::string text;
  // Room for three bytes a pair and a little over: working out the exact
  // size would read the values once more.
  text.reserve(2 + deferred_.size() / 2 * 7);
  if (deferredLead_) text = "  ";
  int gap = deferredGap_;
  appendUsualPairs(text, deferred_, gap);
  dropDeferred();
  appendRun(text);
}

void Memo::packDeferredRows() {
  std::string values;
  values.swap(deferred_);
  const void* firstLf = std::memchr(values.data(), '\n', values.size());
  const char* lastLf =
      static_cast<const char*>(memrchrOf(std::string_view(values).substr(0, values.size() - kKeepDeferred), '\n'));
  if (!firstLf || !lastLf || lastLf <= firstLf) {
    // No whole rows to pack: the text is made as usual.
    values.swap(deferred_);
    settle();
    return;
  }
  const auto rowEnd = static_cast<std::size_t>(static_cast<const char*>(firstLf) - values.data()) + 1;
  const auto rowsEnd = static_cast<std::size_t>(lastLf - values.data()) + 1;

  // The row in progress ends as text; the next row's gap goes with the
  // packed rows.
  std::string text;
  if (deferredLead_) text = "  ";
  int gap = deferredGap_;
  appendUsualPairs(text, std::string_view(values).substr(0, rowEnd), gap);
  text.resize(text.size() - 2);
  deferredLead_ = false;
  deferredSize_ = 0;
  deferredSized_ = 0;
  appendRun(text);

  // The parts before never grow again.
  firstPartToBlock();
  for (std::size_t b = blocks_.size() >= 2 ? blocks_.size() - 2 : 0; b < blocks_.size(); ++b)
    if (!blocks_[b].packed) pack(blocks_[b]);

  // Whole rows, a block's worth of text at a time, indexed as indexFrom
  // would find them in the text.
  const std::string_view rows = std::string_view(values).substr(rowEnd, rowsEnd - rowEnd);
  std::size_t pieceFrom = 0;
  std::size_t pieceBase = lastLineStart_;
  std::size_t pieceLine = lineCount_ - 1;
  auto packPiece = [&](std::size_t to) {
    const std::size_t size = lastLineStart_ - pieceBase;
    std::vector<SharedBytes> source = sharedFrom(pieceLine, size);
    std::size_t used = 0;
    const std::string packed = packUsualRows(rows.substr(pieceFrom, to - pieceFrom), source, used);
    keepUsed(source, used);
    Block block{pieceBase, size, packed.size(), std::shared_ptr<char[]>(new char[packed.size()]), true, pieceLine,
                std::move(source)};
    std::memcpy(block.data.get(), packed.data(), packed.size());
    blocks_.push_back(std::move(block));
    pieceFrom = to;
    pieceBase = lastLineStart_;
    pieceLine = lineCount_ - 1;
  };
  RowIndexer index(*this);
  std::size_t at = 0;
  platform::forEachByte(rows.data(), 0, rows.size(), '\n', [&](std::size_t lf) {
    const std::size_t rowSize = usualRowSize(lf - at);
    if (at > pieceFrom && index.lastLineStart + rowSize - pieceBase > kPackedBlockSize) {
      index.store();
      packPiece(at);
    }
    // Rows of a new block are found without reading the one before.
    if (at == pieceFrom) index.checkpointBlockStart();
    at = lf + 1;
    index.rowEnded(rowSize - 2, index.lastLineStart + rowSize);  // shown without its CR LF
  });
  index.store();
  packPiece(rows.size());

  // Text again from here on.
  blocks_.push_back(Block{lastLineStart_, 0, kPackedBlockSize, std::shared_ptr<char[]>(new char[kPackedBlockSize]),
                          false, lineCount_ - 1, {}});
  checkpointBlockStart();
  values.erase(0, rowsEnd);
  deferred_.swap(values);
  deferredGap_ = 0;
  deferredLead_ = true;
  deferredSize_ = 2;
  deferredSized_ = 0;
  sizedGap_ = 0;
}

void Memo::appendWithoutNul(std::string_view bytes) {
  while (!bytes.empty()) {
    const void* nul = std::memchr(bytes.data(), '\0', bytes.size());
    const std::size_t n =
        nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - bytes.data()) : bytes.size();
    appendRun(bytes.substr(0, n));
    bytes.remove_prefix(nul ? n + 1 : n);
  }
}

void Memo::appendRun(std::string_view run) {
  if (run.empty()) return;
  if (!joined_.empty()) std::string().swap(joined_);
  const std::size_t room = blocks_.empty() ? std::max(text_.capacity(), blockSize()) - text_.size()
                                           : blocks_.back().capacity - blocks_.back().size;
  if (room < run.size()) {
    // The rows that fit still go into the last part: only the row in
    // progress moves on, so a part is left with little room unused.
    if (const char* lf = static_cast<const char*>(memrchrOf(run.substr(0, room), '\n'))) {
      const auto rows = static_cast<std::size_t>(lf - run.data()) + 1;
      appendToLastPart(run.substr(0, rows));
      run.remove_prefix(rows);
      if (run.empty()) return;
    }
    startBlock(run.size());
  }
  appendToLastPart(run);
}

void Memo::appendToLastPart(std::string_view run) {
  const std::size_t from = size();
  if (blocks_.empty()) {
    // Grown in steps up to the block size, not past it: doubling a string
    // just under a megabyte would leave most of another one unused.
    const std::size_t need = text_.size() + run.size();
    if (need > text_.capacity() && need <= blockSize()) {
      // Reserved in a new string: growing one in place may round up to
      // twice its capacity whatever was asked for.
      std::string grown;
      grown.reserve(std::min(blockSize(), std::max(need, 2 * text_.capacity())));
      grown.append(text_);
      text_.swap(grown);
    }
    text_.append(run);
  } else {
    Block& block = blocks_.back();
    std::memcpy(block.data.get() + block.size, run.data(), run.size());
    block.size += run.size();
  }
  indexFrom(from);
}

std::size_t Memo::blockSize() const {
  return packHexPairs_ ? kPackedBlockSize : kBlockSize;
}

// The row in progress moves into the new block, so a row never spans two
// parts.
void Memo::startBlock(std::size_t extra) {
  const std::size_t carry = size() - lastLineStart_;
  // A long row that keeps growing moves a few times at most.
  const std::size_t capacity = std::max(blockSize(), (carry + extra) + (carry + extra) / 4);
  // A pane's large blocks come with their pages in place.
  Block block{lastLineStart_, carry, capacity,
              capacity >= kBlockSize ? platform::allocateBlock(capacity) : std::shared_ptr<char[]>(new char[capacity]),
              false, lineCount_ - 1, {}};
  if (blocks_.empty()) {
    std::memcpy(block.data.get(), text_.data() + lastLineStart_, carry);
    text_.resize(lastLineStart_);
    firstPartToBlock();
  } else {
    Block& last = blocks_.back();
    std::memcpy(block.data.get(), last.data.get() + (lastLineStart_ - last.base), carry);
    last.size -= carry;
    if (last.size == 0) blocks_.pop_back();
  }
  blocks_.push_back(std::move(block));
  // Full blocks never change again. The one filled last stays as text a
  // while longer: the rows in view and the rows a view measures next are
  // read from it.
  if (packHexPairs_ && blocks_.size() >= 3 && !blocks_[blocks_.size() - 3].packed)
    pack(blocks_[blocks_.size() - 3]);
  // Rows of the new block are found without reading the one before.
  checkpointBlockStart();
}

// The first part becomes a block of its own: a packed pane packs it, and
// another pane may take a packed pane's values from it.
void Memo::firstPartToBlock() {
  if (!blocks_.empty()) return;
  if (!text_.empty()) {
    Block first{0, text_.size(), text_.size(), std::shared_ptr<char[]>(new char[text_.size()]), false, 0, {}};
    std::memcpy(first.data.get(), text_.data(), text_.size());
    blocks_.push_back(std::move(first));
  }
  std::string().swap(text_);
}

void Memo::pack(Block& block) const {
  // A block of text holds at most half as many pairs as bytes, and the
  // source at most one added CR for each of them.
  std::vector<SharedBytes> source = sharedFrom(block.firstLine, block.size);
  std::size_t used = 0;
  const std::string packed = packHexPairs(std::string_view(block.data.get(), block.size), source, used);
  // Text of another kind is kept as it is, in no more room than it takes.
  if (packed.size() > block.size / 2) {
    if (block.capacity > block.size) {
      std::shared_ptr<char[]> fitted(new char[block.size]);
      std::memcpy(fitted.get(), block.data.get(), block.size);
      block.data = std::move(fitted);
      block.capacity = block.size;
    }
    return;
  }
  keepUsed(source, used);
  block.data.reset(new char[packed.size()]);
  std::memcpy(block.data.get(), packed.data(), packed.size());
  block.capacity = packed.size();
  block.packed = true;
  block.source = std::move(source);
}

// Only what a packed form reads of its source is held.
void Memo::keepUsed(std::vector<SharedBytes>& source, std::size_t used) {
  std::size_t kept = 0;
  while (kept < source.size() && used > 0) {
    source[kept].size = std::min(source[kept].size, used);
    used -= source[kept++].size;
  }
  source.resize(kept);
}

std::vector<SharedBytes> Memo::sharedFrom(std::size_t line, std::size_t enough) const {
  std::vector<SharedBytes> spans;
  const Memo* from = pairSource_;
  if (!from || line >= from->lineCount_) return spans;
  const std::size_t start = from->lineStart(line);
  std::size_t total = 0;
  for (std::size_t p = from->partAt(start); p >= 1 && p <= from->blocks_.size() && total < enough; ++p) {
    const Block& b = from->blocks_[p - 1];
    if (b.packed) break;
    const std::size_t local = std::max(start, b.base) - b.base;
    spans.push_back(SharedBytes{b.data, b.data.get() + local, b.size - local});
    total += b.size - local;
  }
  return spans;
}

// Indexes bytes just appended; they are all in the last part.
void Memo::indexFrom(std::size_t from) {
  const std::size_t last = blocks_.size();
  const std::string_view bytes = part(last);
  const std::size_t base = partBase(last);
  RowIndexer index(*this);
  platform::forEachByte(bytes.data(), from - base, bytes.size(), '\n', [&](std::size_t lf) {
    const std::size_t start = base + lf + 1;
    // A CR before the LF belongs to the row end (a row in progress always
    // starts in the last part, so the CR is there too).
    const std::size_t row = start - 1 - index.lastLineStart;
    index.rowEnded(row > 0 && bytes[lf - 1] == '\r' ? row - 1 : row, start);
  });
  index.store();
}

void Memo::checkpointBlockStart() {
  RowIndexer(*this).checkpointBlockStart();
}

std::size_t Memo::partAt(std::size_t offset) const {
  if (blocks_.empty() || offset < blocks_.front().base) return 0;
  const auto next = std::upper_bound(blocks_.begin(), blocks_.end(), offset,
                                     [](std::size_t o, const Block& b) { return o < b.base; });
  return static_cast<std::size_t>(next - blocks_.begin());
}

std::string_view Memo::part(std::size_t index) const {
  if (index == 0) return text_;
  const Block& b = blocks_[index - 1];
  if (!b.packed) return {b.data.get(), b.size};
  if (!unpackedValid_ || unpackedBase_ != b.base) {
    unpacked_.clear();
    unpacked_.reserve(b.size);
    unpackHexPairs(std::string_view(b.data.get(), b.capacity), unpacked_, b.source);
    unpackedBase_ = b.base;
    unpackedValid_ = true;
  }
  return unpacked_;
}

std::size_t Memo::findLf(std::size_t from) const {
  for (std::size_t p = partAt(from); p <= blocks_.size(); ++p) {
    const std::string_view bytes = part(p);
    const std::size_t base = partBase(p);
    const std::size_t local = std::max(from, base) - base;
    if (local >= bytes.size()) continue;
    if (const void* lf = std::memchr(bytes.data() + local, '\n', bytes.size() - local))
      return base + static_cast<std::size_t>(static_cast<const char*>(lf) - bytes.data());
  }
  return size();
}

std::size_t Memo::lineStart(std::size_t index) const {
  settled();
  if (index >= lineCount_) return size();
  // Start from the last checkpoint at or before the row, or from the row read
  // last when that is nearer.
  const auto next = std::upper_bound(checkpoints_.begin(), checkpoints_.end(), index,
                                     [](std::size_t i, const Checkpoint& c) { return i < c.line; });
  Checkpoint at = *(next - 1);
  if (cursor_.line <= index && cursor_.line > at.line) at = cursor_;
  while (at.line < index) {
    at.offset = findLf(at.offset) + 1;
    ++at.line;
  }
  cursor_ = at;
  return at.offset;
}

std::string_view Memo::line(std::size_t index) const {
  settled();
  if (index >= lineCount_) return {};
  const std::size_t start = lineStart(index);
  const std::size_t p = partAt(start);
  const std::string_view bytes = part(p);
  const std::size_t local = start - partBase(p);
  if (index + 1 == lineCount_) return bytes.substr(local);
  // A row and its LF are in one part.
  const auto lf = static_cast<std::size_t>(
      static_cast<const char*>(std::memchr(bytes.data() + local, '\n', bytes.size() - local)) - bytes.data());
  cursor_ = Checkpoint{index + 1, partBase(p) + lf + 1};
  const std::size_t end = lf > local && bytes[lf - 1] == '\r' ? lf - 1 : lf;
  return bytes.substr(local, end - local);
}

std::size_t Memo::memoryBytes() const {
  std::size_t bytes = text_.capacity() + checkpoints_.capacity() * sizeof(Checkpoint) + unpacked_.capacity() +
                      joined_.capacity() + deferred_.capacity();
  for (const Block& b : blocks_) bytes += b.capacity;
  return bytes;
}

void Memo::scrollToEnd() {
  if (memoListener_) memoListener_->memoScrolledToEnd();
}

}  // namespace ui
