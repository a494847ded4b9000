// Packed form: varint prefix length, the prefix (text before the first
// pair), varint pair count, the pairs' byte values, then one record per pair
// whose following text is not the usual one: varint distance from the
// previous such pair (from pair 0 for the first), varint length, the text.
// The byte values are stored as they are (a 0 byte, then the values) or,
// when repeats make that shorter (a scale sends much the same row again and
// again), as runs of new bytes and copies of earlier ones (a 1 byte, varint
// length, then the runs), or taken from a source (a 2 byte, varint length,
// then the steps: see takeFromSource).
#include "ui/HexPairs.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/AsciiText.h"
#include "platform/FindByte.h"

namespace ui {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

// The value of an upper-case hexadecimal digit, -1 for any other byte.
constexpr std::array<signed char, 256> kDigitValue = [] {
  std::array<signed char, 256> table{};
  for (int c = 0; c < 256; ++c)
    table[c] = static_cast<signed char>(platform::upperHexDigitValue(static_cast<char>(c)));
  return table;
}();

bool isHexDigit(char c) {
  return kDigitValue[static_cast<unsigned char>(c)] >= 0;
}

int digitValue(char c) {
  return kDigitValue[static_cast<unsigned char>(c)];
}

bool pairAt(std::string_view text, std::size_t i) {
  return i + 1 < text.size() && isHexDigit(text[i]) && isHexDigit(text[i + 1]);
}

// Where the next pair starts at or after i; text.size() when none does.
std::size_t nextPair(std::string_view text, std::size_t i) {
  while (i + 1 < text.size() && !(isHexDigit(text[i]) && isHexDigit(text[i + 1]))) ++i;
  return i + 1 < text.size() ? i : text.size();
}

// The text that usually follows a pair: a row end after 0A (with the gap
// that opens the next row), two more spaces after every eighth pair since
// the last gap, else one space. gap counts the pairs since the last gap.
std::string_view usualAfter(unsigned char value, int gap) {
  if (value == 0x0A) return "\r\n  ";
  return gap + 1 == 8 ? "   " : " ";
}

int gapAfter(std::string_view following, int gap) {
  const std::size_t n = following.size();
  return n >= 2 && following[n - 1] == ' ' && following[n - 2] == ' ' ? 0 : gap + 1;
}

// Takes pairs from i on while each is followed by the usual text and then by
// another pair, writing their values at values[count]; returns where the
// first pair that needs a closer look starts (or the end of the text).
std::size_t usualRun(std::string_view text, std::size_t i, char* values, std::size_t& count, int& gap) {
  const auto* t = reinterpret_cast<const unsigned char*>(text.data());
  // The most a step reads: the pair, four bytes of row end and gap, the next pair.
  while (i + 8 <= text.size()) {
    const int value = kDigitValue[t[i]] * 16 + kDigitValue[t[i + 1]];
    std::size_t next;
    int nextGap;
    if (value == 0x0A) {
      if (t[i + 2] != '\r' || t[i + 3] != '\n' || t[i + 4] != ' ' || t[i + 5] != ' ') break;
      next = i + 6;
      nextGap = 0;
    } else if (gap == 7) {
      if (t[i + 2] != ' ' || t[i + 3] != ' ' || t[i + 4] != ' ') break;
      next = i + 5;
      nextGap = 0;
    } else {
      if (t[i + 2] != ' ') break;
      next = i + 3;
      nextGap = gap + 1;
    }
    if ((kDigitValue[t[next]] | kDigitValue[t[next + 1]]) < 0) break;
    values[count++] = static_cast<char>(value);
    gap = nextGap;
    i = next;
  }
  return i;
}

void putVarint(std::string& out, std::size_t v) {
  while (v >= 0x80) {
    out += static_cast<char>((v & 0x7F) | 0x80);
    v >>= 7;
  }
  out += static_cast<char>(v);
}

std::size_t takeVarint(std::string_view in, std::size_t& at) {
  std::size_t v = 0;
  for (int shift = 0; at < in.size(); shift += 7) {
    const auto byte = static_cast<unsigned char>(in[at++]);
    v |= static_cast<std::size_t>(byte & 0x7F) << shift;
    if (!(byte & 0x80)) break;
  }
  return v;
}

// How many of the n bytes at a and at b agree from the start, sixteen at a
// time while they do.
std::size_t agreeing(const char* a, const char* b, std::size_t n) {
  std::size_t k = 0;
  for (; k + 16 <= n; k += 16) {
    const unsigned same = platform::equalMask16(a + k, b + k);
    if (same != 0xFFFF) return k + platform::lowestBit(~same);
  }
  while (k < n && a[k] == b[k]) ++k;
  return k;
}

// Runs: varint count of new bytes, the bytes, then varint length of a copy
// (0 ends) and varint distance back to where it copies from.
std::string packRepeats(std::string_view in) {
  // A scale repeats rows of tens of bytes: a small table finds them, and
  // filling it costs little for each block.
  constexpr int kHashBits = 12;
  constexpr std::size_t kMinCopy = 6;
  std::vector<std::uint32_t> seen(std::size_t{1} << kHashBits, UINT32_MAX);
  std::string out;
  std::size_t fresh = 0;
  std::size_t i = 0;
  auto load = [&in](std::size_t at) {
    std::uint32_t v;
    std::memcpy(&v, in.data() + at, 4);
    return v;
  };
  while (i + kMinCopy <= in.size()) {
    const std::uint32_t v = load(i);
    std::uint32_t& slot = seen[(v * 2654435761u) >> (32 - kHashBits)];
    const std::size_t from = slot;
    slot = static_cast<std::uint32_t>(i);
    if (from != UINT32_MAX && load(from) == v) {
      const std::size_t n = 4 + agreeing(in.data() + from + 4, in.data() + i + 4, in.size() - i - 4);
      if (n >= kMinCopy) {
        putVarint(out, i - fresh);
        out.append(in.substr(fresh, i - fresh));
        putVarint(out, n);
        putVarint(out, i - from);
        i += n;
        fresh = i;
        continue;
      }
    }
    ++i;
  }
  putVarint(out, in.size() - fresh);
  out.append(in.substr(fresh));
  putVarint(out, 0);
  return out;
}

void unpackRepeats(std::string_view in, std::size_t& at, std::string& out) {
  for (;;) {
    const std::size_t fresh = takeVarint(in, at);
    out.append(in.substr(at, fresh));
    at += fresh;
    const std::size_t n = takeVarint(in, at);
    if (n == 0) return;
    const std::size_t from = out.size() - takeVarint(in, at);
    const std::size_t to = out.size();
    out.resize(to + n);
    // A copy may overlap what it produces: byte by byte, forwards.
    char* const d = out.data();
    for (std::size_t k = 0; k < n; ++k) d[to + k] = d[from + k];
  }
}

// Reads a source's spans in order as one text.
class SourceReader {
 public:
  explicit SourceReader(std::span<const SharedBytes> spans) : spans_(spans) { settle(); }

