#include "platform/WholeFile.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <string>
#include <vector>

#include "support/TempDir.h"

using testing_support::TempDir;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> linesOf(const fs::path& file) {
  platform::LineReader reader(file.string());
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.next(line)) lines.emplace_back(line);
  return lines;
}

std::string openFailure(const fs::path& file) {
  try {
    platform::LineReader reader(file.string());
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return {};
}

TEST(LineReader, SplitsAtLineFeedsAcrossItsReadsAndRefusesWhatIsNoFile) {
  TempDir dir;
  // A line longer than one read, CR LF and LF ends, a CR that ends no line,
  // and a last line without an end.
  const std::string longLine(200000, 'x');
  TempDir::write(dir / "a.txt", "one\r\n" + longLine + "\n\r\nmid\rdle\n\nlast\r");
  EXPECT_EQ(linesOf(dir / "a.txt"),
            (std::vector<std::string>{"one", longLine, "", "mid\rdle", "", "last\r"}));
  TempDir::write(dir / "empty.txt", "");
  EXPECT_TRUE(linesOf(dir / "empty.txt").empty());

  // A FIFO or an endless device would hang the window or fill the memory:
  // refused before anything is read, with the file's name.
#ifdef _WIN32
  for (const char* name : {"missing.txt"})
#else
  ASSERT_EQ(::mkfifo((dir / "fifo.txt").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", dir / "zero.txt");
  for (const char* name : {"fifo.txt", "zero.txt", "missing.txt"})
#endif
    EXPECT_NE(openFailure(dir / name).find(name), std::string::npos) << name;
}

TEST(FreeBackupName, NeverNamesAnythingThatIsThereAndRunsOut) {
  TempDir dir;
  const std::string file = (dir / "config.xml").string();
  EXPECT_EQ(platform::freeBackupName(file), file + ".bak");
  // A dangling link and a folder are taken as much as a file.
#ifdef _WIN32
  TempDir::write(dir / "config.xml.bak", "");
#else
  fs::create_symlink(dir / "nowhere", dir / "config.xml.bak");
#endif
  fs::create_directory(dir / "config.xml.bak2");
  EXPECT_EQ(platform::freeBackupName(file), file + ".bak3");
  for (int n = 3; n <= 99; ++n) TempDir::write(dir / ("config.xml.bak" + std::to_string(n)), "");
  EXPECT_EQ(platform::freeBackupName(file), std::nullopt);
}

}  // namespace
