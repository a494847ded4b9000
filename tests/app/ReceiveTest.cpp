// The byte processor: pane texts byte for byte, row ends, wrap characters,
// time stamps, reply counting and the view switch.
#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "app/TForm1.h"
#include "automatic/TForm2.h"
#include "platform/Cp1250.h"
#include "platform/ManualEventLoop.h"
#include "support/LocalTime.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

using namespace std::string_literals;
using platform::pl;

namespace {

struct ReceiveFixture : ::testing::Test {
  std::unique_ptr<app::TForm1> create() {
    auto form = std::make_unique<app::TForm1>(app::MainWindowServices{loop, dialogs, dir.path(), [] {}});
    form->FormCreate();
    return form;
  }

  // What a send does to the counters.
  static void send(app::TForm1& form) {
    form.Bytes.ReplyCounted = false;
    ++form.SentCount;
  }

  static void receive(app::TForm1& form, const std::string& bytes) {
    form.ProcessReceived(bytes, bytes.size());
  }

  static void wrapAt(app::TForm1& form, const std::string& text, int position) {
    form.WindRows.setChecked(true);
    form.EditWindRowsString.setText(text);
    form.rgWindRowsString.setItemIndex(position);
  }

  void setLocalTime(int hour, int minute, int second) {
    testing_support::setLocalTime(loop, hour, minute, second);
  }

