// "Kestrel.ini" in the program's directory: read at start-up, written when the
// window closes, left alone by "Koniec", and never destroyed when unreadable.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#endif

#include <filesystem>
#include <functional>
#include <vector>

#include "app/TForm1.h"
#include "platform/AtomicFile.h"
#include "platform/Cp1250.h"
#include "platform/ManualEventLoop.h"
#include "serial/EComPort.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

using platform::pl;
using testing_support::TempDir;

namespace {

const std::string kFreshIni =
    "[ComPort1]\nPort=COM1\nBaudRate=9600\nStopBits=1\nDataBits=8\nParity=None\nFlowControl=None\n";

struct SerialSettings : ::testing::Test {
  std::unique_ptr<app::TForm1> create() {
    auto form = std::make_unique<app::TForm1>(
        app::MainWindowServices{loop, dialogs, dir.path(), [this] { ++terminated; }});
    form->FormCreate();
    return form;
  }
  std::filesystem::path ini() const { return dir / "Kestrel.ini"; }
  std::string keptNotice(const std::string& copy) const {
    return pl("Nie można było odczytać pliku Kestrel.ini; jego poprzednia zawartość została zachowana w "
              "pliku ") +
           copy;
  }

  platform::ManualEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
  TempDir dir;
  int terminated = 0;
};

TEST_F(SerialSettings, StartUpRestoresThePortAndClosingWritesItBack) {
  TempDir::write(ini(),
                 "[Devices]\r\nCOM3=/dev/ttyUSB0\r\n[ComPort1]\r\nPort=COM3\r\nBaudRate=19200\r\n"
                 "Parity=even\r\n");
  auto form = create();
  EXPECT_EQ(form->ComPort1.port(), "COM3");
  EXPECT_EQ(form->ComPort1.baudRate(), serial::br19200);
  EXPECT_EQ(form->ComPort1.parity().bits(), serial::prEven);
  EXPECT_EQ(form->SavedPort, "COM3");

  form->ComPort1.setBaudRate(serial::br57600);
  form->FormClose();
  EXPECT_EQ(terminated, 1);
  EXPECT_EQ(TempDir::read(ini()),
            "[Devices]\r\nCOM3=/dev/ttyUSB0\r\n[ComPort1]\r\nPort=COM3\r\nBaudRate=57600\r\nParity=Even\r\n"
            "StopBits=1\r\nDataBits=8\r\nFlowControl=None\r\n");
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(SerialSettings, OnlyTheBasicGroupIsStoredAndAFirstCloseCreatesTheFile) {
  auto form = create();
  form->ComPort1.setEventChar(13);
  form->ComPort1.timeouts().setReadInterval(5);
  form->FormClose();
  EXPECT_EQ(TempDir::read(ini()), kFreshIni);
}

TEST_F(SerialSettings, KoniecLeavesKestrelIniAsItWas) {
  const std::string before = "[ComPort1]\nPort=COM2\n";
  TempDir::write(ini(), before);
  auto form = create();
  form->ComPort1.setBaudRate(serial::br115200);
  form->Koniec1.click();
  EXPECT_EQ(terminated, 1);
  EXPECT_EQ(TempDir::read(ini()), before);
}

TEST_F(SerialSettings, AFailedSaveIsIgnoredAndTheOldFileStays) {
  TempDir::write(ini(), "[ComPort1]\nPort=COM2\n");
  auto form = create();
  form->ComPort1.setPort("COM5");
  platform::setAtomicWriteFaultForTesting(
      [](platform::AtomicWriteStep s) { return s == platform::AtomicWriteStep::Rename; });
  form->FormClose();
  platform::setAtomicWriteFaultForTesting({});
  EXPECT_EQ(terminated, 1);
  EXPECT_EQ(TempDir::read(ini()), "[ComPort1]\nPort=COM2\n");
  EXPECT_TRUE(dialogs.messages.empty());
}

// A folder in the file's place: reading it fails as for a file without
// permission (which the tests, run as root, cannot make).
TEST_F(SerialSettings, AKestrelIniThatCannotBeReadIsKeptAsBakAndTheOperatorToldOnce) {
  std::filesystem::create_directory(ini());
  TempDir::write(ini() / "notes.txt", "kept");
  auto form = create();
  EXPECT_EQ(form->ComPort1.port(), "COM1");
  EXPECT_EQ(form->SavedPort, "COM1");
  EXPECT_TRUE(dialogs.messages.empty());

  form->FormClose();
  EXPECT_EQ(TempDir::read(dir / "Kestrel.ini.bak" / "notes.txt"), "kept");
  EXPECT_EQ(TempDir::read(ini()), kFreshIni);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text, keptNotice("Kestrel.ini.bak"));
  EXPECT_EQ(dialogs.messages[0].icon, ui::MessageIcon::Warning);
  EXPECT_EQ(terminated, 1);

  // The next run finds a sound file and says nothing.
  form.reset();
  auto next = create();
  next->FormClose();
  EXPECT_EQ(dialogs.messages.size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(dir / "Kestrel.ini.bak2"));
}

TEST_F(SerialSettings, AKestrelIniWrittenAsUtf16IsKeptAsBak) {
  const char raw[] = "\xFF\xFE[\0C\0o\0m\0P\0o\0r\0t\0\x31\0]\0\r\0\n\0";
  const std::string utf16(raw, sizeof raw - 1);
  TempDir::write(ini(), utf16);
  auto form = create();
  EXPECT_EQ(form->ComPort1.port(), "COM1");
  form->FormClose();
  EXPECT_EQ(TempDir::read(dir / "Kestrel.ini.bak"), utf16);
  EXPECT_EQ(TempDir::read(ini()), kFreshIni);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text, keptNotice("Kestrel.ini.bak"));
}

#ifndef _WIN32  // device links, FIFOs and the peak memory use are POSIX's
// A link to /dev/zero, a FIFO and a 20 MB file in its place: start-up neither
// blocks nor fills the memory, the port keeps its defaults, and the close
// keeps the thing aside and says so once, as for any unreadable file.
TEST_F(SerialSettings, AKestrelIniThatIsNoSettingsFileIsRefusedUnreadAndKeptAsBak) {
  auto peakKb = [] {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
  };
  const long before = peakKb();
  const std::vector<std::function<void()>> makers = {
      [&] { std::filesystem::create_symlink("/dev/zero", ini()); },
      [&] { ASSERT_EQ(::mkfifo(ini().c_str(), 0600), 0); },
      [&] { TempDir::write(ini(), std::string(20u << 20, '\n')); },
  };
  for (std::size_t i = 0; i < makers.size(); ++i) {
    SCOPED_TRACE(i);
    makers[i]();
    auto form = create();
    EXPECT_EQ(form->ComPort1.port(), "COM1");
    // The port does not open some other device for want of its map.
    EXPECT_THROW(form->ComPort1.Connect(), serial::EComPort);
    form->FormClose();
    EXPECT_EQ(TempDir::read(ini()), kFreshIni);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, keptNotice("Kestrel.ini.bak"));
    dialogs.messages.clear();
    std::filesystem::remove(ini());
    std::filesystem::remove(dir / "Kestrel.ini.bak");
  }
  EXPECT_LT(peakKb() - before, 100 * 1024);
}
#endif

}  // namespace
