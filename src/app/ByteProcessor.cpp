// A scale may flood data, so the bytes of a chunk are collected into two
// buffers and appended to the panes in one go at the end of the chunk. While
// a capture file is chosen each finished row is handed to it from there; a
// row it took never reaches the panes, which it leaves empty.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>

#include "app/ByteProcessor.h"
#include "platform/Counters.h"
#include "platform/FindByte.h"
#include "platform/LocalTime.h"
#include "platform/WholeNumbers.h"

namespace app {

namespace {

// The two upper-case hexadecimal digits of each byte value and the space
// after them, four bytes per entry so that one copy writes them (the fourth
// byte is overwritten next).
constexpr std::array<char, 1024> kHexPairSpaces = [] {
  constexpr char digits[] = "0123456789ABCDEF";
  std::array<char, 1024> entries{};
  for (int b = 0; b < 256; ++b) {
    entries[4 * b] = digits[b >> 4];
    entries[4 * b + 1] = digits[b & 0x0F];
    entries[4 * b + 2] = ' ';
    entries[4 * b + 3] = ' ';
  }
  return entries;
}();

// The most one received byte adds to each pane: CR LF, a time stamp and TAB,
// the character; CR LF (or the byte's digits), two digits, two spaces.
constexpr std::size_t kMaxAsciiPerByte = 12;
constexpr std::size_t kMaxHexPerByte = 6;
constexpr std::size_t kMaxPending = std::size_t{16} << 10;
// Ordinary bytes are taken in runs of at most this many, which the pending
// text always has room for.
constexpr std::size_t kMaxRun = kMaxPending / kMaxHexPerByte;
// Stretches the panes take as they are go straight from the chunk when they
// are long; short ones (random bytes stop one every hundred bytes or so) are
// copied, so the pane is not called for each.
constexpr std::size_t kCopyAsIs = 1024;

// The first LF in [from, to) (to when there is none); nul tells whether a NUL
// came before it. Several bytes at a time: one pass finds both.
std::size_t findLfNoting(const char* data, std::size_t from, std::size_t to, bool& nul) {
  nul = false;
  std::size_t i = from;
  for (; i + 16 <= to; i += 16) {
    const unsigned lfs = platform::byteMask16(data + i, '\n');
    const unsigned nuls = platform::byteMask16(data + i, '\0');
    if (lfs != 0) {
      // NULs up to the first LF (never at its place).
      nul = nul || (nuls & (lfs ^ (lfs - 1))) != 0;
      return i + platform::lowestBit(lfs);
    }
    nul = nul || nuls != 0;
  }
  for (; i < to; ++i) {
    if (data[i] == '\n') return i;
    nul = nul || data[i] == '\0';
  }
  return to;
}

// A stretch of a flood that both panes take as it is: rows that end in
// CR LF, no NUL. end is where it stops (at a NUL, an LF after anything but
// CR, or to); lastLf the last LF in it, or to when there is none.
struct PlainStretch {
  std::size_t end;
  std::size_t lastLf;
};

// The plain stretch from from on; data[from] itself must not be an LF (what
// came before it is not looked at).
PlainStretch findPlainStretch(const char* data, std::size_t from, std::size_t to) {
  std::size_t lastLf = to;
  std::size_t i = from;
  if (i < to && data[i] == '\0') return {i, lastLf};
  ++i;
  // Sixteen bytes at a time, each LF compared with the byte before it.
  for (; i + 16 <= to; i += 16) {
    unsigned lfs = platform::byteMask16(data + i, '\n');
    const unsigned stops =
        (lfs & ~platform::byteMask16(data + i - 1, '\r')) | platform::byteMask16(data + i, '\0');
    if (stops != 0) lfs &= (1u << platform::lowestBit(stops)) - 1;
    if (lfs != 0) lastLf = i + platform::highestBit(lfs);
    if (stops != 0) return {i + platform::lowestBit(stops), lastLf};
  }
  for (; i < to; ++i) {
    if (data[i] == '\0' || (data[i] == '\n' && data[i - 1] != '\r')) break;
    if (data[i] == '\n') lastLf = i;
  }
  return {std::min(i, to), lastLf};
}

// The time of day in the long time format, HH:MM:SS, local time.
std::string timeStamp(platform::WallClock::time_point now) {
  const std::time_t t = platform::WallClock::to_time_t(now);
  const std::tm local = platform::localTime(t);
  char text[16];
  std::strftime(text, sizeof text, "%H:%M:%S", &local);
  return text;
}

std::int64_t wallMs(platform::WallClock::time_point now) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
}

// Text on its way into one pane: written in place, appended to the pane in
// one go.
class PendingText {
 public:
  PendingText(ui::Memo& pane, std::size_t wanted)
      : pane_(pane),
        size_(std::min(wanted, kMaxPending) + 32),
        buffer_(new char[size_]),
        begin_(buffer_.get()),
        end_(begin_) {}

