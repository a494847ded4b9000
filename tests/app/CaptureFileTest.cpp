// The capture file with real files in temporary folders, fed by the byte
// processor as the main window feeds it: rows as lines, the fast-write stream
// with its stamps and what the label shows, choosing and forgetting the file,
// a full disk, and a capturing process that is killed.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/CaptureFile.h"
#include "platform/Cp1250.h"
#include "platform/ManualEventLoop.h"
#include "platform/PathText.h"
#include "support/LocalTime.h"
#include "support/PaneCapture.h"
#include "support/TempDir.h"

using platform::pl;
using testing_support::PaneCapture;
using testing_support::TempDir;
using Tone = app::CaptureFile::Tone;

namespace {

struct CaptureFixture : ::testing::Test {
  CaptureFixture() {
    loop.setErrorReport([this](const std::string& message) { errors.push_back(message); });
  }
  // The capture file as a program run starts it: no file chosen yet.
  std::unique_ptr<PaneCapture> create() { return std::make_unique<PaneCapture>(loop); }

  // A reply after a send, through the byte processor and the loop's dispatch.
  void reply(PaneCapture& capture, const std::string& bytes) {
    capture.panes.bytes.awaitReply();
    loop.dispatch([&] { capture.panes.receive(bytes); });
  }

  void fastWrite(PaneCapture& capture, const std::string& chunk) {
    loop.dispatch([&] { capture.file.FastWriteData(chunk); });
  }

  void setLocalTime(int hour, int minute, int second) {
    testing_support::setLocalTime(loop, hour, minute, second);
  }

  static std::string read(const std::filesystem::path& file) { return TempDir::read(file); }

