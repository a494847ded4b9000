// The window commands on the manual loop with scripted dialogs: clearing,
// shrinking, saving, opening, importing, the print layout, and the layout of
// a full-screen window.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/TForm1.h"
#include "platform/Cp1250.h"
#include "platform/ManualEventLoop.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

using namespace std::string_literals;
using platform::pl;
using testing_support::TempDir;

namespace {

struct WindowCommandsFixture : ::testing::Test {
  WindowCommandsFixture() {
    form = std::make_unique<app::TForm1>(app::MainWindowServices{loop, dialogs, dir.path(), [] {}});
    form->FormCreate();
  }

  std::string path(const std::string& name) const { return (dir / name).string(); }
  void answerFile(const std::string& name) { dialogs.fileAnswers.push_back(path(name)); }

  platform::ManualEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
  TempDir dir;
  std::unique_ptr<app::TForm1> form;
};

TEST_F(WindowCommandsFixture, ClearEmptiesThePanesTheErrorLineAndTheStatusTexts) {
  form->ProcessReceived("12.5\r\n1", 7);
  form->Edit2.setText("Błąd");
  form->StaticText5.setCaption("x");
  form->StaticText6.setCaption("y");
  form->StaticText7.setCaption("z");
  form->LineErrorShown = form->FrameErrorShown = form->ParityErrorShown = form->TransmissionErrorShown = true;
  ASSERT_EQ(form->Bytes.hexColumn(), 1);

  form->Button3.click();
  EXPECT_EQ(form->Memo1.text(), "");
  EXPECT_EQ(form->Memo2.text(), "");
  EXPECT_EQ(form->Bytes.hexColumn(), 0);
  EXPECT_EQ(form->Edit2.text(), "");
  EXPECT_EQ(form->StaticText5.caption() + form->StaticText6.caption() + form->StaticText7.caption(), "");
  EXPECT_FALSE(form->LineErrorShown || form->FrameErrorShown || form->ParityErrorShown ||
               form->TransmissionErrorShown);
}

TEST_F(WindowCommandsFixture, SaveAllAppendsTxtOnlyToANameWithoutIt) {
  form->Memo1.setText("A\r\nB");
  form->Memo2.setText("41 \r\n  42 ");
  const std::string expected = "A\r\nB\r\nPodzial okien\r\n41 \r\n  42 \r\n";

  answerFile("wynik");
  form->DrukujHEX1.click();
  EXPECT_EQ(TempDir::read(dir / "wynik.txt"), expected);
  EXPECT_FALSE(std::filesystem::exists(dir / "wynik"));

  // ".txt" in the middle of the name counts; the test is case-sensitive.
  answerFile("dane.txt.old");
  form->DrukujHEX1.click();
  EXPECT_EQ(TempDir::read(dir / "dane.txt.old"), expected);
  answerFile("DANE.TXT");
  form->DrukujHEX1.click();
  EXPECT_TRUE(std::filesystem::exists(dir / "DANE.TXT.txt"));

  // A cancelled dialog writes nothing.
  auto files = [this] { return std::distance(std::filesystem::directory_iterator(dir.path()), {}); };
  const auto before = files();
  form->DrukujHEX1.click();
  EXPECT_EQ(files(), before);
}

TEST_F(WindowCommandsFixture, SaveAllAsksBeforeReplacingAFileTheDialogWasNotAskedAbout) {
  TempDir::write(dir / "wynik.txt", "mine");
  form->Memo1.setText("A");

  answerFile("wynik");
  dialogs.messageAnswers.push_back(ui::ModalResult::No);
  form->DrukujHEX1.click();
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text, pl("wynik.txt już istnieje.\r\nCzy chcesz go zamienić?"));
  EXPECT_EQ(TempDir::read(dir / "wynik.txt"), "mine");

  answerFile("wynik");
  dialogs.messageAnswers.push_back(ui::ModalResult::Yes);
  form->DrukujHEX1.click();
  EXPECT_EQ(TempDir::read(dir / "wynik.txt"), "A\r\nPodzial okien\r\n\r\n");

  // The name the dialog itself confirmed is not asked about again.
  answerFile("wynik.txt");
  form->DrukujHEX1.click();
  EXPECT_EQ(dialogs.messages.size(), 2u);
}