  // What waits for the pane, and forgetting it (the capture file took it).
  std::string_view pending() const { return {begin_, static_cast<std::size_t>(end_ - begin_)}; }
  void discard() { end_ = begin_; }
  ui::Memo& pane() const { return pane_; }
  // Room for n more bytes; a full buffer goes to the pane first.
  void makeRoom(std::size_t n) {
    if (static_cast<std::size_t>(begin_ + size_ - end_) < n) flush();
  }
  void put(char c) { *end_++ = c; }
  void put(std::string_view s) {
    std::memcpy(end_, s.data(), s.size());
    end_ += s.size();
  }
  // A NUL never enters a pane; leaving it out here keeps lastChar() right.
  void putShown(char c) {
    *end_ = c;
    end_ += c != '\0';
  }
  // A run of ordinary characters, NULs left out.
  void putShownRun(const char* run, std::size_t n) {
    while (n > 0) {
      const void* nul = std::memchr(run, '\0', n);
      const std::size_t k = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - run) : n;
      std::memcpy(end_, run, k);
      end_ += k;
      const std::size_t skip = nul ? k + 1 : k;
      run += skip;
      n -= skip;
    }
  }
  // A run of ordinary bytes as pairs, each with its space and two more
  // after every eighth column; column counts on as it does for single bytes.
  std::int32_t putPairRun(const char* run, std::size_t n, std::int32_t column) {
    char* out = end_;
    for (std::size_t k = 0; k < n; ++k) {
      std::memcpy(out, &kHexPairSpaces[4 * static_cast<unsigned char>(run[k])], 4);
      out += 3;
      column = platform::plusOne(column);
      if ((static_cast<std::uint32_t>(column) & 7u) == 0) {
        std::memcpy(out, "  ", 2);
        out += 2;
      }
    }
    end_ = out;
    return column;
  }
  // A byte's digits, with the space after them or without.
  void putHex(char b, bool withSpace = false) {
    std::memcpy(end_, &kHexPairSpaces[4 * static_cast<unsigned char>(b)], 4);
    end_ += withSpace ? 3 : 2;
  }
  // The last character of the pane as it will be.
  char lastChar() const { return end_ != begin_ ? end_[-1] : pane_.lastChar(); }
  void flush() {
    if (end_ == begin_) return;
    const std::string_view text(begin_, static_cast<std::size_t>(end_ - begin_));
    end_ = begin_;
    pane_.append(text);
  }
  // Bytes that the pane shows as they are, appended without a copy here
  // unless they are few.
  void appendAsIs(const char* run, std::size_t n) {
    if (n <= kCopyAsIs) {
      makeRoom(n);
      put(std::string_view(run, n));
      return;
    }
    flush();
    pane_.append(std::string_view(run, n));
  }

 private:
  ui::Memo& pane_;
  std::size_t size_;
  std::unique_ptr<char[]> buffer_;
  char* begin_;
  char* end_;
};

// The HEX pane's side. Pairs in the usual layout (the pane's column decides
// where the wider gaps go) are handed over as the bytes themselves, a stretch
// of the chunk at a time, and the pane makes their text when it is read;
// anything else is written as text. One of the two waits at a time, so the
// pane gets both in order.
class PendingHex {
 public:
  PendingHex(ui::Memo& pane, std::size_t wanted) : pane_(pane), text_(pane, wanted) {}