  platform::ManualEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
  testing_support::TempDir dir;
};

TEST_F(ReceiveFixture, AReplyAfterASendIsShownAndCountedOnce) {
  auto form = create();
  send(*form);
  receive(*form, "12.5\r\n");
  EXPECT_EQ(form->Memo1.text(), "12.5\r\n");
  EXPECT_EQ(form->Memo2.text(), "31 32 2E 35 0D 0A\r\n  ");
  EXPECT_EQ(form->Bytes.ReplyCount, 1);
  EXPECT_TRUE(form->Bytes.ReplyCounted);
  EXPECT_TRUE(form->Bytes.PaneLineStart);
  EXPECT_EQ(form->StaticText6.caption(), "Odpowiedzi: 1 / 1");
  // No automatic measurement has run: the reply is reported as an interrupted one.
  EXPECT_EQ(form->StaticText5.caption(), pl("Pomiar automatyczny przerwany (Odpowiedzi: 1 / 1 )"));

  // A second LF before the next send ends a row and counts nothing.
  form->StaticText6.setCaption("x");
  receive(*form, "\n");
  EXPECT_EQ(form->Memo1.text(), "12.5\r\n\r\n");
  EXPECT_EQ(form->Memo2.text(), "31 32 2E 35 0D 0A\r\n  0A\r\n  ");
  EXPECT_EQ(form->Bytes.ReplyCount, 1);
  EXPECT_EQ(form->StaticText6.caption(), "x");

  // After a finished measurement its text keeps saying so. (Without an
  // orders editor the list is empty: the run ends at its first step, with
  // the counts at 0; one reply brings them to 1 / 1.)
  form->Automatyczny1Click();
  form->Timer1Timer();
  send(*form);
  receive(*form, "0\n");
  send(*form);
  receive(*form, "1\n");
  EXPECT_EQ(form->StaticText6.caption(), "Odpowiedzi: 2 / 2");
  EXPECT_EQ(form->StaticText5.caption(), pl("Pomiar automatyczny zakończony (Odpowiedzi: 2 / 2 )"));
}

TEST_F(ReceiveFixture, ARunningMeasurementKeepsItsStatusTexts) {
  auto form = create();
  automatic::TForm2 editor(*form);
  editor.StringGrid1.setRowCount(3);
  editor.StringGrid1.setRowCells(1, {"1", "wait", "3", "s", "1", "", ""});
  editor.StringGrid1.setRowCells(2, {"2", "wait", "2.999", "s", "5", "", ""});
  form->Automatyczny1Click();
  form->StaticText5.setCaption("run");
  form->StaticText6.setCaption("countdown");

  // At 3 s or more the countdown owns StaticText6.
  send(*form);
  receive(*form, "1\r\n");
  EXPECT_EQ(form->Bytes.ReplyCount, 1);
  EXPECT_EQ(form->StaticText6.caption(), "countdown");
  EXPECT_EQ(form->StaticText5.caption(), "run");

  // Faster measurements show the counts, and the state text still stays.
  form->Timer1Timer();
  EXPECT_EQ(form->Timer1->interval(), 2999);
  form->StaticText5.setCaption("run");
  send(*form);
  receive(*form, "2\r\n");
  EXPECT_EQ(form->StaticText6.caption(), "Odpowiedzi: 2 / 2");
  EXPECT_EQ(form->StaticText5.caption(), "run");
}

TEST_F(ReceiveFixture, RowEndsInTheAsciiPane) {
  // CR at the end of one chunk and LF at the start of the next: one row end.
  auto form = create();
  receive(*form, "A\r");
  receive(*form, "\nB");
  EXPECT_EQ(form->Memo1.text(), "A\r\nB");
  EXPECT_EQ(form->Memo2.text(), "41 0D 0A\r\n  42 ");

  // A LF into an empty pane stays a lone LF; a NUL before it does not count
  // as a character of the pane.
  form = create();
  receive(*form, "\0\n"s);
  EXPECT_EQ(form->Memo1.text(), "\n");
  EXPECT_EQ(form->Memo2.text(), "00 0A\r\n  ");

  // A LF after an ordinary character becomes CR LF.
  form = create();
  receive(*form, "A\nB\0\n"s);
  EXPECT_EQ(form->Memo1.text(), "A\r\nB\r\n");
}

TEST_F(ReceiveFixture, HexPaneGroupsEightBytes) {
  auto form = create();
  receive(*form, "ABCDEFGHI");
  EXPECT_EQ(form->Memo1.text(), "ABCDEFGHI");
  EXPECT_EQ(form->Memo2.text(), "41 42 43 44 45 46 47 48   49 ");

  // After a LF the row starts with the two spaces, and the eighth byte of the
  // row gets its two again.
  receive(*form, "\n12345678");
  EXPECT_EQ(form->Memo2.text(), "41 42 43 44 45 46 47 48   49 0A\r\n  31 32 33 34 35 36 37 38   ");

  // Rows after the reply was counted, several in one chunk.
  receive(*form, "9\nABCDEFGHI\n\nZYXWVUTSRQ");
  EXPECT_EQ(form->Memo1.text(), "ABCDEFGHI\r\n123456789\r\nABCDEFGHI\r\n\r\nZYXWVUTSRQ");
  EXPECT_EQ(form->Memo2.text(),
            "41 42 43 44 45 46 47 48   49 0A\r\n  31 32 33 34 35 36 37 38   39 0A\r\n"
            "  41 42 43 44 45 46 47 48   49 0A\r\n  0A\r\n  5A 59 58 57 56 55 54 53   52 51 ");
  // The next chunk goes on with the row's count.
  receive(*form, "123456");
  EXPECT_TRUE(form->Memo2.text().ends_with("  5A 59 58 57 56 55 54 53   52 51 31 32 33 34 35 36   "));
}

// After a counted reply a chunk of whole CR LF rows takes the quick way into
// the panes: every row of it still gets its stamp, and a row it leaves
// unfinished keeps its eight-byte grouping whatever the next chunk brings.
TEST_F(ReceiveFixture, WholeRowsAfterACountedReplyKeepTheirStampsAndGrouping) {
  auto form = create();
  form->InsertTime.setChecked(true);
  setLocalTime(8, 0, 1);
  send(*form);
  receive(*form, "1\r\n");
  setLocalTime(8, 0, 2);
  receive(*form, "2\r\n3\r\n4\r\n5\r\n");
  EXPECT_EQ(form->Memo1.text(),
            "08:00:01\t1\r\n08:00:02\t2\r\n08:00:02\t3\r\n08:00:02\t4\r\n08:00:02\t5\r\n");
  EXPECT_EQ(form->Memo2.text(), "31 0D 0A\r\n  32 0D 0A\r\n  33 0D 0A\r\n  34 0D 0A\r\n  35 0D 0A\r\n  ");

  const std::string rows = "12.5\r\n13.0\r\n";
  const std::string partial = "ABCDEFGHIJK";
  const std::string expected =
      "30 0D 0A\r\n  31 32 2E 35 0D 0A\r\n  31 33 2E 30 0D 0A\r\n"
      "  41 42 43 44 45 46 47 48   49 4A 4B ";
  for (std::size_t split = 0; split <= partial.size(); ++split) {
    form = create();
    send(*form);
    receive(*form, "0\r\n");
    receive(*form, rows + partial.substr(0, split));
    receive(*form, partial.substr(split));
    EXPECT_EQ(form->Memo2.text(), expected) << "split after " << split;
    EXPECT_EQ(form->Memo1.text(), "0\r\n" + rows + partial) << "split after " << split;
  }
}

TEST_F(ReceiveFixture, WrapCharacterEndingRows) {
  auto form = create();
  wrapAt(*form, "$0D", 1);
  receive(*form, "A\rB");
  // The CR itself is shown before the row end.
  EXPECT_EQ(form->Memo1.text(), "A\r\r\nB");
  EXPECT_EQ(form->Memo2.text(), "41 0D\r\n  42 ");
  EXPECT_EQ(form->Bytes.ReplyCount, 0);

  // The next row gets its own time stamp.
  form = create();
  wrapAt(*form, "$0D", 1);
  form->InsertTime.setChecked(true);
  setLocalTime(10, 0, 0);
  receive(*form, "A\rB");
  EXPECT_EQ(form->Memo1.text(), "10:00:00\tA\r\r\n10:00:00\tB");

  // A LF is tested before the wrap character, even when it is the wrap character.
  form = create();
  wrapAt(*form, "$0A", 1);
  send(*form);
  receive(*form, "A\n");
  EXPECT_EQ(form->Memo1.text(), "A\r\n");
  EXPECT_EQ(form->Memo2.text(), "41 0A\r\n  ");
  EXPECT_EQ(form->Bytes.ReplyCount, 1);

  // Without WindRows the wrap character is an ordinary byte.
  form = create();
  form->EditWindRowsString.setText("=");
  form->rgWindRowsString.setItemIndex(1);
  receive(*form, "A=B");
  EXPECT_EQ(form->Memo1.text(), "A=B");
}

TEST_F(ReceiveFixture, WrapCharacterStartingRowsWithTimeStamps) {
  auto form = create();
  wrapAt(*form, "=", 0);
  form->InsertTime.setChecked(true);
  setLocalTime(13, 45, 7);
  receive(*form, "=1");
  setLocalTime(13, 45, 9);
  receive(*form, "=2");
  EXPECT_EQ(form->Memo1.text(), "\r\n13:45:07\t=1\r\n13:45:09\t=2");
  EXPECT_EQ(form->Memo2.text(), "\r\n3D  31 \r\n3D  32 ");
  EXPECT_FALSE(form->Bytes.PaneLineStart);

  // Without wrapping a stamp starts each row, at the first character after a LF.
  form = create();
  form->InsertTime.setChecked(true);
  setLocalTime(9, 5, 0);
  receive(*form, "5\r\n");
  setLocalTime(23, 59, 59);
  receive(*form, "6");
  EXPECT_EQ(form->Memo1.text(), "09:05:00\t5\r\n23:59:59\t6");
  EXPECT_EQ(form->Memo2.text(), "35 0D 0A\r\n  36 ");
}

TEST_F(ReceiveFixture, WrapCharacterWithNoPositionIsLeftOut) {
  auto form = create();
  wrapAt(*form, "=", -1);
  receive(*form, "A=B");
  EXPECT_EQ(form->Memo1.text(), "AB");
  EXPECT_EQ(form->Memo2.text(), "41   42 ");
}

TEST_F(ReceiveFixture, WrapTextMatching) {
  // Whether text wraps at byte, seen in the HEX pane of a fresh window.
  auto wrapsAt = [this](const std::string& text, char byte) {
    auto form = create();
    wrapAt(*form, text, 1);
    receive(*form, std::string(1, byte));
    return form->Memo2.text().find("\r\n") != std::string::npos;
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
  wrapAt(*form, "$00", 1);
  receive(*form, "A\0B"s);
  EXPECT_EQ(form->Memo1.text(), "A\r\nB");
  EXPECT_EQ(form->Memo2.text(), "41 00\r\n  42 ");
}

TEST_F(ReceiveFixture, ChunkBoundariesDoNotChangeThePanes) {
  const std::string data = "12.5\r\n\r=A\0=\n=\r\nxyz=\r\n\n"s;
  struct Setup {
    const char* wrapText;
    int position;
    bool insertTime;
    bool captureFile = false;
  };
  const std::string captureFile = (dir.path() / "capture.txt").string();
  for (const Setup& setup : {Setup{nullptr, 0, false}, Setup{"=", 0, true}, Setup{"=", 1, false},
                             Setup{"$0D", 1, true}, Setup{"=", -1, false}, Setup{"=", 0, true, true}}) {
    auto run = [&](const std::vector<std::string>& chunks) {
      auto form = create();
      if (setup.wrapText) wrapAt(*form, setup.wrapText, setup.position);
      form->InsertTime.setChecked(setup.insertTime);
      // With a capture file each finished row goes to StoreReply.
      if (setup.captureFile) form->LabelFileName.setCaption(captureFile);
      send(*form);
      for (const std::string& chunk : chunks) receive(*form, chunk);
      return std::make_tuple(form->Memo1.text(), form->Memo2.text(), form->Bytes.ReplyCount,
                             form->Bytes.HexColumn, form->Bytes.PaneLineStart, form->StaticText6.caption());
    };
    const auto whole = run({data});
    for (std::size_t i = 1; i < data.size(); ++i)
      for (std::size_t j = i; j < data.size(); ++j)
        EXPECT_EQ(run({data.substr(0, i), data.substr(i, j - i), data.substr(j)}), whole)
            << (setup.wrapText ? setup.wrapText : "-") << " split at " << i << ", " << j;
  }
}

TEST_F(ReceiveFixture, ALongRowKeepsItsGroupingAcrossWhatIsAppendedAtOnce) {
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
  receive(*form, data);
  EXPECT_EQ(form->Memo1.text(), ascii);
  EXPECT_EQ(form->Memo2.text(), hex);
}

TEST_F(ReceiveFixture, AFloodedHexPaneHoldsOnlyWhatTheAsciiPaneDoesNot) {
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
    alone->Memo2.setPairSource(nullptr);
    alone->Memo2.setPackedHexPairs(false);
    for (auto* form : {sharing.get(), alone.get()}) form->InsertTime.setChecked(insertTime);
    // Past the first megabytes (the ASCII pane's first part is not shared).
    std::size_t measuredFrom = 0, memoryThen = 0;
    for (std::size_t at = 0; at < data.size();) {
      const std::size_t n = std::min<std::size_t>(random() % 300'000, data.size() - at);
      for (auto* form : {sharing.get(), alone.get()}) receive(*form, data.substr(at, n));
      at += n;
      if (measuredFrom == 0 && at >= data.size() / 6) {
        measuredFrom = at;
        memoryThen = sharing->Memo2.memoryBytes();
      }
      if (at < data.size() / 2 || at - n >= data.size() / 2) continue;
      if (!insertTime) {
        EXPECT_LT(static_cast<double>(sharing->Memo2.memoryBytes() - memoryThen),
                  0.1 * static_cast<double>(at - measuredFrom));
      }
      // Midway the ASCII pane alone is cleared: its rows no longer match.
      for (auto* form : {sharing.get(), alone.get()}) form->Memo1.clear();
    }
    const std::string hex = alone->Memo2.text();
    sharing->Memo1.setText("41");
    EXPECT_TRUE(sharing->Memo2.text() == hex) << "time stamps " << insertTime;
  }
}

TEST_F(ReceiveFixture, OnlyTheFirstCountBytesAreProcessed) {
  auto form = create();
  form->ProcessReceived("ABC\n", 2);
  EXPECT_EQ(form->Memo1.text(), "AB");
  form->ProcessReceived("", 0);
  EXPECT_EQ(form->Memo2.text(), "41 42 ");
}

TEST_F(ReceiveFixture, ViewSwitchedTwice) {
  auto form = create();
  form->setBounds(0, 0, 1000, 700);
  receive(*form, "ABC");
  form->LineErrorShown = form->FrameErrorShown = true;
  form->Edit2.setText(pl("Błąd:"));

  form->Button4.click();
  EXPECT_EQ(form->Button4.caption(), "&ASCII+HEX");
  EXPECT_EQ(form->Bytes.HexRowLength, 200);
  EXPECT_FALSE(form->Memo2.visible());
  EXPECT_FALSE(form->StaticText2.visible());
  EXPECT_FALSE(form->LineErrorShown || form->FrameErrorShown);
  EXPECT_EQ(form->Edit2.text(), "");
  EXPECT_EQ(form->Memo1.width(), 900);
  EXPECT_EQ(form->Memo1.font().name, "Courier New");
  EXPECT_EQ(form->Memo1.font().size, 8);

  // The hidden HEX pane is still filled.
  receive(*form, "D");
  EXPECT_EQ(form->Memo2.text(), "41 42 43 44 ");

  form->SmallScreen = false;
  form->Button4.click();
  EXPECT_EQ(form->Button4.caption(), pl("&Tylko ASCII"));
  EXPECT_EQ(form->Bytes.HexRowLength, 16);
  EXPECT_TRUE(form->Memo2.visible());
  EXPECT_TRUE(form->StaticText2.visible());
  EXPECT_EQ(form->Memo1.width(), 230);
  EXPECT_EQ(form->Memo1.font().size, 7);

  // The eight-byte grouping starts again.
  receive(*form, "12345678");
  EXPECT_EQ(form->Memo2.text(), "41 42 43 44 31 32 33 34 35 36 37 38   ");
}

}  // namespace
