// Printing the panes into a PDF file through the same Qt drawing that the
// print dialog's printer gets; pages and lines are counted with poppler-utils.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <QPrinter>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/TForm1.h"
#include "platform/ManualEventLoop.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "ui/qt/PrintRenderer.h"

using testing_support::TempDir;

namespace {

// Runs a shell command; its standard output, or a failure of the test.
std::string run(const std::string& command) {
  std::string out;
#ifdef _WIN32
  ADD_FAILURE() << "poppler-utils are Linux programs: " << command;
#else
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) {
    ADD_FAILURE() << "cannot run " << command;
    return out;
  }
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  const int status = ::pclose(pipe);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command << " failed";
#endif
  return out;
}

// The folder a test runs in, given back at its end.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::filesystem::path& dir) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~WorkingDirectory() { std::filesystem::current_path(old_); }

 private:
  std::filesystem::path old_;
};

struct PrintPdfFixture : ::testing::Test {
  void SetUp() override {
#ifdef _WIN32
    GTEST_SKIP() << "the PDF is read back with poppler-utils (pdfinfo, pdftotext), which are Linux programs";
#endif
  }
  PrintPdfFixture() {
    form = std::make_unique<app::TForm1>(app::MainWindowServices{loop, dialogs, dir.path(), [] {}});
    form->FormCreate();
    dialogs.onPrint = [this](const ui::PrintComposer& compose) {
      QPrinter printer(QPrinter::HighResolution);
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(QString::fromStdString(pdf.string()));
      ui::qt::printComposed(printer, compose);
    };
  }

  void printConfirmed() {
    dialogs.printAnswers.push_back(true);
    form->DrukujASCII1.click();
    ASSERT_TRUE(std::filesystem::exists(pdf));
  }

  int pageCount() {
    const std::string info = run("pdfinfo '" + pdf.string() + "'");
    const std::size_t at = info.find("Pages:");
    if (at == std::string::npos) return -1;
    return std::stoi(info.substr(at + 6));
  }

  // The text of each page, as pdftotext lays it out.
  std::vector<std::string> pageTexts() {
    const std::string text = run("pdftotext -layout '" + pdf.string() + "' -");
    std::vector<std::string> pages;
    std::size_t from = 0;
    for (std::size_t ff; (ff = text.find('\f', from)) != std::string::npos; from = ff + 1)
      pages.push_back(text.substr(from, ff - from));
    return pages;
  }

  static int nonBlankLines(const std::string& page) {
    int count = 0;
    std::size_t from = 0;
    while (from <= page.size()) {
      std::size_t end = page.find('\n', from);
      if (end == std::string::npos) end = page.size();
      if (page.find_first_not_of(" \t\r", from) < end) ++count;
      from = end + 1;
    }
    return count;
  }

  std::vector<int> linesPerPage() {
    std::vector<int> counts;
    for (const std::string& page : pageTexts()) counts.push_back(nonBlankLines(page));
    return counts;
  }

  static std::string rows(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i)
      text += (i > 1 ? "\r\n" : "") + std::string("wiersz ") + std::to_string(i);
    return text;
  }

  platform::ManualEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
  TempDir dir;
  std::filesystem::path pdf = dir / "out.pdf";
  std::unique_ptr<app::TForm1> form;
};

TEST_F(PrintPdfFixture, TheFirstPageHolds58LinesAndLaterPages59) {
  form->Button4.click();  // ASCII-only view
  form->Memo1.setText(rows(120));
  printConfirmed();
  EXPECT_EQ(pageCount(), 3);
  EXPECT_EQ(linesPerPage(), (std::vector<int>{58, 59, 3}));
  const std::vector<std::string> pages = pageTexts();
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_NE(pages[0].find("wiersz 58\n"), std::string::npos);
  EXPECT_NE(pages[1].find("wiersz 59\n"), std::string::npos);
  EXPECT_NE(pages[2].find("wiersz 120"), std::string::npos);
}

TEST_F(PrintPdfFixture, APageFilledByTheLastLineIsFollowedByAnEmptyPage) {
  form->Button4.click();
  form->Memo1.setText(rows(58));
  printConfirmed();
  EXPECT_EQ(pageCount(), 2);
  EXPECT_EQ(linesPerPage(), (std::vector<int>{58, 0}));
}

TEST_F(PrintPdfFixture, PrintingNeverTouchesTheOperatorsAsciiAndHexFiles) {
  TempDir work;
  WorkingDirectory cwd(work.path());
  TempDir::write(work / "ascii.txt", "operator's own ascii");
  TempDir::write(work / "hex.txt", "operator's own hex");
  form->ProcessReceived("AB\r\nCD\r\n", 8);

  auto unchanged = [&] {
    EXPECT_EQ(TempDir::read(work / "ascii.txt"), "operator's own ascii");
    EXPECT_EQ(TempDir::read(work / "hex.txt"), "operator's own hex");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(work.path()), {}), 2);
  };

  // Cancelled: nothing printed, no file left or changed.
  form->DrukujASCII1.click();
  EXPECT_EQ(dialogs.printDialogs, 1);
  EXPECT_FALSE(std::filesystem::exists(pdf));
  unchanged();

  // Printed in the ASCII+HEX view: each row beside its HEX row.
  printConfirmed();
  unchanged();
  EXPECT_EQ(pageCount(), 1);
  const std::vector<std::string> pages = pageTexts();
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_NE(pages[0].find("AB"), std::string::npos) << pages[0];
  EXPECT_NE(pages[0].find("41 42 0D 0A"), std::string::npos) << pages[0];
  EXPECT_NE(pages[0].find("43 44 0D 0A"), std::string::npos) << pages[0];
  EXPECT_EQ(linesPerPage(), (std::vector<int>{2}));
}

}  // namespace