  // Bytes at run shown as pairs from column on; the column after them.
  std::int32_t pairs(const char* run, std::size_t n, std::int32_t column) {
    if (run != end_) {
      flushPairs();
      text_.flush();
      begin_ = run;
      gap_ = static_cast<int>(static_cast<std::uint32_t>(column) & 7u);
    }
    end_ = run + n;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(column) + static_cast<std::uint32_t>(n));
  }
  PendingText& text() {
    flushPairs();
    return text_;
  }
  void flush() {
    flushPairs();
    text_.flush();
  }

 private:
  void flushPairs() {
    if (begin_ == end_) return;
    pane_.appendPairs(std::string_view(begin_, static_cast<std::size_t>(end_ - begin_)), gap_);
    begin_ = end_ = nullptr;
  }
  ui::Memo& pane_;
  PendingText text_;
  const char* begin_ = nullptr;
  const char* end_ = nullptr;
  int gap_ = 0;
};

// The row's text is what the panes will hold: what they hold now (rows the
// file did not take, text from before the file was chosen, the start of a
// row too long to wait), then what waits for them.
void handRowOver(ReceiveWindow& window, PendingText& ascii, PendingText& hex) {
  ui::Memo& asciiPane = ascii.pane();
  ui::Memo& hexPane = hex.pane();
  bool written = false;
  if (asciiPane.empty() && hexPane.empty()) {
    written = window.storeRow(ascii.pending(), hex.pending());
  } else {
    std::string asciiRow = asciiPane.text();
    asciiRow += ascii.pending();
    std::string hexRow = hexPane.text();
    hexRow += hex.pending();
    written = window.storeRow(asciiRow, hexRow);
  }
  if (!written) return;
  ascii.discard();
  hex.discard();
  if (!asciiPane.empty()) asciiPane.clear();
  if (!hexPane.empty()) hexPane.clear();
}

}  // namespace

// One chunk on its way through the byte processor: the text waiting for each
// pane, the settings, and the state its paths share, kept here while only
// they touch it and written back before anything else can look at it.
// The run paths are always inlined into the loop: each has one caller, and a
// call per stretch of random bytes costs a few percent.
class ByteProcessor::Chunk {
 public:
  Chunk(ByteProcessor& owner, const std::string& data, std::size_t count)
      : p_(owner),
        data_(data),
        count_(count),
        ascii_(owner.ascii_, count * kMaxAsciiPerByte),
        hex_(owner.hex_, count * kMaxHexPerByte),
        settings_(owner.window_.receiveSettings()),
        column_(owner.hexColumn_) {}

  void run() {
    for (std::size_t i = 0; i < count_; ++i) {
      // Ordinary bytes that need no time stamp and no line check go in runs.
      if (!settings_.checkLine && !(settings_.insertTime && p_.paneLineStart_) && takeRun(i)) continue;
      takeByte(i);
    }
  }

  // What was processed goes to the panes, also when a handler's error ended
  // the chunk (whole is false then).
  void finish(bool whole) {
    p_.hexColumn_ = column_;
    if (whole)
      p_.readings_.rowPending(std::string_view(data_).substr(rowStart_, count_ - rowStart_), rowContinues_);
    else
      p_.readings_.rowPending({}, false);
    ascii_.flush();
    hex_.flush();
  }

 private:
  // Without wrapping the HEX pane's layout is the usual one throughout; a
  // row handed to the capture file is followed by the next row's gap in a
  // pane it may have emptied, so then the text is written as it goes.
  bool hexAsPairs() const { return !(settings_.wrapRows && settings_.wrapTextSet) && !settings_.storeRows; }

  // Where the row in progress began in this chunk, and whether it began in
  // an earlier one: a counted row is also read as a weight.
  void rowBreak(std::size_t next) {
    rowStart_ = next;
    rowContinues_ = false;
  }

