// The pane model: NUL never enters, rows as a view reads them (in order, from
// the end, at random), what the listener is told, and the memory held.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "ui/HexPairs.h"
#include "ui/Memo.h"

using namespace std::string_literals;

namespace {

constexpr std::size_t kBigRow = std::size_t{5} << 20;

// The rows of a text the plain way: split at LF, one CR before it dropped.
std::vector<std::string> rowsOf(const std::string& text) {
  std::vector<std::string> rows{""};
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      if (!rows.back().empty() && rows.back().back() == '\r') rows.back().pop_back();
      rows.emplace_back();
    } else {
      rows.back() += text[i];
    }
  }
  return rows;
}

// Rows are checked against the expected text, not against text(), which
// would join a large pane's parts first.
void expectRows(const ui::Memo& memo, const std::string& text, const std::vector<std::size_t>& order) {
  const std::vector<std::string> rows = rowsOf(text);
  std::vector<std::size_t> starts{0};
  for (std::size_t i = 0; i < text.size(); ++i)
    if (text[i] == '\n') starts.push_back(i + 1);
  ASSERT_EQ(memo.lineCount(), rows.size());
  std::size_t longest = 0;
  for (const std::string& row : rows) longest = std::max(longest, row.size());
  EXPECT_EQ(memo.longestLine(), longest);
  for (std::size_t i : order) {
    ASSERT_EQ(memo.line(i), rows[i]) << "row " << i;
    ASSERT_EQ(memo.lineStart(i), starts[i]) << "row " << i;
  }
}

std::vector<std::size_t> allRows(const ui::Memo& memo) {
  std::vector<std::size_t> order(memo.lineCount());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  return order;
}

struct RecordingListener : ui::MemoListener {
  void memoAppended() override { events.push_back("appended"); }
  void memoReset() override { events.push_back("reset"); }
  void memoScrolledToEnd() override { events.push_back("end"); }
  std::vector<std::string> events;
};

TEST(Memo, NulNeverEntersAndTheListenerHearsWhatChanged) {
  ui::Memo memo("Memo1");
  RecordingListener listener;
  memo.setMemoListener(&listener);
  EXPECT_TRUE(memo.empty());
  EXPECT_EQ(memo.lastChar(), '\0');

  memo.append("A\0B\0"s);
  memo.append("\0"s);
  memo.append('\0');
  memo.append("C\r\n");
  memo.scrollToEnd();
  EXPECT_EQ(memo.text(), "ABC\r\n");
  EXPECT_EQ(memo.lastChar(), '\n');
  EXPECT_EQ(listener.events, (std::vector<std::string>{"appended", "appended", "end"}));

  memo.setText("x\0y\n"s);
  EXPECT_EQ(memo.text(), "xy\n");
  EXPECT_EQ(memo.lineCount(), 2u);
  EXPECT_EQ(memo.line(0), "xy");
  EXPECT_EQ(memo.line(1), "");
  EXPECT_EQ(memo.line(2), "");  // beyond the last row
  EXPECT_EQ(listener.events.back(), "reset");
}

class MemoKinds : public ::testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(PlainAndPacked, MemoKinds, ::testing::Bool());