TEST_F(WindowCommandsFixture, SaveAllKeepsEachRowEndAsItStandsInALargePane) {
  // A lone LF (a line feed into an empty pane) stays a lone LF; a pane past
  // its first block is written whole.
  std::string ascii = "\n";
  for (int i = 0; i < 120000; ++i) ascii += "row " + std::to_string(i) + "\r\n";
  form->Memo1.append(ascii);
  form->Memo2.setText("0A \r\n");
  answerFile("big.txt");
  form->DrukujHEX1.click();
  EXPECT_EQ(TempDir::read(dir / "big.txt"), ascii + "\r\nPodzial okien\r\n0A \r\n\r\n");
}

TEST_F(WindowCommandsFixture, SaveAllIntoAFolderThatDoesNotExistThrows) {
  form->Memo1.setText("A");
  answerFile("missing/wynik");
  EXPECT_THROW(form->DrukujHEX1Click(), std::exception);
  EXPECT_EQ(form->Memo1.text(), "A");
}

TEST_F(WindowCommandsFixture, SaveThenOpenGivesTheSamePaneLines) {
  form->Memo1.setText("12.5\r\n13.0");
  form->Memo2.setText("31 32 2E 35 0D 0A\r\n  31 33 2E 30 ");
  answerFile("pomiar");
  form->DrukujHEX1.click();

  form->Button3.click();
  form->Memo1.setText("lost");
  answerFile("pomiar.txt");
  form->Otwrz1.click();
  // Every opened line ends with CR LF: the rows are the same.
  EXPECT_EQ(form->Memo1.text(), "12.5\r\n13.0\r\n");
  EXPECT_EQ(form->Memo2.text(), "31 32 2E 35 0D 0A\r\n  31 33 2E 30 \r\n");

  // A pane whose text ended with a line break gets an extra empty last line.
  answerFile("pomiar.txt");
  form->DrukujHEX1.click();
  answerFile("pomiar.txt");
  form->Otwrz1.click();
  EXPECT_EQ(form->Memo1.text(), "12.5\r\n13.0\r\n\r\n");
}

TEST_F(WindowCommandsFixture, OpenSplitsAtTheFirstSeparatorAndDropsTheOthers) {
  TempDir::write(dir / "two.txt", "a\r\nPodzial okien\r\nb\r\nPodzial okien\r\nc\nd");
  answerFile("two.txt");
  form->Otwrz1.click();
  EXPECT_EQ(form->Memo1.text(), "a\r\n");
  EXPECT_EQ(form->Memo2.text(), "b\r\nc\r\nd\r\n");

  // Without a separator everything goes into the ASCII pane; a separator with
  // anything more on its line is an ordinary line.
  TempDir::write(dir / "plain.txt", "x\r\nPodzial okien \r\n");
  answerFile("plain.txt");
  form->Otwrz1.click();
  EXPECT_EQ(form->Memo1.text(), "x\r\nPodzial okien \r\n");
  EXPECT_EQ(form->Memo2.text(), "");

  // A cancelled dialog leaves the panes.
  form->Otwrz1.click();
  EXPECT_EQ(form->Memo1.text(), "x\r\nPodzial okien \r\n");
}

TEST_F(WindowCommandsFixture, AFileThatCannotBeOpenedThrowsAndKeepsThePanes) {
  form->Memo1.setText("keep");
  form->Memo2.setText("6B ");
  // A folder opens but cannot be read.
  std::filesystem::create_directory(dir / "folder.txt");
  for (auto handler : {&app::TForm1::Otwrz1Click, &app::TForm1::Importuj1Click}) {
    for (const std::string name : {"nonexistent.txt", "folder.txt"}) {
      answerFile(name);
      try {
        ((*form).*handler)();
        ADD_FAILURE() << "no error for " << name;
      } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
      }
      EXPECT_EQ(form->Memo1.text(), "keep");
      EXPECT_EQ(form->Memo2.text(), "6B ");
    }
  }
}

TEST_F(WindowCommandsFixture, ImportGroupsItsHexRowsByFourBytes) {
  TempDir::write(dir / "raw.txt", "ABCDEFGHIJKLMNOPQRST\r\n");
  answerFile("raw.txt");
  form->Importuj1.click();
  EXPECT_EQ(form->Memo1.text(), "\r\nABCDEFGHIJKLMNOP\r\nQRST");
  EXPECT_EQ(form->Memo2.text(),
            "\r\n41 42 43 44   45 46 47 48   49 4A 4B 4C   4D 4E 4F 50 \r\n"
            "51 52 53 54   ");
  EXPECT_EQ(form->Bytes.hexColumn(), 4);

  // Bytes received afterwards continue that row count.
  form->ProcessReceived("UVWX", 4);
  EXPECT_EQ(form->Memo2.text().substr(form->Memo2.text().size() - 14), "55 56 57 58   ");

  // An empty line adds only CR LF; the last line needs no line end.
  TempDir::write(dir / "empty.txt", "\r\n\nA");
  answerFile("empty.txt");
  form->Importuj1.click();
  EXPECT_EQ(form->Memo1.text(), "\r\n\r\n\r\nA");
  EXPECT_EQ(form->Memo2.text(), "\r\n\r\n\r\n41 ");
  EXPECT_EQ(form->Bytes.hexColumn(), 1);
}

