// The capture file's writers on real files and on /dev/full: every write,
// flush and close is checked, and a failure loses nothing it did not have to.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "platform/CaptureWriter.h"
#include "platform/Cp1250.h"
#include "platform/FileCalls.h"
#include "support/TempDir.h"

using platform::CaptureWriter;
using platform::FileWriteError;
using platform::OpenMode;
using testing_support::TempDir;

namespace {

template <typename Call>
FileWriteError caught(Call call) {
  try {
    call();
  } catch (const FileWriteError& e) {
    return e;
  }
  ADD_FAILURE() << "no FileWriteError";
  return FileWriteError(FileWriteError::Operation::Write, "", 0);
}

TEST(CaptureWriterTest, OneLineAtATimeCreatesAppendsAndReportsFailures) {
  TempDir dir;
  const std::string file = (dir / "a.txt").string();
  TempDir::write(file, "old");
  platform::writeFileOnce(file, "1\r\n", OpenMode::Create);
  platform::writeFileOnce(file, "2\r\n", OpenMode::Append);
  EXPECT_EQ(TempDir::read(file), "1\r\n2\r\n");

  const FileWriteError full = caught([] { platform::writeFileOnce("/dev/full", "x\r\n", OpenMode::Append); });
  EXPECT_EQ(full.operation(), FileWriteError::Operation::Write);
  EXPECT_EQ(full.error(), ENOSPC);
  EXPECT_EQ(std::string(full.what()),
            platform::pl("Nie można zapisać pliku /dev/full: brak miejsca na dysku"));

  const FileWriteError missing =
      caught([&] { platform::writeFileOnce((dir / "nie" / "a.txt").string(), "x", OpenMode::Create); });
  EXPECT_EQ(missing.operation(), FileWriteError::Operation::Open);
  EXPECT_EQ(missing.error(), ENOENT);
  const FileWriteError folder =
      caught([&] { platform::writeFileOnce(dir.path().string(), "x", OpenMode::Append); });
  EXPECT_EQ(folder.error(), EISDIR);

  // The cut-back after a torn write goes through the append handle itself
  // (which on Windows may only add at the end).
  platform::NativeHandle handle = platform::kNoHandle;
  ASSERT_EQ(platform::files::openForWriting(file, true, handle), 0);
  std::size_t written = 0;
  EXPECT_EQ(platform::files::writeAll(handle, "3\r\n", 3, written), 0);
  EXPECT_EQ(platform::files::truncate(handle, 6), 0);
  EXPECT_EQ(platform::files::writeAll(handle, "4\r\n", 3, written), 0);
  EXPECT_EQ(platform::files::close(handle), 0);
  EXPECT_EQ(TempDir::read(file), "1\r\n2\r\n4\r\n");
  EXPECT_EQ(
      std::string(FileWriteError(FileWriteError::Operation::Write, "a", ENOSPC, 0, 2).what()),
      platform::pl(
          "Nie można zapisać pliku a: brak miejsca na dysku (w pliku został niepełny zapis, bajtów: 2)"));
}

TEST(CaptureWriterTest, TheBufferGoesOutOnFlushOnCloseAndWhenFull) {
  TempDir dir;
  const std::string file = (dir / "s.txt").string();
  CaptureWriter writer(8);
  writer.open(file, OpenMode::Append);
  writer.write("abc");
  EXPECT_EQ(writer.pending(), 3u);
  EXPECT_EQ(TempDir::read(file), "");
  writer.flush();
  EXPECT_EQ(TempDir::read(file), "abc");
  writer.write("defgh");
  writer.write("ijkl");  // does not fit: the buffer goes out first
  EXPECT_EQ(TempDir::read(file), "abcdefgh");
  writer.write("0123456789");  // larger than the buffer: straight to the file
  EXPECT_EQ(TempDir::read(file), "abcdefghijkl0123456789");
  writer.write("end");
  writer.close();
  EXPECT_FALSE(writer.isOpen());
  EXPECT_EQ(TempDir::read(file), "abcdefghijkl0123456789end");

  // Reopened for appending, then created anew.
  writer.open(file, OpenMode::Append);
  writer.write("+");
  writer.open(file, OpenMode::Create);  // closes (writes out) the first
  writer.write("new");
  writer.close();
  EXPECT_EQ(TempDir::read(file), "new");
}

TEST(CaptureWriterTest, AFullDiskKeepsTheBufferUntilCloseSaysWhatWasLost) {
  CaptureWriter writer(16);
  writer.open("/dev/full", OpenMode::Append);
  writer.write("12345678");
  EXPECT_EQ(caught([&] { writer.flush(); }).error(), ENOSPC);
  EXPECT_EQ(writer.pending(), 8u);
  // No room left in the buffer for this chunk: refused whole.
  EXPECT_EQ(caught([&] { writer.write("abcdefghijk"); }).error(), ENOSPC);
  EXPECT_EQ(writer.pending(), 8u);
  EXPECT_EQ(caught([&] { writer.write(std::string(40, 'x')); }).error(), ENOSPC);

  const FileWriteError lost = caught([&] { writer.close(); });
  EXPECT_NE(std::string(lost.what()).find(platform::pl("(utracono bajtów: 8)")), std::string::npos);
  EXPECT_FALSE(writer.isOpen());
  EXPECT_EQ(writer.pending(), 0u);
  writer.close();  // closing a closed writer does nothing
}

}  // namespace