TEST_P(MemoKinds, RowsAreFoundInAnyOrder) {
  // Rows of every kind: empty, lone CR, CR inside, longer than the index
  // spacing, longer than a block of a large pane, and thousands of short ones,
  // appended in pieces of random size, some with NUL bytes that are dropped.
  std::mt19937 random(7);
  std::string text;
  std::string sent;
  for (int i = 0; i < 6000; ++i) {
    std::string row;
    switch (random() % 7) {
      case 0:
        row = "\n";
        break;
      case 1:
        row = "\r\r\n";
        break;
      case 2:
        row = std::string(random() % 9000, 'x') + "\r\n";
        break;
      case 3:
        row = "a\rb\n";
        break;
      case 4:
        sent += "\0"s;
        break;
      default:
        row = "S S     123.45 g\r\n";
        break;
    }
    if (i == 2000 || i == 4000) row = std::string((3 << 20) + i, 'L') + "\r\n";
    text += row;
    sent += row;
  }
  text += "last";
  sent += "last";

  ui::Memo memo("Memo2");
  memo.setPackedHexPairs(GetParam());
  for (std::size_t at = 0; at < sent.size();) {
    const std::size_t n =
        std::min<std::size_t>(random() % 300 + (at > 5000000 ? 200000 : 0), sent.size() - at);
    memo.append(std::string_view(sent).substr(at, n));
    at += n;
  }
  EXPECT_EQ(memo.lastChar(), 't');
  std::vector<std::size_t> order = allRows(memo);
  expectRows(memo, text, order);
  expectRows(memo, text, {order.rbegin(), order.rend()});
  std::shuffle(order.begin(), order.end(), random);
  expectRows(memo, text, order);

  // The whole text in one string, and rows still found after more appends.
  ASSERT_EQ(memo.text(), text);
  expectRows(memo, text, allRows(memo));
  for (int i = 0; i < 3000; ++i) {
    memo.append(" more\r\n");
    text += " more\r\n";
  }
  memo.append(std::string(kBigRow, 'y'));
  text += std::string(kBigRow, 'y');
  order = allRows(memo);
  std::shuffle(order.begin(), order.end(), random);
  expectRows(memo, text, order);
  EXPECT_EQ(memo.text(), text);

  // A new text forgets the old rows, also where the last row read was: a
  // longer row after it and a shorter text than the old position.
  ASSERT_EQ(memo.line(3), rowsOf(text)[3]);
  const std::string other = "a\r\nbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb\r\nc\r\nd\r\ne\r\nf\r\ng";
  memo.setText(other);
  expectRows(memo, other, {4, 5, 6, 0, 3});
  memo.setText("one\r\ntwo");
  EXPECT_EQ(memo.line(5), "");
  expectRows(memo, "one\r\ntwo", {1, 0, 1});
  memo.clear();
  EXPECT_EQ(memo.lineCount(), 1u);
  EXPECT_EQ(memo.line(0), "");
  EXPECT_TRUE(memo.empty());
}

TEST(Memo, AFloodedPaneHoldsLittleMoreThanItsText) {
  ui::Memo memo("Memo2");
  std::string rows;
  while (rows.size() < 4096) rows += "53 20 53 0D 0A\r\n  ";
  std::size_t appended = 0;
  for (; appended < (std::size_t{64} << 20); appended += rows.size()) memo.append(rows);
  EXPECT_LE(static_cast<double>(memo.memoryBytes()) / static_cast<double>(appended), 1.1);
  EXPECT_EQ(memo.text().size(), appended);

  // Clearing a large pane gives its memory back.
  memo.clear();
  EXPECT_LT(memo.memoryBytes(), std::size_t{4096});

  // Asking for the whole text again and again as the pane grows.
  std::string expected;
  for (int i = 0; i < 4096; ++i) {
    memo.append(rows);
    expected += rows;
    if (i % 64 == 0) {
      ASSERT_EQ(memo.text().size(), expected.size());
    }
  }
  EXPECT_LE(static_cast<double>(memo.memoryBytes()) / static_cast<double>(expected.size()), 1.3);
  EXPECT_EQ(memo.text(), expected);
}

// Received bytes laid out as the HEX pane shows them: pairs, groups of
// eight, rows ended by 0A, and now and then a wrap byte that ends or starts
// a row, or the grouping restarted mid-row.
std::string hexPaneText(std::size_t bytes, std::mt19937& random) {
  constexpr char digits[] = "0123456789ABCDEF";
  std::string text;
  int column = 0;
  for (std::size_t i = 0; i < bytes; ++i) {
    const unsigned b = random() % 100 < 3 ? 0x0A : random() & 0xFF;
    const unsigned odd = random() % 500;
    const std::string pair{digits[b >> 4], digits[b & 15]};
    if (b == 0x0A) {
      text += "0A\r\n";
      column = -1;
    } else if (odd == 0) {
      text += pair + "\r\n";  // a wrap byte ends the row
      column = -1;
    } else if (odd == 1) {
      text += "\r\n" + pair;  // a wrap byte starts one
      column = -1;
    } else {
      text += pair + " ";
    }
    if (odd == 2) column = 0;  // the view switched
    if (++column % 8 == 0) text += "  ";
  }
  return text;
}

// A scale's rows in the HEX pane, the same again and again but for one:
// kept as copies of earlier values that overlap what they produce.
std::string repeatedRows() {
  std::string text;
  for (int i = 0; i < 3000; ++i)
    text += i == 1500 ? "  41 42\r\n"s : "  53 20 53 20 20 20 20 20   31 32 33 2E 34 35 20 67   0D 0A\r\n"s;
  return text;
}