TEST_F(WindowCommandsFixture, ImportInTheAsciiOnlyViewBreaksHexRowsAfter200Bytes) {
  form->Button4.click();
  ASSERT_EQ(form->Bytes.hexRowLength(), 200);
  TempDir::write(dir / "long.txt", std::string(201, 'z') + "\r\n" + "\xff\x00"s + "\r\n");
  answerFile("long.txt");
  form->Importuj1.click();
  EXPECT_EQ(form->Memo1.text(), "\r\n" + std::string(200, 'z') + "\r\nz\r\n\xff");
  const std::string& hex = form->Memo2.text();
  const std::string row = "7A 7A 7A 7A   7A 7A 7A 7A   7A 7A 7A 7A   ";
  ASSERT_EQ(hex.substr(0, 2 + row.size()), "\r\n" + row);
  EXPECT_EQ(hex.substr(hex.size() - 16), "7A \r\n7A \r\nFF 00 ");
  EXPECT_EQ(form->Bytes.hexColumn(), 2);
}

TEST_F(WindowCommandsFixture, PrintPairsTheRowsUntilTheHexRowsEnd) {
  form->Memo1.setText("a\r\nb\r\nc\r\nd");
  form->Memo2.setText("61 \r\n62 ");
  dialogs.printAnswers.push_back(true);
  dialogs.printPageSize = {4800, 6600};
  form->DrukujASCII1.click();
  ASSERT_EQ(dialogs.printJobs.size(), 1u);
  const ui::PrintJob& job = dialogs.printJobs[0];
  ASSERT_EQ(job.pages.size(), 1u);
  const auto& texts = job.pages[0].texts;
  ASSERT_EQ(texts.size(), 4u);
  // The ASCII row at 170, the HEX row at 0.32 of the page width; 6600 / 60 apart.
  EXPECT_EQ(texts[0].text, "a");
  EXPECT_EQ((std::pair{texts[0].x, texts[0].y}), (std::pair{170, 40}));
  EXPECT_EQ(texts[1].text, "61 ");
  EXPECT_EQ((std::pair{texts[1].x, texts[1].y}), (std::pair{1536, 40}));
  EXPECT_EQ(texts[2].text, "b");
  EXPECT_EQ(texts[3].y, 150);
  EXPECT_EQ(texts[0].font, (ui::PrintFont{"MonoTxt", 9, true}));
  EXPECT_EQ(texts[3].font, texts[0].font);

  // More HEX rows than ASCII rows: the missing ASCII rows print empty.
  form->Memo1.setText("a");
  dialogs.printAnswers.push_back(true);
  form->DrukujASCII1.click();
  ASSERT_EQ(dialogs.printJobs.size(), 2u);
  EXPECT_EQ(dialogs.printJobs[1].pages[0].texts[2].text, "");
  EXPECT_EQ(dialogs.printJobs[1].pages[0].texts[3].text, "62 ");
}

TEST_F(WindowCommandsFixture, PrintTakesThePanesAsTheyWereBeforeTheDialog) {
  form->Button4.click();  // ASCII-only view
  form->Memo1.setText("1\r\n2");
  dialogs.printAnswers.push_back(true);
  ui::PrintJob printed;
  dialogs.onPrint = [&](const ui::PrintComposer& compose) {
    // A reply handled while the dialog is open.
    form->ProcessReceived("3\r\n", 3);
    printed = compose({1000, 1200});
  };
  form->DrukujASCII1.click();
  ASSERT_EQ(printed.pages.size(), 1u);
  ASSERT_EQ(printed.pages[0].texts.size(), 2u);
  EXPECT_EQ(printed.pages[0].texts[1].text, "2");
  EXPECT_EQ((std::pair{printed.pages[0].texts[1].x, printed.pages[0].texts[1].y}), (std::pair{50, 60}));
  EXPECT_EQ(printed.pages[0].texts[1].font, (ui::PrintFont{"MS Sans Serif", 9, false}));
  EXPECT_EQ(form->Memo1.text(), "1\r\n23\r\n");
}

