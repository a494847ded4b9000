// The byte processor on its own, with two pane models: pane texts byte for
// byte, row ends, wrap characters, time stamps, reply counting, the rows
// handed to the capture file, and the import's layout.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/ManualEventLoop.h"
#include "support/LocalTime.h"
#include "support/PaneProcessor.h"

using namespace std::string_literals;

namespace {

struct ByteProcessorFixture : ::testing::Test {
  std::unique_ptr<testing_support::PaneProcessor> create() {
    return std::make_unique<testing_support::PaneProcessor>(loop);
  }
  void setLocalTime(int hour, int minute, int second) {
    testing_support::setLocalTime(loop, hour, minute, second);
  }

  platform::ManualEventLoop loop;
};

TEST_F(ByteProcessorFixture, RowEndsInTheAsciiPane) {
  // CR at the end of one chunk and LF at the start of the next: one row end.
  auto form = create();
  form->receive("A\r");
  form->receive("\nB");
  EXPECT_EQ(form->ascii.text(), "A\r\nB");
  EXPECT_EQ(form->hex.text(), "41 0D 0A\r\n  42 ");

  // A LF into an empty pane stays a lone LF; a NUL before it does not count
  // as a character of the pane.
  form = create();
  form->receive("\0\n"s);
  EXPECT_EQ(form->ascii.text(), "\n");
  EXPECT_EQ(form->hex.text(), "00 0A\r\n  ");

  // A LF after an ordinary character becomes CR LF.
  form = create();
  form->receive("A\nB\0\n"s);
  EXPECT_EQ(form->ascii.text(), "A\r\nB\r\n");
}

TEST_F(ByteProcessorFixture, HexPaneGroupsEightBytes) {
  auto form = create();
  form->receive("ABCDEFGHI");
  EXPECT_EQ(form->ascii.text(), "ABCDEFGHI");
  EXPECT_EQ(form->hex.text(), "41 42 43 44 45 46 47 48   49 ");

  // After a LF the row starts with the two spaces, and the eighth byte of the
  // row gets its two again.
  form->receive("\n12345678");
  EXPECT_EQ(form->hex.text(), "41 42 43 44 45 46 47 48   49 0A\r\n  31 32 33 34 35 36 37 38   ");

  // Rows after the reply was counted, several in one chunk.
  form->receive("9\nABCDEFGHI\n\nZYXWVUTSRQ");
  EXPECT_EQ(form->ascii.text(), "ABCDEFGHI\r\n123456789\r\nABCDEFGHI\r\n\r\nZYXWVUTSRQ");
  EXPECT_EQ(form->hex.text(),
            "41 42 43 44 45 46 47 48   49 0A\r\n  31 32 33 34 35 36 37 38   39 0A\r\n"
            "  41 42 43 44 45 46 47 48   49 0A\r\n  0A\r\n  5A 59 58 57 56 55 54 53   52 51 ");
  // The next chunk goes on with the row's count.
  form->receive("123456");
  EXPECT_TRUE(form->hex.text().ends_with("  5A 59 58 57 56 55 54 53   52 51 31 32 33 34 35 36   "));
}

// After a counted reply a chunk of whole CR LF rows takes the quick way into
// the panes: every row of it still gets its stamp, and a row it leaves
// unfinished keeps its eight-byte grouping whatever the next chunk brings.
TEST_F(ByteProcessorFixture, WholeRowsAfterACountedReplyKeepTheirStampsAndGrouping) {
  auto form = create();
  form->window.settings.insertTime = true;
  setLocalTime(8, 0, 1);
  form->bytes.awaitReply();
  form->receive("1\r\n");
  setLocalTime(8, 0, 2);
  form->receive("2\r\n3\r\n4\r\n5\r\n");
  EXPECT_EQ(form->ascii.text(),
            "08:00:01\t1\r\n08:00:02\t2\r\n08:00:02\t3\r\n08:00:02\t4\r\n08:00:02\t5\r\n");
  EXPECT_EQ(form->hex.text(), "31 0D 0A\r\n  32 0D 0A\r\n  33 0D 0A\r\n  34 0D 0A\r\n  35 0D 0A\r\n  ");

  const std::string rows = "12.5\r\n13.0\r\n";
  const std::string partial = "ABCDEFGHIJK";
  const std::string expected =
      "30 0D 0A\r\n  31 32 2E 35 0D 0A\r\n  31 33 2E 30 0D 0A\r\n"
      "  41 42 43 44 45 46 47 48   49 4A 4B ";
  for (std::size_t split = 0; split <= partial.size(); ++split) {
    form = create();
    form->bytes.awaitReply();
    form->receive("0\r\n");
    form->receive(rows + partial.substr(0, split));
    form->receive(partial.substr(split));
    EXPECT_EQ(form->hex.text(), expected) << "split after " << split;
    EXPECT_EQ(form->ascii.text(), "0\r\n" + rows + partial) << "split after " << split;
  }
}

TEST_F(ByteProcessorFixture, WrapCharacterEndingRows) {
  auto form = create();
  form->wrapAt("$0D", 1);
  form->receive("A\rB");
  // The CR itself is shown before the row end.
  EXPECT_EQ(form->ascii.text(), "A\r\r\nB");
  EXPECT_EQ(form->hex.text(), "41 0D\r\n  42 ");
  EXPECT_EQ(form->bytes.replyCount(), 0);

  // The next row gets its own time stamp.
  form = create();
  form->wrapAt("$0D", 1);
  form->window.settings.insertTime = true;
  setLocalTime(10, 0, 0);
  form->receive("A\rB");
  EXPECT_EQ(form->ascii.text(), "10:00:00\tA\r\r\n10:00:00\tB");

  // A LF is tested before the wrap character, even when it is the wrap character.
  form = create();
  form->wrapAt("$0A", 1);
  form->bytes.awaitReply();
  form->receive("A\n");
  EXPECT_EQ(form->ascii.text(), "A\r\n");
  EXPECT_EQ(form->hex.text(), "41 0A\r\n  ");
  EXPECT_EQ(form->bytes.replyCount(), 1);

  // Without WindRows the wrap character is an ordinary byte.
  form = create();
  form->window.settings.setWrapText("=");
  form->window.settings.wrapPosition = 1;
  form->receive("A=B");
  EXPECT_EQ(form->ascii.text(), "A=B");
}

TEST_F(ByteProcessorFixture, WrapCharacterStartingRowsWithTimeStamps) {
  auto form = create();
  form->wrapAt("=", 0);
  form->window.settings.insertTime = true;
  setLocalTime(13, 45, 7);
  form->receive("=1");
  setLocalTime(13, 45, 9);
  form->receive("=2");
  EXPECT_EQ(form->ascii.text(), "\r\n13:45:07\t=1\r\n13:45:09\t=2");
  EXPECT_EQ(form->hex.text(), "\r\n3D  31 \r\n3D  32 ");
  EXPECT_FALSE(form->bytes.paneLineStart());

  // Without wrapping a stamp starts each row, at the first character after a LF.
  form = create();
  form->window.settings.insertTime = true;
  setLocalTime(9, 5, 0);
  form->receive("5\r\n");
  setLocalTime(23, 59, 59);
  form->receive("6");
  EXPECT_EQ(form->ascii.text(), "09:05:00\t5\r\n23:59:59\t6");
  EXPECT_EQ(form->hex.text(), "35 0D 0A\r\n  36 ");
}

TEST_F(ByteProcessorFixture, WrapCharacterWithNoPositionIsLeftOut) {
  auto form = create();
  form->wrapAt("=", -1);
  form->receive("A=B");
  EXPECT_EQ(form->ascii.text(), "AB");
  EXPECT_EQ(form->hex.text(), "41   42 ");
}

TEST_F(ByteProcessorFixture, WrapTextMatching) {
  // Whether text wraps at byte, seen in the HEX pane of a fresh window.
  auto wrapsAt = [this](const std::string& text, char byte) {
    auto form = create();
    form->wrapAt(text, 1);
    form->receive(std::string(1, byte));
    return form->hex.text().find("\r\n") != std::string::npos;
  };
  struct Case {
    std::string text;
    std::string wraps;
    std::string passes;
  };
  const Case cases[] = {
      {"=", "=", "A$\0"s},
      {"=x", "=", "x"},                // only the first character
      {"$0D", "\r$", "0D\0"s},         // a "$" text also matches "$" itself
      {"$0d", "\r$", "d"},             // hexadecimal digits in either case
      {"$00", "\0$"s, "0A"},           // the default wraps at NUL
      {"$", "\0$"s, "A"},              // no digits: no valid integer, 0
      {"$1G", "\0$"s, "\x1G"},         // not a valid integer: 0
      {"$141", "A$", "\x01"},          // low 8 bits
      {"$FFFFFFFF", "\xFF$"s, "\0"s},  // the largest 32-bit value
      {"$100000041", "\0$"s, "A"},     // beyond 32 bits: not a valid integer
      {"", "", "\0$="s},               // an empty text never wraps
  };
  for (const Case& c : cases) {
    for (char b : c.wraps) EXPECT_TRUE(wrapsAt(c.text, b)) << c.text << " at " << int(b);
    for (char b : c.passes) EXPECT_FALSE(wrapsAt(c.text, b)) << c.text << " at " << int(b);
  }

  // A NUL wrap byte in position 1 is not shown, its row still ends.
  auto form = create();
  form->wrapAt("$00", 1);
  form->receive("A\0B"s);
  EXPECT_EQ(form->ascii.text(), "A\r\nB");
  EXPECT_EQ(form->hex.text(), "41 00\r\n  42 ");
}

TEST_F(ByteProcessorFixture, ChunkBoundariesDoNotChangeThePanes) {
  const std::string data = "12.5\r\n\r=A\0=\n=\r\nxyz=\r\n\n"s;
  struct Setup {
    const char* wrapText;
    int position;
    bool insertTime;
    bool storeRows = false;
    bool fileTakesRows = true;
  };
  for (const Setup& setup : {Setup{nullptr, 0, false}, Setup{"=", 0, true}, Setup{"=", 1, false},
                             Setup{"$0D", 1, true}, Setup{"=", -1, false}, Setup{"=", 0, true, true},
                             Setup{nullptr, 0, false, true}, Setup{"$0D", 1, false, true, false}}) {
    auto run = [&](const std::vector<std::string>& chunks) {
      auto form = create();
      if (setup.wrapText) form->wrapAt(setup.wrapText, setup.position);
      form->window.settings.insertTime = setup.insertTime;
      // With a capture file each finished row goes to it, with the rows it
      // did not take; the rows it takes leave the panes.
      form->window.settings.storeRows = setup.storeRows;
      form->window.fileTakesRows = setup.fileTakesRows;
      form->bytes.awaitReply();
      for (const std::string& chunk : chunks) form->receive(chunk);
      return std::make_tuple(form->ascii.text(), form->hex.text(), form->bytes.replyCount(),
                             form->bytes.hexColumn(), form->bytes.paneLineStart(), form->window.repliesShown,
                             form->window.rows);
    };
    const auto whole = run({data});
    for (std::size_t i = 1; i < data.size(); ++i)
      for (std::size_t j = i; j < data.size(); ++j)
        EXPECT_EQ(run({data.substr(0, i), data.substr(i, j - i), data.substr(j)}), whole)
            << (setup.wrapText ? setup.wrapText : "-") << " split at " << i << ", " << j;
  }
}

TEST_F(ByteProcessorFixture, ALongRowKeepsItsGroupingAcrossWhatIsAppendedAtOnce) {
  // Far longer than the text collected before each append to a pane: the
  // eight-byte groups and the NULs left out carry on across the pieces.
  std::mt19937 random(3);
  std::string data(50'000, '\0');
  for (char& c : data) c = static_cast<char>(random() % 7 == 0 ? 0 : random() % 9 + 'a');
  std::string ascii, hex;
  constexpr char digits[] = "0123456789ABCDEF";
  for (std::size_t k = 0; k < data.size(); ++k) {
    if (data[k] != '\0') ascii += data[k];
    const auto b = static_cast<unsigned char>(data[k]);
    hex += {digits[b >> 4], digits[b & 15], ' '};
    if ((k + 1) % 8 == 0) hex += "  ";
  }
  auto form = create();
  form->receive(data);
  EXPECT_EQ(form->ascii.text(), ascii);
  EXPECT_EQ(form->hex.text(), hex);
}

TEST_F(ByteProcessorFixture, AFloodedHexPaneHoldsOnlyWhatTheAsciiPaneDoesNot) {
  // Random bytes: NULs the ASCII pane leaves out, LFs it puts a CR before,
  // CR LFs it keeps. The HEX pane takes its values from the ASCII pane's rows
  // where they agree; its text must be what a plain pane's is, whatever
  // happens to the ASCII pane meanwhile.
  std::mt19937 random(8);
  std::string data(6'000'000, '\0');
  for (char& c : data) c = static_cast<char>(random());
  for (const bool insertTime : {false, true}) {
    auto sharing = create();
    auto alone = create();
    alone->hex.setPairSource(nullptr);
    alone->hex.setPackedHexPairs(false);
    for (auto* form : {sharing.get(), alone.get()}) form->window.settings.insertTime = insertTime;
    // Past the first megabytes (the ASCII pane's first part is not shared).
    std::size_t measuredFrom = 0, memoryThen = 0;
    for (std::size_t at = 0; at < data.size();) {
      const std::size_t n = std::min<std::size_t>(random() % 300'000, data.size() - at);
      for (auto* form : {sharing.get(), alone.get()}) form->receive(data.substr(at, n));
      at += n;
      if (measuredFrom == 0 && at >= data.size() / 6) {
        measuredFrom = at;
        memoryThen = sharing->hex.memoryBytes();
      }
      if (at < data.size() / 2 || at - n >= data.size() / 2) continue;
      if (!insertTime) {
        EXPECT_LT(static_cast<double>(sharing->hex.memoryBytes() - memoryThen),
                  0.1 * static_cast<double>(at - measuredFrom));
      }
      // Midway the ASCII pane alone is cleared: its rows no longer match.
      for (auto* form : {sharing.get(), alone.get()}) form->ascii.clear();
    }
    const std::string hex = alone->hex.text();
    sharing->ascii.setText("41");
    EXPECT_TRUE(sharing->hex.text() == hex) << "time stamps " << insertTime;
  }
}

TEST_F(ByteProcessorFixture, OnlyTheFirstCountBytesAreProcessed) {
  auto form = create();
  form->bytes.ProcessReceived("ABC\n", 2);
  EXPECT_EQ(form->ascii.text(), "AB");
  form->bytes.ProcessReceived("", 0);
  EXPECT_EQ(form->hex.text(), "41 42 ");
}

// A row the capture file takes leaves both panes empty, and the HEX pane
// starts the next row with its gap; a row it does not take stays, and goes
// again with the next one, as the panes show them.
TEST_F(ByteProcessorFixture, RowsGoToTheCaptureFileWithWhatThePanesHeld) {
  auto form = create();
  form->receive("old\r\n");
  form->window.settings.storeRows = true;
  form->bytes.awaitReply();
  form->receive("1\r\n2");
  using Rows = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(form->window.rows, (Rows{{"old\r\n1\r\n", "6F 6C 64 0D 0A\r\n  31 0D 0A\r\n"}}));
  EXPECT_EQ(form->ascii.text(), "2");
  EXPECT_EQ(form->hex.text(), "  32 ");
  EXPECT_EQ(form->bytes.replyCount(), 2);

  form->window.fileTakesRows = false;
  form->receive("\n3\n");
  EXPECT_EQ(form->window.rows.back(),
            (std::pair<std::string, std::string>{"2\r\n3\r\n", "  32 0A\r\n  33 0A\r\n"}));
  EXPECT_EQ(form->ascii.text(), "2\r\n3\r\n");
  form->window.fileTakesRows = true;
  form->receive("4\n");
  EXPECT_EQ(form->window.rows.back().first, "2\r\n3\r\n4\r\n");
  EXPECT_TRUE(form->ascii.empty());

  // A row far longer than what waits for the panes in one go.
  const std::string row(40'000, 'x');
  form->receive(row + "\n");
  EXPECT_EQ(form->window.rows.back().first, row + "\r\n");
  EXPECT_EQ(form->window.rows.back().second.size(), 2 + 40'000u * 3 + 5'000u * 2 + 4);
  EXPECT_TRUE(form->ascii.empty());
}

TEST_F(ByteProcessorFixture, ImportGroupsHexRowsByFourBytesAndBreaksThemAtTheRowLength) {
  auto form = create();
  {
    app::PaneAppender ascii(form->ascii), hex(form->hex);
    form->bytes.importLine("ABCDEFGHIJKLMNOPQ", ascii, hex);
  }
  EXPECT_EQ(form->ascii.text(), "\r\nABCDEFGHIJKLMNOP\r\nQ");
  EXPECT_EQ(form->hex.text(), "\r\n41 42 43 44   45 46 47 48   49 4A 4B 4C   4D 4E 4F 50 \r\n51 ");
  EXPECT_EQ(form->bytes.hexColumn(), 1);
}

}  // namespace