  // Takes bytes while they agree with values; returns how many did.
  std::size_t take(const char* values, std::size_t n) {
    std::size_t done = 0;
    while (done < n && span_ < spans_.size()) {
      const std::size_t avail = std::min(n - done, spans_[span_].size - at_);
      const std::size_t k = agreeing(spans_[span_].data + at_, values + done, avail);
      done += k;
      advance(k);
      if (k < avail) break;
    }
    return done;
  }
  // Appends the next n bytes (fewer where the source ends) to out.
  void copy(std::size_t n, std::string& out) {
    while (n > 0 && span_ < spans_.size()) {
      const std::size_t k = std::min(n, spans_[span_].size - at_);
      out.append(spans_[span_].data + at_, k);
      n -= k;
      advance(k);
    }
  }
  void skip(std::size_t n) {
    while (n > 0 && span_ < spans_.size()) {
      const std::size_t k = std::min(n, spans_[span_].size - at_);
      n -= k;
      advance(k);
    }
  }
  // The byte k places ahead, -1 past the end.
  int peek(std::size_t k) const {
    std::size_t span = span_, at = at_ + k;
    while (span < spans_.size() && at >= spans_[span].size) at -= spans_[span++].size;
    return span < spans_.size() ? static_cast<unsigned char>(spans_[span].data[at]) : -1;
  }
  std::size_t consumed() const { return consumed_; }