TEST(Memo, APackedHexPaneReadsBackExactlyInLittleMemory) {
  // Odd texts round-trip too: no pairs, lower case, a lone digit, pairs
  // without spaces, a row end alone.
  for (const std::string& text :
       {""s, "Podzial okien"s, "0a 1b"s, "4"s, "41424"s, "\r\n"s, "  41 \r\n7F   "s, repeatedRows()}) {
    std::string back;
    ui::unpackHexPairs(ui::packHexPairs(text), back);
    EXPECT_EQ(back, text);
  }

  std::mt19937 random(21);
  const std::string text = hexPaneText(3'000'000, random);
  ui::Memo memo("Memo2");
  memo.setPackedHexPairs(true);
  // Past the first few blocks, about one byte per pair: far below the text's
  // three and more.
  std::size_t measuredFrom = 0, memoryThen = 0;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t n = std::min<std::size_t>(random() % 20000, text.size() - at);
    memo.append(std::string_view(text).substr(at, n));
    at += n;
    if (measuredFrom == 0 && at > (std::size_t{3} << 20)) {
      measuredFrom = at;
      memoryThen = memo.memoryBytes();
    }
  }
  EXPECT_LT(static_cast<double>(memo.memoryBytes() - memoryThen),
            0.4 * static_cast<double>(text.size() - measuredFrom));
  // In order, then rows here and there (each may unpack a block).
  std::vector<std::size_t> order = allRows(memo);
  expectRows(memo, text, order);
  std::shuffle(order.begin(), order.end(), random);
  order.resize(200);
  expectRows(memo, text, order);
  EXPECT_EQ(memo.text(), text);
  memo.append("41 ");
  EXPECT_EQ(memo.text(), text + "41 ");
}

// Pairs handed over as values: the text read back at any moment and the
// memory held are those of the same pairs appended as text, through gaps that break the layout, text appended in
// between, and stretches long enough to be packed unread.
TEST(Memo, PairsAppendedAsValuesReadAsTheirText) {
  std::mt19937 random(8);
  ui::Memo ascii("Memo1");
  ui::Memo hex("Memo2");
  hex.setPackedHexPairs(true);
  hex.setPairSource(&ascii);
  std::string text;
  unsigned column = 0;
  // The byte processor's layout, byte by byte.
  auto expectPairs = [&](std::string_view values) {
    constexpr char digits[] = "0123456789ABCDEF";
    for (const char c : values) {
      const auto b = static_cast<unsigned char>(c);
      text += {digits[b >> 4], digits[b & 15]};
      text += b == 0x0A ? "\r\n" : " ";
      column = b == 0x0A ? 0 : column + 1;
      if (column % 8 == 0) text += "  ";
    }
  };
  std::size_t measuredFrom = 0, memoryThen = 0;
  while (text.size() < 12'000'000) {
    // Scale rows or random bytes, a chunk at a time.
    std::string values;
    const bool rows = random() % 4 != 0;
    const std::size_t n = random() % 30000;
    for (std::size_t k = 0; k < n; ++k)
      values += rows ? (k % 18 == 17 ? '\n' : "S S  12.5 g\r"[random() % 13]) : static_cast<char>(random());
    const unsigned step = random() % 40;
    if (step == 0) {
      // A wrap byte starts a row in both panes.
      ascii.append("\r\n");
      hex.append("\r\n");
      text += "\r\n";
      column = 0;
    } else if (step == 1) {
      column = random() % 8;  // no longer where the pane's gap is
    }
    ascii.append(values);
    hex.appendPairs(values, static_cast<int>(column % 8));
    expectPairs(values);
    if (step == 2) {
      ASSERT_EQ(hex.lastChar(), text.back());
    } else if (step == 3) {
      const std::size_t row = random() % hex.lineCount();
      ASSERT_EQ(hex.line(row), rowsOf(text)[row]) << "row " << row;
    }
    if (measuredFrom == 0 && text.size() > (std::size_t{6} << 20)) {
      measuredFrom = text.size();
      memoryThen = hex.memoryBytes();
    }
  }
  // Random bytes and the pane's first megabyte take memory of their own; the
  // rest of the pairs come from the characters.
  EXPECT_LT(static_cast<double>(hex.memoryBytes() - memoryThen), 0.15 * static_cast<double>(text.size() - measuredFrom));
  std::vector<std::size_t> order = allRows(hex);
  expectRows(hex, text, order);
  EXPECT_EQ(hex.text(), text);
}

}  // namespace
