// Readings of the counted reply rows: taken from the byte processor whatever
// the chunks, tagged by an automatic measurement, none in fast write.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "SequencerFixture.h"
#include "readings/TResultsForm.h"

// Like the readings' other tests, on Linux only.
#ifndef _WIN32
namespace {

using namespace std::chrono_literals;
using readings::State;
using testing_support::TempDir;

struct Tag {
  int order, pass;
  bool operator==(const Tag&) const = default;
};

TEST(Readings, OnlyCountedRowsAreReadWhereverTheChunksSplit) {
  platform::ManualEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
  TempDir dir;
  const std::string bytes = "junk\r\nS S     123.45 g\r\nS D  1.5 g\r\n";
  for (std::size_t split = 0; split <= bytes.size(); ++split) {
    SCOPED_TRACE(split);
    testing_support::ResetProgramValues();
    app::TForm1 form({loop, dialogs, dir.path(), [] {}});
    form.FormCreate();
    form.ProcessReceived("x", 1);  // a row in progress before the send
    // The send: the next LF is the reply.
    form.Bytes.awaitReply();
    form.Readings.sent();
    form.ProcessReceived(bytes.substr(0, split), split);
    form.ProcessReceived(bytes.substr(split), bytes.size() - split);
    ASSERT_EQ(form.Readings.size(), 1u);
    const readings::Reading& r = form.Readings.at(0);
    EXPECT_EQ(form.Readings.rawText(r), "xjunk");
    EXPECT_FALSE(r.hasValue());
    EXPECT_EQ(r.state, State::Unknown);
  }

  // With the wrap character starting rows, the counted row is the one the LF
  // ends; the panes are as they were.
  testing_support::ResetProgramValues();
  app::TForm1 form({loop, dialogs, dir.path(), [] {}});
  form.FormCreate();
  form.WindRows.setChecked(true);
  form.EditWindRowsString.setText("S");
  form.rgWindRowsString.setItemIndex(0);
  form.Bytes.awaitReply();
  form.ProcessReceived("ab S  7.25 kg ?\r\n", 17);
  ASSERT_EQ(form.Readings.size(), 1u);
  EXPECT_EQ(form.Readings.rawText(form.Readings.at(0)), "S  7.25 kg ?");
  EXPECT_EQ(form.Readings.at(0).value, 7.25);
  EXPECT_EQ(form.Readings.at(0).state, State::Unstable);
  EXPECT_EQ(form.Memo1.text(), "ab \r\nS  7.25 kg ?\r\n");
}

struct ReadingsRun : automatic_test::SequencerFixture {};

TEST_F(ReadingsRun, AnAutomaticMeasurementTagsItsReadingsAndStartsANewSeries) {
  // Order 1 twice, order 2 once, two passes in all.
  fill({{"1", "SI", "1", "s", "2", "7", "9600"},
        {"2", "SI", "1", "s", "1", "7", "9600"},
        {"3", "repeat", "1", "s", "2", "", ""}});
  answer = "S S     100.05 g\r\n";
  // A reading from before the run goes with the old series.
  form->Readings.addRow("S S 1 g", 0);
  start();
  EXPECT_EQ(form->Readings.size(), 0u);
  for (int step = 1; step <= 7; ++step) {
    advanceTo(step * 1000);
    ASSERT_TRUE(loop.runUntil([&] { return form->Bytes.replyCount() == std::min(step, 6); }, 2s)) << step;
  }
  std::vector<Tag> tags;
  for (std::size_t i = 0; i < form->Readings.size(); ++i)
    tags.push_back({form->Readings.at(i).order, form->Readings.at(i).pass});
  EXPECT_EQ(tags, (std::vector<Tag>{{1, 1}, {1, 1}, {2, 1}, {1, 2}, {1, 2}, {2, 2}}));
  EXPECT_EQ(form->Readings.stats(form->Readings.mainUnit(), false).count, 6);
  EXPECT_EQ(form->Readings.at(0).timeMs - form->Readings.at(5).timeMs, -5000);

  // A manual send afterwards carries no tag.
  form->Edit1.setText("SI");
  form->btnWyslijClick();
  ASSERT_TRUE(loop.runUntil([&] { return form->Bytes.replyCount() == 7; }, 2s));
  EXPECT_EQ(form->Readings.at(6).order, 0);

  // Fast write to a file: no rows, no readings, and the window says why.
  readings::TResultsForm results(form->Readings, loop, dialogs);
  results.FastWriteActive = [this] { return form->Capture.fastWriteActive(); };
  form->Capture.choose((dir / "szybki.txt").string());
  results.ShowResults();
  EXPECT_FALSE(results.LabelFastWrite.visible());
  // Switched on while the window is open: no reading comes, the window still says so.
  form->FastWrite.setChecked(true);
  loop.advance(readings::TResultsForm::kIdleRefreshMs);
  EXPECT_TRUE(results.LabelFastWrite.visible());
  form->btnWyslijClick();
  ASSERT_TRUE(loop.runUntil([&] { return form->Capture.isOpen(); }, 2s));
  form->Capture.CloseCaptureFile();
  EXPECT_EQ(TempDir::read(dir / "szybki.txt"), answer);
  EXPECT_EQ(form->Readings.size(), 7u);
}

}  // namespace
#endif