  // Ordinary bytes from i on, in one go; i moves to the last one taken.
  // False when byte i needs the per-byte path.
  [[gnu::always_inline]] bool takeRun(std::size_t& i) {
    const bool asPairs = hexAsPairs();
    // Rows whose ends need nothing counted, stamped or stored: a flood of
    // them goes to both panes as it came.
    const bool plainRows =
        p_.replyCounted_ && !settings_.insertTime && asPairs && !p_.readings_.wantsUncountedRows();
    if (plainRows && data_[i] != '\n' && takeWholeRows(i)) return true;
    const std::size_t limit = std::min(count_, i + kMaxRun);
    std::size_t end = i;
    bool nul = true;
    if (settings_.wrapRows && settings_.wrapTextSet)
      while (end < limit && data_[end] != '\n' && !settings_.wraps(data_[end])) ++end;
    else
      end = findLfNoting(data_.data(), i, limit, nul);
    // Such a row's end ends the run here.
    const bool plainRowEnd = plainRows && end < count_ && data_[end] == '\n';
    if (end == i && !plainRowEnd) return false;
    putRun(i, end, nul, asPairs);
    if (!plainRowEnd) {
      i = end - 1;
      return true;
    }
    endAsciiRow();
    hex_.pairs(data_.data() + end, 1, column_);
    column_ = 0;
    rowBreak(end + 1);
    p_.paneLineStart_ = true;
    i = end;
    return true;
  }

  // The quick path: a stretch of whole CR LF rows without NULs goes to both
  // panes as it is.
  [[gnu::always_inline]] bool takeWholeRows(std::size_t& i) {
    const PlainStretch plain = findPlainStretch(data_.data(), i, count_);
    if (plain.end == i) return false;
    ascii_.appendAsIs(data_.data() + i, plain.end - i);
    column_ = hex_.pairs(data_.data() + i, plain.end - i, column_);
    if (plain.lastLf != count_) {
      column_ = static_cast<std::int32_t>(plain.end - plain.lastLf - 1);
      rowBreak(plain.lastLf + 1);
      p_.paneLineStart_ = true;
    }
    i = plain.end - 1;
    return true;
  }

  // Bytes [i, end) that are neither LF nor the wrap character.
  [[gnu::always_inline]] void putRun(std::size_t i, std::size_t end, bool nul, bool asPairs) {
    const char* run = data_.data() + i;
    ascii_.makeRoom(end - i + 2);
    if (nul)
      ascii_.putShownRun(run, end - i);
    else
      ascii_.put(std::string_view(run, end - i));
    if (asPairs) {
      column_ = hex_.pairs(run, end - i, column_);
      return;
    }
    hex_.text().makeRoom(kMaxHexPerByte * (end - i));
    column_ = hex_.text().putPairRun(run, end - i, column_);
  }

  // The per-byte path.
  void takeByte(std::size_t i) {
    ascii_.makeRoom(kMaxAsciiPerByte);
    const char b = data_[i];
    const bool asPairs = hexAsPairs();
    if (!asPairs) hex_.text().makeRoom(kMaxHexPerByte);
    if (b == '\n')
      lineFeed(i, asPairs);
    else if (settings_.wraps(b))
      wrapCharacter(i, b);
    else
      ordinaryByte(i, asPairs);
    if (settings_.checkLine) checkLine();
    column_ = platform::plusOne(column_);
    if (!asPairs && (static_cast<std::uint32_t>(column_) & 7u) == 0) hex_.text().put("  ");
  }

  void lineFeed(std::size_t i, bool asPairs) {
    if (!p_.replyCounted_)
      countReply(i);
    else if (p_.readings_.wantsUncountedRows())
      p_.readings_.rowUncounted(std::string_view(data_).substr(rowStart_, i - rowStart_), rowContinues_,
                                wallMs(p_.loop_.now()));
    rowBreak(i + 1);
    p_.paneLineStart_ = true;
    endAsciiRow();
    if (asPairs)
      hex_.pairs(data_.data() + i, 1, column_);
    else
      hex_.text().put("0A\r\n");
    column_ = -1;
    storeRow();
  }

  // The first LF after a send is its reply.
  void countReply(std::size_t i) {
    p_.replyCount_ = platform::plusOne(p_.replyCount_);
    p_.replyCounted_ = true;
    p_.window_.showReplyCount();
    p_.readings_.rowCounted(std::string_view(data_).substr(rowStart_, i - rowStart_), rowContinues_,
                            wallMs(p_.loop_.now()));
  }