TEST_F(WindowCommandsFixture, ShrinkingThePanesAndALaterLayout) {
  form->setBounds(0, 0, 1280, 1024);
  form->pozycjonowanie();
  form->Button5.click();
  EXPECT_TRUE(form->PanesMinimized);
  EXPECT_EQ(form->Button5.caption(), "Maksymalizuj okna");
  EXPECT_EQ(form->Memo1.height(), 31);  // 0.03 * 1024 = 30.72
  EXPECT_EQ(form->Memo2.height(), 31);
  // Nothing else moves.
  EXPECT_EQ(form->btnOpenPort.top(), 51 + 614 + 20);

  // A view switch lays the window out again: full panes, caption and flag kept.
  form->Button4.click();
  EXPECT_EQ(form->Memo1.height(), 614);
  EXPECT_EQ(form->Button5.caption(), "Maksymalizuj okna");
  EXPECT_TRUE(form->PanesMinimized);
  // The next click still inverts the flag.
  form->Button5.click();
  EXPECT_FALSE(form->PanesMinimized);
  EXPECT_EQ(form->Button5.caption(), "Minimalizuj okna");
  EXPECT_EQ(form->Memo1.height(), 614);
}

TEST_F(WindowCommandsFixture, LayoutOfAFullScreenWindowInBothViews) {
  // W = 1280, H = 1024: R(0.05 H) = 51, R(0.05 W) = 64, R(0.23 W) = 294,
  // R(0.6 H) = 614, R(0.65 W) = 832, R(0.03 H) = 31, R(0.03 W) = 38,
  // R(0.02 W) = 26, R(0.02 H) = 20, R(0.1 W) = 128, R(0.1 H) = 102.
  form->setBounds(0, 0, 1280, 1024);
  form->pozycjonowanie();
  EXPECT_EQ(form->Memo1.bounds(), (ui::Bounds{64, 51, 294, 614}));
  EXPECT_EQ(form->Memo2.bounds(), (ui::Bounds{422, 51, 832, 614}));
  EXPECT_EQ(form->StaticText1.bounds(), (ui::Bounds{64, 20, 31, 31}));
  EXPECT_EQ(form->StaticText2.bounds(), (ui::Bounds{422, 20, 25, 31}));
  EXPECT_EQ(form->StaticText6.bounds(), (ui::Bounds{64 + 31 + 38, 20, 256, 31}));
  EXPECT_EQ(form->BitBtnSaveToFile.bounds(), (ui::Bounds{422 + 25 + 26, 12, 25, 25}));
  EXPECT_EQ(form->BitBtnClearFile.bounds(), (ui::Bounds{473 + 25, 12, 25, 25}));
  EXPECT_EQ(form->LabelFileName.bounds(), (ui::Bounds{498 + 25 + 26, 20, 200, 31}));
  EXPECT_EQ(form->btnOpenPort.bounds(), (ui::Bounds{64, 685, 128, 25}));
  EXPECT_EQ(form->Edit1.bounds(), (ui::Bounds{64, 665 + 102, 896, 21}));
  EXPECT_EQ(form->LabelConnection.bounds(), (ui::Bounds{64, 685 + 25 + 6, 97, 31}));
  EXPECT_EQ(form->Edit2.bounds(), (ui::Bounds{64, 767 + 21 + 51, 512, 21}));
  EXPECT_EQ(form->btnWyslij.left(), 64 + 128 + 26);
  EXPECT_EQ(form->Bevel1.bounds(), (ui::Bounds{0, 3, 1280, 2}));

  // The ASCII-only view: the ASCII pane takes 90 %, the file buttons follow
  // the counts label.
  form->Button4.click();
  EXPECT_EQ(form->Memo1.bounds(), (ui::Bounds{64, 51, 1152, 614}));
  EXPECT_FALSE(form->Memo2.visible());
  EXPECT_EQ(form->Memo2.bounds(), (ui::Bounds{64 + 1152 + 64, 51, 832, 614}));
  EXPECT_EQ(form->BitBtnSaveToFile.bounds(), (ui::Bounds{133 + 256 + 26, 12, 25, 25}));
  EXPECT_EQ(form->LabelFileName.left(), 415 + 25 + 25 + 26);
  EXPECT_EQ(form->Edit1.top(), 665 + 102);

  // And back: the HEX pane is shown again.
  form->Button4.click();
  EXPECT_TRUE(form->Memo2.visible());
  EXPECT_EQ(form->Memo1.width(), 294);
}

}  // namespace