 private:
  void advance(std::size_t k) {
    at_ += k;
    consumed_ += k;
    settle();
  }
  void settle() {
    while (span_ < spans_.size() && at_ == spans_[span_].size) {
      ++span_;
      at_ = 0;
    }
  }
  std::span<const SharedBytes> spans_;
  std::size_t span_ = 0;
  std::size_t at_ = 0;
  std::size_t consumed_ = 0;
};

// A step of values from a source: a varint, the count shifted left two bits
// with the kind below it.
enum SourceStep : std::size_t {
  kTake = 0,    // as many values as the source's next bytes
  kStored = 1,  // values kept here, which follow (a NUL the source left out)
  kSkip = 2,    // source bytes that are no values (a CR put before a lone LF)
};

void putStep(std::string& out, std::size_t n, SourceStep kind) {
  putVarint(out, n << 2 | kind);
}

// The steps that give values from source; used tells how much of it they read.
// Where the two part ways other than by a NUL or an added CR, the rest of the
// values are kept as they are.
std::string takeFromSource(std::string_view values, std::span<const SharedBytes> source, std::size_t& used) {
  std::string steps;
  SourceReader from(source);
  std::size_t i = 0;
  auto store = [&](std::size_t n) {
    putStep(steps, n, kStored);
    steps.append(values.substr(i, n));
    i += n;
  };
  while (i < values.size()) {
    const std::size_t n = from.take(values.data() + i, values.size() - i);
    if (n > 0) {
      putStep(steps, n, kTake);
      i += n;
    } else if (values[i] == '\0') {
      std::size_t nuls = 1;
      while (i + nuls < values.size() && values[i + nuls] == '\0') ++nuls;
      store(nuls);
    } else if (values[i] == '\n' && from.peek(0) == '\r' && from.peek(1) == '\n') {
      putStep(steps, 1, kSkip);
      from.skip(1);
    } else {
      store(values.size() - i);
    }
  }
  used = from.consumed();
  return steps;
}

void untakeFromSource(std::string_view steps, std::span<const SharedBytes> source, std::string& values) {
  SourceReader from(source);
  for (std::size_t at = 0; at < steps.size();) {
    const std::size_t step = takeVarint(steps, at);
    const std::size_t n = step >> 2;
    switch (step & 3) {
      case kTake:
        from.copy(n, values);
        break;
      case kStored:
        values.append(steps.substr(at, n));
        at += n;
        break;
      default:
        from.skip(n);
        break;
    }
  }
}

// The packed form of prefix text, the values and the encoded records of the
// pairs followed by unusual text.
std::string packParts(std::string_view prefix, std::string_view values, std::string_view unusual,
                      std::span<const SharedBytes> source, std::size_t& used) {
  std::string packed;
  packed.reserve(prefix.size() + values.size() + unusual.size() + 20);
  putVarint(packed, prefix.size());
  packed.append(prefix);
  putVarint(packed, values.size());
  used = 0;
  const std::string taken = source.empty() ? std::string() : takeFromSource(values, source, used);
  // Values the source gives nearly all of are not looked at for repeats.
  const bool takenSmall = used > 0 && taken.size() < values.size() / 8;
  const std::string repeats = takenSmall ? std::string() : packRepeats(values);
  if (takenSmall || (used > 0 && taken.size() < std::min(repeats.size(), values.size()))) {
    packed += '\2';
    putVarint(packed, taken.size());
    packed.append(taken);
  } else if (repeats.size() < values.size()) {
    used = 0;
    packed += '\1';
    putVarint(packed, repeats.size());
    packed.append(repeats);
  } else {
    used = 0;
    packed += '\0';
    packed.append(values);
  }
  packed.append(unusual);
  return packed;
}

// Writes the usual text of values at w, which has room for six bytes a value.
char* putUsualPairs(char* w, std::string_view values, int& gap) {
  for (const char c : values) {
    const auto value = static_cast<unsigned char>(c);
    *w++ = kDigits[value >> 4];
    *w++ = kDigits[value & 0x0F];
    if (value == 0x0A) {
      std::memcpy(w, "\r\n  ", 4);
      w += 4;
      gap = 0;
    } else if (gap + 1 == 8) {
      std::memcpy(w, "   ", 3);
      w += 3;
      gap = 0;
    } else {
      *w++ = ' ';
      ++gap;
    }
  }
  return w;
}

}  // namespace

std::string packHexPairs(std::string_view text) {
  std::size_t used = 0;
  return packHexPairs(text, {}, used);
}