  platform::ManualEventLoop loop;
  TempDir dir;
  std::vector<std::string> errors;
};

TEST_F(CaptureFixture, RowModeWritesOneLinePerReplyAndEmptiesThePanes) {
  auto capture = create();
  const auto file = dir / "wynik.txt";
  TempDir::write(file, "old content of an earlier run\r\n");
  capture->choose(file);

  // The first line after start-up starts the file anew, the old content kept
  // aside and the label's hint naming both files; the second line appends.
  reply(*capture, "12.5\r\n");
  EXPECT_EQ(read(file), "12.5\r\n");
  EXPECT_EQ(read(dir / "wynik.txt.bak"), "old content of an earlier run\r\n");
  EXPECT_EQ(capture->label().note, pl("Poprzednią zawartość pliku " + platform::utf8Path(file) +
                                      " zachowano w pliku " + platform::utf8Path(file) + ".bak"));
  EXPECT_TRUE(capture->panes.ascii.text().empty());
  EXPECT_EQ(capture->panes.hex.text(), "  ");
  EXPECT_TRUE(capture->file.exists());
  reply(*capture, "  13.0 g \r\n");
  EXPECT_EQ(read(file), "12.5\r\n13.0 g\r\n");

  // With the HEX part, and with the point changed in the ASCII part only.
  capture->view.options.asciiOnly = false;
  reply(*capture, "12.5\r\n");
  capture->view.options.pointToComma = true;
  reply(*capture, "12.5\r\n");
  EXPECT_EQ(read(file),
            "12.5\r\n13.0 g\r\n"
            "12.5\t31 32 2E 35 0D 0A\r\n"
            "12,5\t31 32 2E 35 0D 0A\r\n");
  EXPECT_EQ(capture->panes.bytes.replyCount(), 4);

  // A row that a line feed did not end stays in the panes.
  reply(*capture, "14");
  EXPECT_EQ(capture->panes.ascii.text(), "14");
  EXPECT_TRUE(errors.empty());
}

// A capture file is never emptied without a copy, run after run; only a file
// that the save dialog asked about replacing is emptied as it stands, and an
// empty file needs no copy.
TEST_F(CaptureFixture, EachRunKeepsTheEarlierRowsUnlessTheOperatorAgreedToReplaceThem) {
  const auto file = dir / "wagi.txt";
  TempDir::write(file, "1\r\n2\r\n3\r\n");
  TempDir::write(dir / "wagi.txt.bak", "older\r\n");
  for (const char* row : {"4\n", "5\n"}) {
    auto capture = create();
    capture->choose(file);
    reply(*capture, row);
  }
  EXPECT_EQ(read(dir / "wagi.txt.bak"), "older\r\n");
  EXPECT_EQ(read(dir / "wagi.txt.bak2"), "1\r\n2\r\n3\r\n");
  EXPECT_EQ(read(dir / "wagi.txt.bak3"), "4\r\n");
  EXPECT_EQ(read(file), "5\r\n");

  auto capture = create();
  capture->file.chooseInDialog(pl(platform::utf8Path(file)));
  reply(*capture, "6\n");
  EXPECT_EQ(read(file), "6\r\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "wagi.txt.bak4"));

  TempDir::write(dir / "pusty.txt", "");
  auto again = create();
  again->choose(dir / "pusty.txt");
  reply(*again, "7\n");
  EXPECT_EQ(read(dir / "pusty.txt"), "7\r\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "pusty.txt.bak"));
  EXPECT_TRUE(again->label().note.empty());
  EXPECT_TRUE(errors.empty());
}

TEST_F(CaptureFixture, WithoutAFileRowsStayInThePanesAndChunksAreDropped) {
  auto capture = create();
  reply(*capture, "1\r\n");
  reply(*capture, "2\r\n");
  EXPECT_EQ(capture->panes.ascii.text(), "1\r\n2\r\n");
  capture->view.options.fastWrite = true;
  fastWrite(*capture, "3\r\n");
  EXPECT_FALSE(capture->file.isOpen());
  capture->file.WriteCaptureLine("4");
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  EXPECT_TRUE(errors.empty());
}

TEST_F(CaptureFixture, AnotherChosenFileIsAppendedToOrCreatedWhenMissing) {
  auto capture = create();
  capture->choose(dir / "a.txt");
  reply(*capture, "1\n");
  // The second file exists already: later lines append to it.
  TempDir::write(dir / "b.txt", "kept\r\n");
  capture->choose(dir / "b.txt");
  reply(*capture, "2\n");
  EXPECT_EQ(read(dir / "b.txt"), "kept\r\n2\r\n");
  // A file removed meanwhile is created anew, never a failure.
  std::filesystem::remove(dir / "b.txt");
  reply(*capture, "3\n");
  EXPECT_EQ(read(dir / "b.txt"), "3\r\n");
  // Polish letters of the caption name the file in the file system's UTF-8.
  std::filesystem::create_directory(dir / u8"pomiary wagi ś");
  capture->choose(dir / u8"pomiary wagi ś" / u8"wynik ą.txt");
  reply(*capture, "4\n");
  EXPECT_EQ(read(dir / u8"pomiary wagi ś" / u8"wynik ą.txt"), "4\r\n");
  EXPECT_TRUE(errors.empty());
}

// The operator's answer to the save dialog.
TEST_F(CaptureFixture, ChoosingTheFileAlwaysGivesATxtName) {
  auto capture = create();
  auto choose = [&](const std::string& answer) {
    capture->file.chooseInDialog(answer);
    return capture->label().name;
  };
  EXPECT_EQ(choose("C:\\pomiary\\wynik.csv"), "C:\\pomiary\\wynik.txt");
  EXPECT_EQ(capture->label().tone, Tone::Black);
  EXPECT_EQ(choose("C:\\dane.old\\wynik"), "C:\\dane.old\\wynik.txt");
  EXPECT_EQ(choose("C:\\pomiary\\wynik.2024.csv"), "C:\\pomiary\\wynik.txt");
  EXPECT_EQ(choose("/home/jan/pomiary/wynik.csv"), "/home/jan/pomiary/wynik.txt");
  EXPECT_EQ(choose("/home/jan/dane.old/wynik"), "/home/jan/dane.old/wynik.txt");
  EXPECT_EQ(choose("/home/jan/pomiary/wynik.2024.csv"), "/home/jan/pomiary/wynik.txt");
  EXPECT_EQ(choose("D:wynik.dat"), "D:wynik.txt");
  EXPECT_TRUE(capture->file.chosen());

  // An empty name, or one beginning with ".", means no file.
  EXPECT_EQ(choose(""), "");
  EXPECT_FALSE(capture->file.chosen());
  EXPECT_EQ(capture->label().tone, Tone::Red);
  choose("/tmp/x.csv");
  EXPECT_EQ(choose(".wynik"), "");
  EXPECT_FALSE(capture->file.chosen());

  choose("/tmp/x.csv");
  capture->file.clearChoice();
  EXPECT_EQ(capture->label().name, "");
  EXPECT_FALSE(capture->file.chosen());
  EXPECT_EQ(capture->label().tone, Tone::Red);
}

TEST_F(CaptureFixture, FastWriteStampsLinesFromTheLineEndsItSees) {
  auto capture = create();
  setLocalTime(10, 15, 30);
  const std::string stamp = "2024-06-03\t10:15:30\t";
  capture->stampTime(true);
  capture->switchFastWrite(true);
  capture->choose(dir / "szybki.txt");

  // The stamp of a line that ends a chunk comes with the next chunk.
  fastWrite(*capture, "1");
  fastWrite(*capture, "2.5\r\n");
  EXPECT_TRUE(capture->file.lineStart());
  fastWrite(*capture, "3\r\n");
  capture->file.CloseCaptureFile();
  EXPECT_EQ(read(dir / "szybki.txt"), stamp + "12.5\r\n" + stamp + "3\r\n");

  // Reopened: a line starts with the chunk; CR LF inside gets a stamp, the last one none.
  std::filesystem::remove(dir / "szybki.txt");
  fastWrite(*capture, "A\r\nB\r\n");
  fastWrite(*capture, "C\r");  // a CR LF split between chunks: no stamp after it
  fastWrite(*capture, "\nD");
  capture->file.CloseCaptureFile();
  EXPECT_EQ(read(dir / "szybki.txt"), stamp + "A\r\n" + stamp + "B\r\n" + stamp + "C\r\nD");

  // Without stamps the bytes go in unchanged, appended to what is there.
  capture->stampTime(false);
  fastWrite(*capture, std::string("\0\xFF\r\n x\n", 7));
  capture->file.CloseCaptureFile();
  EXPECT_EQ(read(dir / "szybki.txt"),
            stamp + "A\r\n" + stamp + "B\r\n" + stamp + "C\r\nD" + std::string("\0\xFF\r\n x\n", 7));
  EXPECT_TRUE(errors.empty());
}

TEST_F(CaptureFixture, FastWriteReachesTheDiskWithinASecondAndTheLabelBlinks) {
  auto capture = create();
  capture->switchFastWrite(true);
  capture->choose(dir / "ciagly.txt");
  fastWrite(*capture, "first\r\n");
  loop.processPending();
  EXPECT_TRUE(capture->file.isOpen());
  EXPECT_EQ(capture->label().tone, Tone::Green);
  EXPECT_TRUE(capture->label().bold);
  EXPECT_FALSE(capture->label().blinkOn);

  // Buffered, then written out a second after it went in, with no more data.
  EXPECT_EQ(read(dir / "ciagly.txt"), "");
  loop.advance(999);
  EXPECT_EQ(read(dir / "ciagly.txt"), "");
  loop.advance(1);
  EXPECT_EQ(read(dir / "ciagly.txt"), "first\r\n");

  // Continuous data, a chunk every 50 ms for 10 s: the label changes its
  // background about once a second, and the file is never more than a second behind.
  int changes = 0;
  bool last = capture->label().blinkOn;
  std::string sent = "first\r\n";
  std::vector<std::size_t> sentBefore;  // bytes sent up to each chunk, inclusive
  for (int i = 0; i < 200; ++i) {
    const std::string chunk = "chunk " + std::to_string(i) + "\r\n";
    fastWrite(*capture, chunk);
    sent += chunk;
    sentBefore.push_back(sent.size());
    loop.advance(50);
    // Chunk i - 19 went in a second ago.
    const std::string onDisk = read(dir / "ciagly.txt");
    if (i >= 19) {
      ASSERT_GE(onDisk.size(), sentBefore[i - 19]) << "chunk " << i;
    }
    ASSERT_EQ(onDisk, sent.substr(0, onDisk.size()));
    if (capture->label().blinkOn != last) {
      ++changes;
      last = capture->label().blinkOn;
    }
  }
  EXPECT_GE(changes, 8);
  EXPECT_LE(changes, 10);

  capture->file.CloseCaptureFile();
  loop.processPending();
  EXPECT_EQ(read(dir / "ciagly.txt"), sent);
  EXPECT_EQ(capture->label().tone, Tone::Red);
  EXPECT_FALSE(capture->label().blinkOn);
  EXPECT_TRUE(errors.empty());
}

TEST_F(CaptureFixture, TheTwoWritersNeverHoldOneFileAndEverythingReachesTheDisk) {
  auto capture = create();
  capture->choose(dir / "a.txt");
  reply(*capture, "row 1\r\n");
  capture->switchFastWrite(true);
  fastWrite(*capture, "fast 2\r\n");
  loop.processPending();
  EXPECT_EQ(capture->label().tone, Tone::Green);

  // Switching fast write off closes the file; the row writer goes on in it.
  capture->switchFastWrite(false);
  EXPECT_FALSE(capture->file.isOpen());
  EXPECT_EQ(capture->label().tone, Tone::Black);
  EXPECT_EQ(read(dir / "a.txt"), "row 1\r\nfast 2\r\n");
  reply(*capture, "row 3\r\n");
  EXPECT_EQ(read(dir / "a.txt"), "row 1\r\nfast 2\r\nrow 3\r\n");

  // Choosing another file closes the open one; the next chunk opens the new one.
  capture->switchFastWrite(true);
  fastWrite(*capture, "fast 4\r\n");
  capture->file.chooseInDialog((dir / "b.csv").string());
  EXPECT_FALSE(capture->file.isOpen());
  EXPECT_EQ(read(dir / "a.txt"), "row 1\r\nfast 2\r\nrow 3\r\nfast 4\r\n");
  fastWrite(*capture, "fast 5\r\n");
  EXPECT_TRUE(capture->file.isOpen());

  // An order naming another file: the next chunk goes there.
  capture->choose(dir / "c.txt");
  fastWrite(*capture, "fast 6\r\n");
  EXPECT_EQ(read(dir / "b.txt"), "fast 5\r\n");

  // Clearing the file closes it too.
  fastWrite(*capture, "fast 7\r\n");
  capture->file.clearChoice();
  EXPECT_FALSE(capture->file.isOpen());
  EXPECT_EQ(read(dir / "c.txt"), "fast 6\r\nfast 7\r\n");

  // The way out writes the buffer to the disk, and a later chunk opens the
  // file again (the window's close, then "Koniec").
  capture->choose(dir / "d.txt");
  fastWrite(*capture, "at close\r\n");
  capture->file.closeAtExit();
  EXPECT_EQ(read(dir / "d.txt"), "at close\r\n");
  fastWrite(*capture, "at Koniec\r\n");
  capture->file.closeAtExit();
  EXPECT_EQ(read(dir / "d.txt"), "at close\r\nat Koniec\r\n");
  EXPECT_FALSE(capture->file.isOpen());
  EXPECT_TRUE(errors.empty());
}

#ifndef _WIN32  // a small tmpfs and /dev/full, which refuses every write, are Linux's
// A folder whose disk is full: a 64 KiB tmpfs filled up to the last page where
// mounting works here, else /dev/full, which refuses every write.
class FullDisk {
 public:
  explicit FullDisk(const std::filesystem::path& dir) : mountPoint_(dir / "full") {
    std::filesystem::create_directory(mountPoint_);
    mounted_ = ::mount("tmpfs", mountPoint_.c_str(), "tmpfs", 0, "size=64k") == 0;
    if (mounted_) fill();
  }
  ~FullDisk() {
    if (mounted_) ::umount2(mountPoint_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  // A capture file on the full disk.
  std::filesystem::path file() const { return mounted_ ? mountPoint_ / "wynik.txt" : "/dev/full"; }
  // Writes until the disk refuses, keeping what it holds apart from the file.
  void fill() {
    std::ofstream filler(mountPoint_ / "filler", std::ios::binary | std::ios::app);
    const std::string block(512, 'x');
    while (filler.write(block.data(), block.size()) && filler.flush()) {
    }
  }
  void makeRoom() { std::filesystem::remove(mountPoint_ / "filler"); }

 private:
  std::filesystem::path mountPoint_;
  bool mounted_ = false;
};

TEST_F(CaptureFixture, AFullDiskIsReportedAndNothingAlreadyWrittenIsLost) {
  FullDisk disk(dir.path());
  auto capture = create();
  capture->choose(disk.file());
  // A first line that fills its pages of the disk exactly.
  const std::string first = std::string(4094, '1') + "\r\n";
  if (disk.mounted()) {
    disk.makeRoom();
    reply(*capture, first);
    disk.fill();
  }

  // Row mode: the error names the file and the reason; the row stays in the
  // panes, the count stands, the program goes on.
  reply(*capture, "2\r\n");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find(pl("Nie można zapisać pliku ") + disk.file().string()), std::string::npos);
  EXPECT_NE(errors[0].find(pl("brak miejsca na dysku")), std::string::npos);
  EXPECT_EQ(capture->panes.ascii.text(), "2\r\n");
  EXPECT_EQ(capture->panes.bytes.replyCount(), disk.mounted() ? 2 : 1);

  // Fast write: the buffered data is kept while the disk is full; the same
  // failure is not shown again, the label shows it.
  capture->switchFastWrite(true);
  fastWrite(*capture, "3\r\n");
  loop.advance(1000);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_TRUE(capture->file.isOpen());
  EXPECT_EQ(capture->label().tone, Tone::Red);
  EXPECT_EQ(capture->label().note, errors[0]);

  if (disk.mounted()) {
    // Room again: the next chunk and the next reply get everything in.
    disk.makeRoom();
    fastWrite(*capture, "4\r\n");
    loop.advance(1000);
    EXPECT_EQ(capture->label().tone, Tone::Green);
    EXPECT_TRUE(capture->label().note.empty());
    capture->switchFastWrite(false);
    reply(*capture, "5\r\n");
    EXPECT_EQ(read(disk.file()), first + "3\r\n4\r\n2\r\n5\r\n");
    EXPECT_EQ(errors.size(), 1u);
  } else {
    // The way out still reports what could not be written.
    capture->file.closeAtExit();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_NE(errors[1].find(pl("utracono bajtów: 3")), std::string::npos);
    EXPECT_FALSE(capture->file.isOpen());
  }
}

TEST_F(CaptureFixture, ClosingTheFastWriteFileOnAFullDiskSaysWhatWasLost) {
  auto capture = create();
  capture->switchFastWrite(true);
  capture->choose("/dev/full");
  fastWrite(*capture, "12345\r\n");
  loop.dispatch([&] { capture->file.clearChoice(); });
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find(pl("brak miejsca na dysku")), std::string::npos);
  EXPECT_NE(errors[0].find(pl("utracono bajtów: 7")), std::string::npos);
  EXPECT_FALSE(capture->file.isOpen());

  // A folder that does not exist: both writers fail the same way, told once.
  capture->choose(dir / "nie ma" / "wynik.txt");
  fastWrite(*capture, "x");
  reply(*capture, "y\n");
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_NE(errors[1].find(pl("nie ma takiego folderu")), std::string::npos);
  EXPECT_NE(errors[1].find(pl("Nie można otworzyć pliku ")), std::string::npos);
  EXPECT_FALSE(capture->file.isOpen());
}

#endif

// A failure that repeats is one episode: shown once, then only by the label
// (red, the reason in its hint) until a write gets through; nothing that
// failed counts as written. A failure after a success is shown again.
TEST_F(CaptureFixture, AFailureIsShownOncePerEpisode) {
  auto capture = create();
  const auto folder = dir / "pomiary";
  capture->choose(folder / "wynik.txt");
  std::string rows;
  for (int i = 0; i < 50; ++i) {
    const std::string row = std::to_string(i) + ".5";
    reply(*capture, row + "\r\n");
    rows += (i ? "\r\n" : "") + row;
  }
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find(pl("nie ma takiego folderu")), std::string::npos);
  EXPECT_EQ(capture->label().tone, Tone::Red);
  EXPECT_EQ(capture->label().note, errors[0]);
  EXPECT_EQ(capture->panes.ascii.text(), rows + "\r\n");  // not written: still shown

  // The folder is back: the next row takes the waiting ones along.
  std::filesystem::create_directory(folder);
  reply(*capture, "ok\r\n");
  EXPECT_EQ(read(folder / "wynik.txt"), rows + "\r\nok\r\n");
  EXPECT_EQ(capture->label().tone, Tone::Black);
  EXPECT_TRUE(capture->label().note.empty());
  std::filesystem::remove_all(folder);
  reply(*capture, "again\r\n");
  EXPECT_EQ(errors.size(), 2u);

#ifndef _WIN32
  // Fast write onto a device that takes nothing: five failed flushes, one
  // box, and the label never blinks for data that did not get out.
  capture->switchFastWrite(true);
  capture->choose("/dev/full");
  loop.processPending();
  const bool blinkOn = capture->label().blinkOn;
  for (int i = 0; i < 50; ++i) {
    fastWrite(*capture, "chunk\r\n");
    loop.advance(100);
  }
  EXPECT_EQ(errors.size(), 3u);
  EXPECT_EQ(capture->label().blinkOn, blinkOn);
  EXPECT_EQ(capture->label().tone, Tone::Red);
#endif
}

#ifndef _WIN32  // the small tmpfs above
// A row that the disk cannot take whole is not left as a fragment for the
// next row to be glued to: the file keeps its length from before the row.
TEST_F(CaptureFixture, ARowIsWrittenWholeOrNotAtAll) {
  FullDisk disk(dir.path());
  if (!disk.mounted()) GTEST_SKIP() << "a 64 KiB tmpfs cannot be mounted here (needs root)";
  auto capture = create();
  disk.makeRoom();
  capture->choose(disk.file());
  reply(*capture, "1\r\n");
  disk.fill();  // the rest of the file's page is still free

  const std::string big(6000, 'S');
  reply(*capture, big + "\r\n");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(read(disk.file()), "1\r\n");

  disk.makeRoom();
  reply(*capture, "S S      3856 g\r\n");
  EXPECT_EQ(read(disk.file()), "1\r\n" + big + "\r\nS S      3856 g\r\n");
}

#endif

// The fast-write file removed with its folder: the operator is told once, with
// the path; every byte from then on waits and goes into the file created anew
// once the folder is back. The file alone removed is created anew at once.
TEST_F(CaptureFixture, FastWriteIntoAVanishedFileResumesInANewOne) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows refuses to remove a folder that holds an open file";
#endif
  auto capture = create();
  capture->switchFastWrite(true);
  const auto folder = dir / "pomiary";
  std::filesystem::create_directory(folder);
  const auto file = folder / "wynik.txt";
  capture->choose(file);
  fastWrite(*capture, "before\r\n");
  loop.advance(1000);
  ASSERT_EQ(read(file), "before\r\n");

  std::filesystem::remove_all(folder);
  std::string away;
  for (int i = 0; i < 3; ++i) {
    const std::string chunk = "away " + std::to_string(i) + "\r\n";
    fastWrite(*capture, chunk);
    away += chunk;
    loop.advance(1000);
  }
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find(file.string()), std::string::npos);
  EXPECT_NE(errors[0].find(pl("zniknął")), std::string::npos);
  EXPECT_EQ(capture->label().tone, Tone::Red);

