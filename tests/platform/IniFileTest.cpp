#include "platform/IniFile.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#endif

#include <cerrno>
#include <csignal>
#include <filesystem>

#include "platform/WholeFile.h"
#include "support/TempDir.h"

namespace {

using platform::IniFile;
using testing_support::TempDir;

constexpr const char* kExisting =
    "; written by hand\n"
    "[ComPort1]\n"
    "Port = COM3\n"
    "Buffer.InputSize=2048\n"
    "Comment=\"  padded  \"\n"
    "\n"
    "[Devices]\n"
    "COM3=/dev/ttyUSB0\n"
    "port=second\n"
    "Port=duplicate\n";

TEST(IniFile, ReadsNamesIgnoringCaseAndValuesTrimmed) {
  TempDir dir;
  TempDir::write(dir / "a.ini", kExisting);
  const IniFile ini((dir / "a.ini").string());

  EXPECT_EQ(ini.readString("comport1", "PORT", "x"), "COM3");
  EXPECT_EQ(ini.readString("ComPort1", "Comment", ""), "  padded  ");
  EXPECT_EQ(ini.readString("ComPort1", "Missing", "def"), "def");
  EXPECT_EQ(ini.readString("Nowhere", "Port", "def"), "def");
  EXPECT_EQ(ini.readString("DEVICES", "port", ""), "second");  // the first of duplicates
  EXPECT_FALSE(ini.value("ComPort1", "; written by hand").has_value());
  EXPECT_EQ(ini.sections(), (std::vector<std::string>{"ComPort1", "Devices"}));
  EXPECT_EQ(ini.keys("devices"), (std::vector<std::string>{"COM3", "port", "Port"}));
  EXPECT_TRUE(ini.sectionExists("DeViCeS"));
}

TEST(IniFile, WritingKeepsWhatItDoesNotWriteAndAppendsNewKeysToTheirSection) {
  TempDir dir;
  const auto path = (dir / "a.ini").string();
  TempDir::write(path, kExisting);
  IniFile ini(path);

  ini.writeString("COMPORT1", "port", "COM1");      // existing key: in place, file's spelling
  ini.writeString("ComPort1", "BaudRate", "9600");  // new key: end of its section
  ini.writeString("ComPort1", "Lead", "  x");       // would not read back bare: quoted
  ini.writeString("ComPort1", "Trail", "y\t");      // the same at the end
  ini.writeString("Other", "Key", "Value");         // new section: end of the file
  ini.save();

  EXPECT_EQ(TempDir::read(path),
            "; written by hand\n"
            "[ComPort1]\n"
            "Port=COM1\n"
            "Buffer.InputSize=2048\n"
            "Comment=\"  padded  \"\n"
            "BaudRate=9600\n"
            "Lead=\"  x\"\n"
            "Trail=\"y\t\"\n"
            "\n"
            "[Devices]\n"
            "COM3=/dev/ttyUSB0\n"
            "port=second\n"
            "Port=duplicate\n"
            "[Other]\n"
            "Key=Value\n");
  EXPECT_EQ(IniFile(path).readString("comport1", "lead", ""), "  x");
  EXPECT_EQ(IniFile(path).readString("comport1", "trail", ""), "y\t");

  // Windows line ends stay Windows line ends.
  TempDir::write(path, "[S]\r\nA=1\r\n");
  IniFile crlf(path);
  crlf.writeString("S", "B", "2");
  crlf.save();
  EXPECT_EQ(TempDir::read(path), "[S]\r\nA=1\r\nB=2\r\n");
}

// Found by fuzzing: a stray CR before a line end ended up in the value, and
// writing any other key dropped it, so the value read back differed.
TEST(IniFile, AStrayCarriageReturnIsNoPartOfANameOrValueAndSurvivesASave) {
  TempDir dir;
  const std::string path = (dir / "a.ini").string();
  TempDir::write(path, "[ComPort1]\nPort=COM3\r\r\n[Devices]\r\r\nCOM3=/dev/ttyUSB0\r\n");
  IniFile ini(path);
  EXPECT_EQ(ini.readString("ComPort1", "Port", ""), "COM3");
  EXPECT_EQ(ini.readString("Devices", "COM3", ""), "/dev/ttyUSB0");
  ini.writeString("ComPort1", "Parity", "None");
  ini.save();
  const IniFile reread(path);
  EXPECT_EQ(reread.readString("ComPort1", "Port", ""), "COM3");
  EXPECT_EQ(reread.readString("Devices", "COM3", ""), "/dev/ttyUSB0");
  EXPECT_EQ(reread.readString("ComPort1", "Parity", ""), "None");
}

TEST(IniFile, TheFileIsCreatedByTheFirstWriteOnly) {
  TempDir dir;
  const auto path = dir / "Kestrel.ini";
  IniFile untouched(path.string());
  untouched.save();
  EXPECT_FALSE(std::filesystem::exists(path));

  IniFile ini(path.string());
  ini.writeString("ComPort1", "Port", "COM1");
  ini.writeString("ComPort1", "BaudRate", "9600");
  ini.save();
  EXPECT_EQ(TempDir::read(path), "[ComPort1]\nPort=COM1\nBaudRate=9600\n");
  EXPECT_FALSE(ini.modified());
}

TEST(IniFile, TextsThatWouldBreakTheFileAreRefused) {
  TempDir dir;
  IniFile ini((dir / "a.ini").string());
  ini.writeString("ComPort1", "Port", "COM1");
  EXPECT_THROW(ini.writeString("ComPort1", "Port", "COM1\n[Devices]\nCOM1=/etc/passwd"),
               std::invalid_argument);
  EXPECT_THROW(ini.writeString("ComPort1", "A=B", "x"), std::invalid_argument);
  EXPECT_THROW(ini.writeString("Com]Port", "A", "x"), std::invalid_argument);
  EXPECT_THROW(ini.writeString("", "A", "x"), std::invalid_argument);
  EXPECT_EQ(ini.readString("ComPort1", "Port", ""), "COM1");
  EXPECT_EQ(ini.sections(), std::vector<std::string>{"ComPort1"});
}

// The reader says which lines it passes over; the settings rescue keeps
// exactly the others, so both agree about comments.
TEST(IniFile, ReportsTheLinesItCannotRead) {
  const std::string bytes =
      std::string("# Port=COM9 kept for later\n[ComPort1]\n; note\n  #Parity=Odd\nPort=COM2\r\ngarbage\n") +
      std::string("Parity=N\0ne\n", 12) + "[open\n\n  =no key\nBaudRate=2400";
  const IniFile ini("a.ini", bytes);
  EXPECT_EQ(ini.unreadableLines(), (std::vector<std::size_t>{5, 6, 7, 9}));
  EXPECT_EQ(ini.keys("ComPort1"), (std::vector<std::string>{"Port", "BaudRate"}));
  EXPECT_FALSE(ini.value("ComPort1", "Parity").has_value());

  IniFile written("b.ini", "");
  EXPECT_THROW(written.writeString("ComPort1", "#Port", "x"), std::invalid_argument);
  EXPECT_THROW(written.writeString("ComPort1", "Port", std::string("CO\0M1", 5)), std::invalid_argument);
  EXPECT_TRUE(written.unreadableLines().empty());
}

#ifndef _WIN32
// A disk that fills up during the write, made real with a file size limit.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{bytes, old_.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }

 private:
  rlimit old_{};
  void (*oldHandler_)(int) = nullptr;
};
#endif

TEST(IniFile, AFailedSaveIsReportedAndLeavesTheOldFile) {
#ifdef _WIN32
  GTEST_SKIP() << "a file size limit (RLIMIT_FSIZE) is POSIX's; the atomic file's write fault seam covers a full disk";
#else
  TempDir dir;
  const auto path = dir / "Kestrel.ini";
  TempDir::write(path, "[ComPort1]\nPort=COM1\n");
  IniFile ini(path.string());
  ini.writeString("ComPort1", "Padding", std::string(4096, 'x'));
  {
    FileSizeLimit full(64);
    EXPECT_THROW(ini.save(), platform::IniFileError);
  }
  EXPECT_EQ(TempDir::read(path), "[ComPort1]\nPort=COM1\n");
  EXPECT_TRUE(ini.modified());
  // No half-written temporary file is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

  // A folder that does not exist.
  IniFile nowhere((dir / "missing" / "Kestrel.ini").string());
  nowhere.writeString("S", "K", "V");
  EXPECT_THROW(nowhere.save(), platform::IniFileError);

  // Once the disk has room, the same document is saved.
  ini.save();
  EXPECT_EQ(IniFile(path.string()).readString("ComPort1", "Padding", "").size(), 4096u);
#endif
}

// Whatever stands in the file's place is refused at once, unread: a folder, a
// link to an endless device, a FIFO nobody writes to (which would block a
// reader for ever), a file over the cap, or one of more lines than any
// settings file has.
TEST(IniFile, AFileThatCannotBeReadIsAnErrorNotAnEmptyFile) {
  TempDir dir;
  auto errorOf = [](const std::filesystem::path& path) {
    try {
      IniFile ini(path.string());
    } catch (const platform::IniFileError& e) {
      return e.errorCode();
    }
    return 0;
  };
  EXPECT_EQ(errorOf(dir.path()), EISDIR);
#ifndef _WIN32
  std::filesystem::create_symlink("/dev/zero", dir / "zero.ini");
  EXPECT_EQ(errorOf(dir / "zero.ini"), EINVAL);
  ASSERT_EQ(::mkfifo((dir / "fifo.ini").c_str(), 0600), 0);
  EXPECT_EQ(errorOf(dir / "fifo.ini"), EINVAL);
#endif

  const auto big = dir / "big.ini";
  TempDir::write(big, "[ComPort1]\nPort=COM2\n");
  std::filesystem::resize_file(big, platform::kSettingsFileMaxBytes + 1);
  EXPECT_EQ(errorOf(big), EFBIG);
  std::filesystem::resize_file(big, platform::kSettingsFileMaxBytes);
  EXPECT_EQ(IniFile(big.string()).readString("ComPort1", "Port", ""), "COM2");

  TempDir::write(dir / "lines.ini", std::string(IniFile::kMaxLines + 1, '\n'));
  EXPECT_EQ(errorOf(dir / "lines.ini"), EFBIG);
  EXPECT_EQ(errorOf(dir / "missing.ini"), 0);
}

}  // namespace