std::string packHexPairs(std::string_view text, std::span<const SharedBytes> source, std::size_t& used) {
  std::size_t i = nextPair(text, 0);
  // Written in place: there are at most half as many pairs as bytes.
  const std::unique_ptr<char[]> valueBuffer(new char[text.size() / 2 + 1]);
  char* const out = valueBuffer.get();
  std::size_t count = 0;
  std::string unusual;
  std::size_t lastUnusual = 0;
  int gap = 0;
  while (i < text.size()) {
    i = usualRun(text, i, out, count, gap);
    if (i >= text.size()) break;
    const auto value = static_cast<unsigned char>(digitValue(text[i]) * 16 + digitValue(text[i + 1]));
    // Mostly the usual text follows, up to the next pair.
    const std::string_view usual = usualAfter(value, gap);
    std::size_t end = i + 2 + usual.size();
    bool isUsual = end <= text.size() && (end == text.size() || pairAt(text, end));
    for (std::size_t k = 0; isUsual && k < usual.size(); ++k) isUsual = text[i + 2 + k] == usual[k];
    if (!isUsual) end = nextPair(text, i + 2);
    const std::string_view following = text.substr(i + 2, end - (i + 2));
    if (!isUsual) {
      putVarint(unusual, count - lastUnusual);
      putVarint(unusual, following.size());
      unusual.append(following);
      lastUnusual = count;
    }
    gap = gapAfter(following, gap);
    out[count++] = static_cast<char>(value);
    i = end;
  }
  return packParts(text.substr(0, nextPair(text, 0)), std::string_view(out, count), unusual, source, used);
}

std::string packUsualRows(std::string_view values, std::span<const SharedBytes> source, std::size_t& used) {
  // The last pair is followed by its row end alone.
  std::string unusual;
  if (!values.empty()) {
    putVarint(unusual, values.size() - 1);
    putVarint(unusual, 2);
    unusual.append("\r\n");
  }
  return packParts("  ", values, unusual, source, used);
}

std::size_t usualPairsSize(std::string_view values, int& gap) {
  std::size_t size = 0;
  std::size_t at = 0;
  // Three bytes a pair, two more where a run of eight ends.
  auto pairs = [&](std::size_t k) {
    size += 3 * k + 2 * ((static_cast<std::size_t>(gap) + k) / 8);
    gap = static_cast<int>((static_cast<std::size_t>(gap) + k) % 8);
  };
  platform::forEachByte(values.data(), 0, values.size(), 0x0A, [&](std::size_t lf) {
    pairs(lf - at);
    size += 6;  // 0A, the row end and the next row's gap
    gap = 0;
    at = lf + 1;
  });
  pairs(values.size() - at);
  return size;
}

void appendUsualPairs(std::string& out, std::string_view values, int& gap) {
  // Through a small buffer: a pair and its usual text are a few bytes each.
  constexpr std::size_t kStep = 680;
  char buffer[6 * kStep];
  for (std::size_t k = 0; k < values.size(); k += kStep) {
    const char* end = putUsualPairs(buffer, values.substr(k, kStep), gap);
    out.append(buffer, static_cast<std::size_t>(end - buffer));
  }
}

void unpackHexPairs(std::string_view packed, std::string& out, std::span<const SharedBytes> source) {
  std::size_t at = 0;
  const std::size_t prefix = takeVarint(packed, at);
  out.append(packed.substr(at, prefix));
  at += prefix;
  const std::size_t count = takeVarint(packed, at);
  std::string repeated;
  std::string_view values;
  const char mode = at < packed.size() ? packed[at++] : '\0';
  if (mode == '\1' || mode == '\2') {
    const std::size_t size = takeVarint(packed, at);
    std::size_t from = at;
    repeated.reserve(count);
    if (mode == '\1')
      unpackRepeats(packed, from, repeated);
    else
      untakeFromSource(packed.substr(at, size), source, repeated);
    values = repeated;
    at += size;
  } else {
    values = packed.substr(at, count);
    at += count;
  }
  int gap = 0;
  std::size_t k = 0;
  // Records count from the pair before (from pair 0 for the first).
  std::size_t recordFrom = 0;
  while (k < values.size()) {
    // The usual text up to the next pair followed by other text.
    const std::size_t unusual = at < packed.size() ? recordFrom + takeVarint(packed, at) : values.size();
    const std::size_t usualEnd = std::min(unusual, values.size());
    appendUsualPairs(out, values.substr(k, usualEnd - k), gap);
    k = usualEnd;
    if (k == values.size()) break;
    const auto value = static_cast<unsigned char>(values[k]);
    const std::size_t n = takeVarint(packed, at);
    const std::string_view following = packed.substr(at, n);
    at += n;
    out += kDigits[value >> 4];
    out += kDigits[value & 0x0F];
    out.append(following);
    gap = gapAfter(following, gap);
    recordFrom = k++;
  }
}

}  // namespace ui