  std::filesystem::create_directory(folder);
  fastWrite(*capture, "back\r\n");
  loop.advance(1000);
  EXPECT_EQ(read(file), away + "back\r\n");
  EXPECT_EQ(capture->label().tone, Tone::Green);

  std::filesystem::remove(file);
  fastWrite(*capture, "after\r\n");
  loop.advance(1000);
  EXPECT_EQ(read(file), "after\r\n");
  std::filesystem::rename(file, folder / "moved.txt");
  fastWrite(*capture, "renamed\r\n");
  capture->file.CloseCaptureFile();
  loop.processPending();
  EXPECT_EQ(read(file), "renamed\r\n");
  EXPECT_EQ(read(folder / "moved.txt"), "after\r\n");
  EXPECT_EQ(errors.size(), 3u);
}

#ifndef _WIN32  // fork and SIGKILL
// Runs capture in a child process that tells the test when it is ready to be
// killed, then kills it with SIGKILL.
template <typename Work>
void runAndKill(Work work) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(ready[0]);
    int status = 0;
    try {
      work();
    } catch (...) {
      status = 1;
    }
    const char result = status == 0 ? 'y' : 'n';
    if (::write(ready[1], &result, 1) != 1) ::_exit(2);
    for (;;) ::pause();
  }
  ::close(ready[1]);
  char result = 0;
  ssize_t n;
  do {
    n = ::read(ready[0], &result, 1);
  } while (n < 0 && errno == EINTR);
  ::close(ready[0]);
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_EQ(n, 1);
  EXPECT_EQ(result, 'y');
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
}

TEST_F(CaptureFixture, AKilledProcessKeepsEveryRowAndAllButTheLastSecond) {
  const auto rows = dir / "rows.txt";
  const auto fast = dir / "fast.txt";
  std::string expectedRows;
  for (int i = 0; i < 50; ++i) expectedRows += std::to_string(i) + ".5\r\n";

  runAndKill([&] {
    auto capture = create();
    capture->choose(rows);
    for (int i = 0; i < 50; ++i) {
      const std::string row = std::to_string(i) + ".5\r\n";
      capture->panes.receive(row);
    }
  });
  EXPECT_EQ(read(rows), expectedRows);

  const std::string older(100000, 'a');
  const std::string lastSecond = "written within the last second\r\n";
  runAndKill([&] {
    auto capture = create();
    capture->switchFastWrite(true);
    capture->choose(fast);
    capture->file.FastWriteData(older);
    loop.advance(1000);
    capture->file.FastWriteData(lastSecond);
  });
  const std::string kept = read(fast);
  EXPECT_TRUE(kept == older || kept == older + lastSecond) << kept.size() << " bytes kept";
}

#endif

}  // namespace
