// The main window's side of the capture file: the label that shows it, the
// save dialog and the clear button, the fast-write toggle, the ways out, and
// a program folder with Polish letters.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/TForm1.h"
#include "platform/Cp1250.h"
#include "platform/ManualEventLoop.h"
#include "platform/PathText.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

using platform::pl;
using testing_support::TempDir;

namespace {

struct CaptureLabelFixture : ::testing::Test {
  CaptureLabelFixture() {
    loop.setErrorReport([this](const std::string& message) { errors.push_back(message); });
  }
  std::unique_ptr<app::TForm1> create() {
    auto form = std::make_unique<app::TForm1>(app::MainWindowServices{loop, dialogs, dir.path(), [] {}});
    form->FormCreate();
    return form;
  }
  static void chooseFile(app::TForm1& form, const std::filesystem::path& file) {
    form.Capture.choose(pl(platform::utf8Path(file)));
  }
  void fastWrite(app::TForm1& form, const std::string& chunk) {
    loop.dispatch([&] { form.Capture.FastWriteData(chunk); });
  }

  platform::ManualEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
  TempDir dir;
  std::vector<std::string> errors;
};

TEST_F(CaptureLabelFixture, TheSaveDialogChoosesTheFileAndTheLabelShowsIt) {
  auto form = create();
  EXPECT_EQ(form->LabelFileName.caption(), pl("Nie wybrano pliku"));
  auto choose = [&](const std::string& answer) {
    dialogs.fileAnswers.push_back(answer);
    form->BitBtnSaveToFile.click();
    return form->LabelFileName.caption();
  };
  EXPECT_EQ(choose("/home/jan/pomiary/wynik.csv"), "/home/jan/pomiary/wynik.txt");
  EXPECT_EQ(form->LabelFileName.font().color, ui::Color::Black);
  EXPECT_EQ(choose("D:wynik.dat"), "D:wynik.txt");

  // The dialog: the platform's save dialog, with the filter, asking before it
  // replaces a file, proposing the chosen file.
  ASSERT_EQ(dialogs.fileRequests.size(), 2u);
  EXPECT_EQ(dialogs.fileRequests.back().filter, pl("pliki tekstowe|*.txt|wszystkie pliki|*.*"));
  EXPECT_TRUE(dialogs.fileRequests.back().confirmOverwrite);
  EXPECT_EQ(dialogs.fileRequests.back().fileName, "/home/jan/pomiary/wynik.txt");

  // Cancelled: nothing changes.
  form->BitBtnSaveToFile.click();
  EXPECT_EQ(form->LabelFileName.caption(), "D:wynik.txt");

  // An empty name, or one beginning with ".", means no file; then nothing is proposed.
  EXPECT_EQ(choose(""), pl("Nie wybrano pliku"));
  EXPECT_EQ(form->LabelFileName.font().color, ui::Color::Red);
  choose("/tmp/x.csv");
  EXPECT_TRUE(dialogs.fileRequests.back().fileName.empty());
  EXPECT_EQ(choose(".wynik"), pl("Nie wybrano pliku"));

  choose("/tmp/x.csv");
  form->BitBtnClearFile.click();
  EXPECT_EQ(form->LabelFileName.caption(), pl("Nie wybrano pliku"));
  EXPECT_EQ(form->LabelFileName.font().color, ui::Color::Red);
}

// The label follows the capture file: green and bold while the fast-write
// file is open, a yellow background in every other second data reaches it,
// black again when the row writer takes over, red with the reason in its
// hint while writes fail.
TEST_F(CaptureLabelFixture, TheLabelShowsTheFastWriteFileAndItsFailures) {
  auto form = create();
  form->FastWriteClick();
  EXPECT_TRUE(form->ConfigOptions.FastWrite);
  const auto file = dir / "ciagly.txt";
  chooseFile(*form, file);
  fastWrite(*form, "first\r\n");
  loop.processPending();
  EXPECT_EQ(form->LabelFileName.font().color, ui::Color::Green);
  EXPECT_TRUE(form->LabelFileName.font().bold);
  EXPECT_EQ(form->LabelFileName.color(), ui::Color::ButtonFace);
  loop.advance(1001);
  fastWrite(*form, "second\r\n");
  loop.processPending();
  EXPECT_EQ(form->LabelFileName.color(), ui::Color::Yellow);

  // Switching fast write off closes the file; the row writer takes over.
  form->FastWriteClick();
  EXPECT_FALSE(form->ConfigOptions.FastWrite);
  EXPECT_FALSE(form->Capture.isOpen());
  EXPECT_EQ(form->LabelFileName.font().color, ui::Color::Black);
  EXPECT_EQ(form->LabelFileName.color(), ui::Color::ButtonFace);
  form->Bytes.awaitReply();
  loop.dispatch([&] { form->ProcessReceived("row\r\n", 5); });
  // The run's first row starts the file anew, what was in it kept aside.
  EXPECT_EQ(TempDir::read(file), "row\r\n");
  EXPECT_EQ(TempDir::read(dir / "ciagly.txt.bak"), "first\r\nsecond\r\n");
  EXPECT_TRUE(form->Memo1.text().empty());

  chooseFile(*form, dir / "nie ma" / "wynik.txt");
  loop.dispatch([&] { form->ProcessReceived("lost\r\n", 6); });
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(form->LabelFileName.font().color, ui::Color::Red);
  EXPECT_EQ(form->LabelFileName.hint(), errors[0]);
  EXPECT_EQ(form->Memo1.text(), "lost\r\n");
}

TEST_F(CaptureLabelFixture, BothWaysOutWriteTheFastWriteBufferToTheDisk) {
  auto form = create();
  form->FastWriteClick();
  chooseFile(*form, dir / "d.txt");
  fastWrite(*form, "at close\r\n");
  form->FormClose();
  EXPECT_EQ(TempDir::read(dir / "d.txt"), "at close\r\n");
  fastWrite(*form, "at Koniec\r\n");
  form->Koniec1Click();
  EXPECT_EQ(TempDir::read(dir / "d.txt"), "at close\r\nat Koniec\r\n");
  EXPECT_FALSE(form->Capture.isOpen());
  EXPECT_TRUE(errors.empty());
}

// A program folder and a capture file with Polish letters that no Western
// code page holds: the rows, the settings and the port's ini file all land
// under those names.
TEST_F(CaptureLabelFixture, PolishFolderAndFileNamesReachTheFileSystem) {
  const std::filesystem::path folder = dir / u8"Łódź";
  std::filesystem::create_directory(folder);
  app::TForm1 form(app::MainWindowServices{loop, dialogs, folder, [] {}});
  form.FormCreate();
  const std::filesystem::path file = folder / u8"pomiar_ćwiczenie.txt";
  chooseFile(form, file);
  form.Bytes.awaitReply();
  loop.dispatch([&] { form.ProcessReceived("12.5 g\r\n", 8); });
  form.FormClose();
  EXPECT_EQ(TempDir::read(file), "12.5 g\r\n");
  EXPECT_NE(TempDir::read(folder / "config.xml").find("<TersoConfig"), std::string::npos);
  EXPECT_NE(TempDir::read(folder / "Kestrel.ini").find("Port=COM1"), std::string::npos);
  EXPECT_TRUE(errors.empty());
}

}  // namespace
