#include "platform/AtomicFile.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <set>

#include "platform/WholeFile.h"
#include "support/TempDir.h"

using platform::AtomicWriteStep;
using platform::writeFileAtomically;
using testing_support::TempDir;
namespace fs = std::filesystem;

namespace {

std::set<std::string> namesIn(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
  return names;
}

#ifndef _WIN32
mode_t modeOf(const fs::path& file) {
  struct stat st {};
  EXPECT_EQ(::stat(file.c_str(), &st), 0);
  return st.st_mode & 07777;
}
#endif

// Removes the fault hook however the test ends.
struct FaultGuard {
  explicit FaultGuard(AtomicWriteStep failing) {
    platform::setAtomicWriteFaultForTesting([failing](AtomicWriteStep step) { return step == failing; });
  }
  ~FaultGuard() { platform::setAtomicWriteFaultForTesting({}); }
};

}  // namespace

TEST(AtomicFile, ReplacesWholeFilesKeepingModeAndLinks) {
#ifdef _WIN32
  GTEST_SKIP() << "file modes and symbolic links are POSIX's; Windows keeps the old file's attributes "
                  "through ReplaceFileW";
#else
  TempDir dir;
  const fs::path file = dir / "config.xml";

  ASSERT_TRUE(writeFileAtomically(file, "first"));
  EXPECT_EQ(TempDir::read(file), "first");
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(modeOf(file), 0666 & ~mask);

  ::chmod(file.c_str(), 0640);
  ASSERT_TRUE(writeFileAtomically(file, std::string("second\0with a zero", 18)));
  EXPECT_EQ(TempDir::read(file), std::string("second\0with a zero", 18));
  EXPECT_EQ(modeOf(file), 0640u);

  ASSERT_TRUE(writeFileAtomically(file, ""));
  EXPECT_EQ(TempDir::read(file), "");

  // A link stays a link; its target gets the new content.
  const fs::path link = dir / "link.xml";
  fs::create_symlink(file, link);
  ASSERT_TRUE(writeFileAtomically(link, "through the link"));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(TempDir::read(file), "through the link");

  ASSERT_TRUE(platform::copyFileAtomically(file, dir / "copy.xml"));
  EXPECT_EQ(TempDir::read(dir / "copy.xml"), "through the link");
  std::string error;
  EXPECT_FALSE(platform::copyFileAtomically(dir / "missing", dir / "copy.xml", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(TempDir::read(dir / "copy.xml"), "through the link");

  EXPECT_EQ(namesIn(dir.path()), (std::set<std::string>{"config.xml", "link.xml", "copy.xml"}));
#endif
}

TEST(AtomicFile, FailureAtAnyStepLeavesTheOldFileWhole) {
  TempDir dir;
  const fs::path file = dir / "config.xml";
  const std::string old = "<TersoConfig><Options/></TersoConfig>";
  TempDir::write(file, old);
  const std::string large(100000, 'n');

  for (AtomicWriteStep step :
       {AtomicWriteStep::Create, AtomicWriteStep::Write, AtomicWriteStep::Sync, AtomicWriteStep::Rename}) {
    FaultGuard fault(step);
    std::string error;
    EXPECT_FALSE(writeFileAtomically(file.string(), large, &error)) << static_cast<int>(step);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(TempDir::read(file), old) << static_cast<int>(step);
    EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"config.xml"}) << "no temporary file is left";
  }

  // A replace that lost the old file (Windows' ReplaceFileW can) keeps the
  // new one rather than leave nothing.
  platform::setAtomicWriteFaultForTesting(
      [&](AtomicWriteStep step) { return step == AtomicWriteStep::Rename && fs::remove(file); });
  std::string error;
  EXPECT_FALSE(writeFileAtomically(file.string(), large, &error));
  platform::setAtomicWriteFaultForTesting({});
  const std::set<std::string> left = namesIn(dir.path());
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(TempDir::read(dir / *left.begin()), large);
  EXPECT_NE(error.find(*left.begin()), std::string::npos) << error;

  EXPECT_FALSE(writeFileAtomically((dir / "no-such-folder" / "config.xml").string(), "x"));
  // A folder under the file's name is not replaced.
  fs::create_directory(dir / "folder.xml");
  EXPECT_FALSE(writeFileAtomically((dir / "folder.xml").string(), "x"));
  EXPECT_TRUE(fs::is_directory(dir / "folder.xml"));
}

TEST(AtomicFile, FullDiskLeavesTheOldFileWhole) {
#ifdef _WIN32
  GTEST_SKIP() << "a small tmpfs can be mounted only on Linux; the write fault seam covers a short write";
#else
  TempDir dir;
  const fs::path mountPoint = dir / "small";
  fs::create_directory(mountPoint);
  if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP()
        << "cannot mount a 64 KiB tmpfs here (needs root); the Write fault seam covers a short write";
  struct Unmount {
    fs::path at;
    ~Unmount() { ::umount(at.c_str()); }
  } unmount{mountPoint};

  const fs::path file = mountPoint / "config.xml";
  const std::string old = "<TersoConfig><Options><WindRow>Yes</WindRow></Options></TersoConfig>";
  ASSERT_TRUE(writeFileAtomically(file, old));

  // Fill what is left of the disk.
  {
    FILE* filler = std::fopen((mountPoint / "filler").c_str(), "wb");
    ASSERT_NE(filler, nullptr);
    const std::string block(1024, 'f');
    while (std::fwrite(block.data(), 1, block.size(), filler) == block.size() && std::fflush(filler) == 0) {
    }
    std::fclose(filler);
  }

  std::string error;
  EXPECT_FALSE(writeFileAtomically(file, std::string(32 * 1024, 'x'), &error));
  EXPECT_NE(error.find("No space"), std::string::npos) << error;
  EXPECT_EQ(TempDir::read(file), old);
  EXPECT_EQ(namesIn(mountPoint), (std::set<std::string>{"config.xml", "filler"}));

  fs::remove(mountPoint / "filler");
  EXPECT_TRUE(writeFileAtomically(file, std::string(32 * 1024, 'x')));
#endif
}

// Windows takes paths of more than 260 characters only in their long form.
TEST(AtomicFile, PathsLongerThanTheClassicLimitWork) {
  TempDir dir;
  const fs::path folder = dir / std::string(200, 'd');
  fs::create_directory(folder);
  const std::string file = (folder / (std::string(100, 'f') + ".ini")).string();
  ASSERT_GT(file.size(), 300u);
  ASSERT_TRUE(writeFileAtomically(file, "[A]\r\n"));
  ASSERT_TRUE(writeFileAtomically(file, "[B]\r\n"));
  std::string bytes;
  EXPECT_EQ(platform::readWholeFile(file, platform::kNoSizeCap, bytes), 0);
  EXPECT_EQ(bytes, "[B]\r\n");
  EXPECT_EQ(namesIn(folder).size(), 1u);
}