  void wrapCharacter(std::size_t i, char b) {
    column_ = -1;
    if (settings_.wrapPosition == 0) {
      // The wrap character starts a row.
      rowBreak(i);
      ascii_.put("\r\n");
      hex_.text().put("\r\n");
      storeRow();
      if (settings_.insertTime) {
        p_.paneLineStart_ = false;
        appendStamp();
      }
      ascii_.putShown(b);
      hex_.text().putHex(b);
    } else if (settings_.wrapPosition == 1) {
      // The wrap character ends a row.
      rowBreak(i + 1);
      ascii_.putShown(b);
      ascii_.put("\r\n");
      hex_.text().putHex(b);
      hex_.text().put("\r\n");
      storeRow();
      p_.paneLineStart_ = true;
    }
    // No position selected: the byte is left out of both panes.
  }

  void ordinaryByte(std::size_t i, bool asPairs) {
    if (settings_.insertTime && p_.paneLineStart_) {
      p_.paneLineStart_ = false;
      appendStamp();
    }
    ascii_.putShown(data_[i]);
    if (asPairs)
      hex_.pairs(data_.data() + i, 1, column_);
    else
      hex_.text().putHex(data_[i], true);
  }

  // A CR LF from the device ends up as one row end; an LF after anything
  // else becomes CR LF (an LF into an empty pane stays alone).
  void endAsciiRow() {
    const char last = ascii_.lastChar();
    ascii_.put(last != '\0' && last != '\r' ? std::string_view("\r\n") : std::string_view("\n"));
  }

  void appendStamp() {
    ascii_.put(timeStamp(p_.loop_.now()));
    ascii_.put('\t');
  }

  // A finished row goes to the capture file with whatever the panes held
  // before it; when the file takes it the panes are left empty.
  void storeRow() {
    if (settings_.storeRows) handRowOver(p_.window_, ascii_, hex_.text());
  }

  // The line check of the window: the column it may read is current, and the
  // controls it may change are read again afterwards.
  void checkLine() {
    p_.hexColumn_ = column_;
    p_.window_.checkLine();
    column_ = p_.hexColumn_;
    settings_ = p_.window_.receiveSettings();
  }

  ByteProcessor& p_;
  const std::string& data_;
  const std::size_t count_;
  PendingText ascii_;
  PendingHex hex_;
  ReceiveSettings settings_;
  std::int32_t column_;
  std::size_t rowStart_ = 0;
  bool rowContinues_ = true;
};

void ReceiveSettings::setWrapText(std::string_view text) {
  wrapTextSet = !text.empty();
  if (!wrapTextSet) return;
  wrapFirst = text[0];
  wrapByValue = text[0] == '$';
  // Read the way the operator's numbers are read: "$" then hexadecimal
  // digits, at most 32 bits; anything else is no valid integer and reads as 0.
  std::int32_t value = 0;
  if (!wrapByValue || !platform::tryParseInteger(text, value)) value = 0;
  wrapValue = static_cast<char>(static_cast<std::uint32_t>(value) & 0xFFu);
}

ByteProcessor::ByteProcessor(ReceiveWindow& window, ui::Memo& ascii, ui::Memo& hex, platform::EventLoop& loop,
                             readings::ReadingLog& readings)
    : window_(window), ascii_(ascii), hex_(hex), loop_(loop), readings_(readings) {}

void ByteProcessor::ProcessReceived(const std::string& data, std::size_t count) {
  if (data.empty()) return;
  Chunk chunk(*this, data, std::min(count, data.size()));
  // An error raised by a handler ends the chunk; what was processed stays.
  try {
    chunk.run();
  } catch (...) {
    chunk.finish(false);
    throw;
  }
  chunk.finish(true);
  // The last line in view, in one step.
  ascii_.scrollToEnd();
  hex_.scrollToEnd();
}

void ByteProcessor::restart() {
  hexColumn_ = 0;
  hexRowLength_ = 16;
  paneLineStart_ = true;
}

void ByteProcessor::importLine(std::string_view line, PaneAppender& ascii, PaneAppender& hex) {
  hex.add("\r\n");
  ascii.add("\r\n");
  hexColumn_ = 0;
  for (const char b : line) {
    ascii.add(b);
    hex.addHex(b);
    hex.add(' ');
    ++hexColumn_;
    // The import groups its HEX rows by four bytes.
    if (hexColumn_ == 4 || hexColumn_ == 8 || hexColumn_ == 12) hex.add("  ");
    if (hexColumn_ == hexRowLength_) {
      hexColumn_ = 0;
      hex.add("\r\n");
      ascii.add("\r\n");
    }
  }
}

}  // namespace app
