// Saving and restoring the port's settings in an ini file, with real files in
// a temporary folder.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <functional>
#include <vector>

#include "ComPortTestSupport.h"
#include "platform/AtomicFile.h"
#include "platform/ManualEventLoop.h"
#include "serial/ComPort.h"
#include "support/Pty.h"
#include "support/TempDir.h"

namespace {

using namespace serial;
using testing_support::TempDir;
namespace fs = std::filesystem;

const std::string kFreshIni =
    "[ComPort1]\nPort=COM1\nBaudRate=9600\nStopBits=1\nDataBits=8\nParity=None\nFlowControl=None\n";

class ComStorage : public ::testing::Test {
 protected:
  std::string ini() const { return (dir / "Kestrel.ini").string(); }
  void writeIni(const std::string& bytes) const { TempDir::write(dir / "Kestrel.ini", bytes); }
  std::string readIni() const { return TempDir::read(dir / "Kestrel.ini"); }

  platform::ManualEventLoop loop;
  TempDir dir;
  TComPort port{loop, "ComPort1"};
};

int failureCode(const std::function<void()>& action) {
  try {
    action();
  } catch (const EComPort& e) {
    EXPECT_EQ(e.SystemCode, -1);
    return e.MessageCode;
  }
  return 0;
}

TEST_F(ComStorage, WithoutAFileNothingChangesAndTheFirstSaveWritesTheSevenLines) {
  port.RestoreSettings(storeIniFile, ini());
  EXPECT_EQ(port.port(), "COM1");
  EXPECT_EQ(port.baudRate(), br9600);
  EXPECT_FALSE(fs::exists(dir / "Kestrel.ini"));

  port.SaveSettings(storeIniFile, ini());
  EXPECT_EQ(readIni(), kFreshIni);
}

TEST_F(ComStorage, BasicSettingsReadBackAndLetterCaseIsIgnored) {
  writeIni(
      "[comport1]\r\nport=COM4\r\nBaudRate=19200\r\nStopBits=2\r\nDataBits=7\r\nParity=even\r\n"
      "FlowControl=HARDWARE\r\n");
  port.RestoreSettings(storeIniFile, ini());
  EXPECT_EQ(port.port(), "COM4");
  EXPECT_EQ(port.baudRate(), br19200);
  EXPECT_EQ(port.stopBits(), sbTwoStopBits);
  EXPECT_EQ(port.dataBits(), dbSeven);
  EXPECT_EQ(port.parity().bits(), prEven);
  EXPECT_EQ(port.flowControl().controlRTS(), rtsHandshake);
  EXPECT_TRUE(port.flowControl().outCTSFlow());
  EXPECT_FALSE(port.flowControl().xonXoffIn() || port.flowControl().xonXoffOut());

  // Written back in the file's own spelling and line ends.
  port.setBaudRate(br115200);
  port.SaveSettings(storeIniFile, ini());
  EXPECT_EQ(readIni(),
            "[comport1]\r\nport=COM4\r\nBaudRate=115200\r\nStopBits=2\r\nDataBits=7\r\nParity=Even\r\n"
            "FlowControl=Hardware\r\n");
}

TEST_F(ComStorage, UnrecognisedTextsGiveTheirFallbacksAndMissingKeysKeepTheSetting) {
  port.setStopBits(sbTwoStopBits);
  port.flowControl().setXonXoffIn(true);  // a custom flow control
  writeIni("[ComPort1]\nBaudRate=9600x\nDataBits=nine\nParity=\nFlowControl=Custom\n");
  port.setBaudRate(br4800);
  port.setDataBits(dbSix);
  port.parity().setBits(prOdd);
  port.RestoreSettings(storeIniFile, ini());
  EXPECT_EQ(port.baudRate(), br9600);
  EXPECT_EQ(port.dataBits(), dbEight);
  EXPECT_EQ(port.parity().bits(), prNone);
  EXPECT_EQ(port.stopBits(), sbTwoStopBits);  // no key
  EXPECT_EQ(port.port(), "COM1");             // no key
  EXPECT_TRUE(port.flowControl().xonXoffIn());
  EXPECT_EQ(port.flowControl().flowControl(), fcCustom);
}

TEST_F(ComStorage, CustomSpeedWithAndWithoutItsKey) {
  port.setCustomBaudRate(1234);
  writeIni("[ComPort1]\nBaudRate=Custom\nCustomBaudRate=31250\n");
  port.RestoreSettings(storeIniFile, ini());
  EXPECT_EQ(port.baudRate(), brCustom);
  EXPECT_EQ(port.customBaudRate(), 31250);

  writeIni("[ComPort1]\nBaudRate=custom\nCustomBaudRate=0x3D090\n");
  port.RestoreSettings(storeIniFile, ini());
  EXPECT_EQ(port.customBaudRate(), 250000);

  // Without the key, or with no number, the speed is 9600, not the current one.
  writeIni("[ComPort1]\nBaudRate=Custom\n");
  port.RestoreSettings(storeIniFile, ini());
  EXPECT_EQ(port.customBaudRate(), 9600);
  port.setCustomBaudRate(1234);
  writeIni("[ComPort1]\nBaudRate=Custom\nCustomBaudRate=fast\n");
  port.RestoreSettings(storeIniFile, ini());
  EXPECT_EQ(port.customBaudRate(), 9600);

  // A fixed speed does not read the key.
  port.setCustomBaudRate(1234);
  writeIni("[ComPort1]\nBaudRate=2400\nCustomBaudRate=31250\n");
  port.RestoreSettings(storeIniFile, ini());
  EXPECT_EQ(port.customBaudRate(), 1234);

  // Saving a custom speed writes the key after BaudRate.
  port.setBaudRate(brCustom);
  fs::remove(dir / "Kestrel.ini");
  port.SaveSettings(storeIniFile, ini());
  EXPECT_EQ(readIni(),
            "[ComPort1]\nPort=COM1\nBaudRate=Custom\nCustomBaudRate=1234\nStopBits=1\nDataBits=8\n"
            "Parity=None\nFlowControl=None\n");
}

TEST_F(ComStorage, ASaveKeepsEverythingItDoesNotWrite) {
  const std::string before =
      "; scales of line 2\n[Devices]\nCOM7=/dev/ttyUSB0\n\n[ComPort1]\nPort=COM7\nBaudRate=Custom\n"
      "CustomBaudRate=31250\nOperator=Kowalski\n\n[Other]\nKey=Value\n";
  writeIni(before);
  port.SaveSettings(storeIniFile, ini());  // br9600: CustomBaudRate stays as it was
  EXPECT_EQ(readIni(),
            "; scales of line 2\n[Devices]\nCOM7=/dev/ttyUSB0\n\n[ComPort1]\nPort=COM1\nBaudRate=9600\n"
            "CustomBaudRate=31250\nOperator=Kowalski\nStopBits=1\nDataBits=8\nParity=None\nFlowControl=None\n"
            "\n[Other]\nKey=Value\n");
}

TEST_F(ComStorage, EveryGroupRoundTripsInItsOrder) {
  const TStoredGroups all{sgBasic, sgFlowControl, sgBuffer, sgTimeouts, sgParity, sgOthers};
  port.setStoredGroups(all);
  port.setPort("COM3");
  port.setStopBits(sbOne5StopBits);
  port.setEventChar(13);
  port.setDiscardNull(true);
  port.parity().setBits(prMark);
  port.parity().setCheck(true);
  port.parity().setReplace(true);
  port.parity().setReplaceChar('?');
  port.buffer().setInputSize(4096);
  port.buffer().setOutputSize(2048);
  port.timeouts().setReadInterval(-1);
  port.timeouts().setReadTotalConstant(5);
  port.timeouts().setReadTotalMultiplier(6);
  port.timeouts().setWriteTotalConstant(7);
  port.timeouts().setWriteTotalMultiplier(8);
  TComFlowControl& f = port.flowControl();
  f.setControlRTS(rtsToggle);
  f.setControlDTR(dtrHandshake);
  f.setDSRSensitivity(true);
  f.setOutDSRFlow(true);
  f.setTxContinueOnXoff(true);
  f.setXonXoffOut(true);
  f.setXonChar(0x11);
  f.setXoffChar('S');
  port.SaveSettings(storeIniFile, ini());
  EXPECT_EQ(
      readIni(),
      "[ComPort1]\nPort=COM3\nBaudRate=9600\nStopBits=1.5\nDataBits=8\nParity=Mark\nFlowControl=Custom\n"
      "EventChar=#13\nDiscardNull=Yes\n"
      "Parity.Check=Yes\nParity.Replace=Yes\nParity.ReplaceChar=?\n"
      "Buffer.OutputSize=2048\nBuffer.InputSize=4096\n"
      "Timeouts.ReadInterval=-1\nTimeouts.ReadTotalConstant=5\nTimeouts.ReadTotalMultiplier=6\n"
      "Timeouts.WriteTotalConstant=7\nTimeouts.WriteTotalMultiplier=8\n"
      "FlowControl.ControlRTS=Toggle\nFlowControl.ControlDTR=Handshake\nFlowControl.DSRSensitivity=Yes\n"
      "FlowControl.OutCTSFlow=No\nFlowControl.OutDSRFlow=Yes\nFlowControl.TxContinueOnXoff=Yes\n"
      "FlowControl.XonXoffIn=No\nFlowControl.XonXoffOut=Yes\nFlowControl.XoffChar=S\n"
      "FlowControl.XonChar=#17\n");

  TComPort copy(loop, "ComPort1");
  copy.setStoredGroups(all);
  copy.RestoreSettings(storeIniFile, ini());
  copy.SaveSettings(storeIniFile, (dir / "copy.ini").string());
  EXPECT_EQ(TempDir::read(dir / "copy.ini"), readIni());
  EXPECT_EQ(copy.buffer().inputSize(), 4096);
  EXPECT_EQ(copy.timeouts().readInterval(), -1);
  EXPECT_EQ(copy.flowControl().controlRTS(), rtsToggle);
  EXPECT_EQ(copy.eventChar(), 13);
}

TEST_F(ComStorage, OtherGroupsReadTheirOwnForms) {
  port.setStoredGroups(TStoredGroups{sgOthers, sgFlowControl, sgBuffer, sgParity});
  port.flowControl().setOutDSRFlow(true);
  port.parity().setReplaceChar(7);
  writeIni(
      "[ComPort1]\nEventChar=#300\nDiscardNull=true\nParity.Check=YES\nParity.ReplaceChar=#\n"
      "FlowControl.XonChar=#x\nFlowControl.XoffChar=A\nBuffer.InputSize=0x800\nBuffer.OutputSize=big\n");
  port.RestoreSettings(storeIniFile, ini());
  EXPECT_EQ(port.eventChar(), 44);
  EXPECT_FALSE(port.discardNull());
  EXPECT_TRUE(port.parity().check());
  EXPECT_EQ(port.parity().replaceChar(), 35);
  EXPECT_EQ(port.flowControl().xonChar(), 0);
  EXPECT_EQ(port.flowControl().xoffChar(), 'A');
  EXPECT_TRUE(port.flowControl().outDSRFlow());  // key missing: kept
  EXPECT_EQ(port.buffer().inputSize(), 2048);
  EXPECT_EQ(port.buffer().outputSize(), 1024);  // no number: kept

  writeIni("[ComPort1]\nDiscardNull=yes\n");
  port.RestoreSettings(storeIniFile, ini());
  EXPECT_TRUE(port.discardNull());
}

TEST_F(ComStorage, RestoringAnOpenPortAppliesEverythingOnce) {
  testing_support::Pty pty;
  serial_test::CountingPort open(loop, "ComPort1");
  open.setPort(pty.slavePath());
  open.Connect();
  open.allApplies = open.lineApplies = 0;
  writeIni("[ComPort1]\nPort=" + pty.slavePath() + "\nBaudRate=19200\nDataBits=7\nParity=Odd\n");
  open.RestoreSettings(storeIniFile, ini());
  EXPECT_EQ(open.allApplies, 1);
#ifndef _WIN32  // a COM pair cannot read back the far end's settings
  EXPECT_EQ(pty.slaveSpeed(), 19200);
#endif
  EXPECT_TRUE(open.connected());
}

TEST_F(ComStorage, FailuresBecomeCodes16And17AndLeaveTheFileAsItWas) {
  EXPECT_EQ(failureCode([&] { port.SaveSettings(storeIniFile, (dir / "no" / "Kestrel.ini").string()); }), 16);

  writeIni("[ComPort1]\nPort=COM9\n");
  platform::setAtomicWriteFaultForTesting(
      [](platform::AtomicWriteStep s) { return s == platform::AtomicWriteStep::Write; });
  EXPECT_EQ(failureCode([&] { port.SaveSettings(storeIniFile, ini()); }), 16);
  platform::setAtomicWriteFaultForTesting({});
  EXPECT_EQ(readIni(), "[ComPort1]\nPort=COM9\n");

  // A port name that would break the file's lines is refused, not written.
  port.setPort("COM1\n[Devices]");
  EXPECT_EQ(failureCode([&] { port.SaveSettings(storeIniFile, ini()); }), 16);
  EXPECT_EQ(readIni(), "[ComPort1]\nPort=COM9\n");
  port.setPort("COM1");

  // A folder in the file's place cannot be read.
  fs::create_directory(dir / "folder.ini");
  port.setBaudRate(br2400);
  EXPECT_EQ(failureCode([&] { port.RestoreSettings(storeIniFile, (dir / "folder.ini").string()); }), 17);
  EXPECT_EQ(port.baudRate(), br2400);
  try {
    port.RestoreSettings(storeIniFile, (dir / "folder.ini").string());
  } catch (const EComPort& e) {
    EXPECT_STREQ(e.what(), "Failed to load settings");
  }

  // No registry here: nothing is touched.
  EXPECT_EQ(failureCode([&] { port.SaveSettings(storeRegistry, "HKEY_CURRENT_USER\\Software\\Terso"); }), 16);
  EXPECT_EQ(failureCode([&] { port.SaveSettings(storeRegistry, ini()); }), 16);
  EXPECT_EQ(failureCode([&] { port.RestoreSettings(storeRegistry, "HKEY_LOCAL_MACHINE\\Software"); }), 17);
  EXPECT_EQ(port.baudRate(), br2400);
  EXPECT_EQ(readIni(), "[ComPort1]\nPort=COM9\n");
}

TEST(RegistryKeyPath, RootRestAndPortName) {
  EXPECT_EQ(RegistryKeyPath("hkey_local_machine\\Software\\Terso", "ComPort1"),
            "HKEY_LOCAL_MACHINE\\Software\\Terso\\ComPort1");
  EXPECT_EQ(RegistryKeyPath("HKCU\\Software\\", "ComPort1"), "HKEY_CURRENT_USER\\Software\\ComPort1");
  EXPECT_EQ(RegistryKeyPath("Software", "ComPort1"), "");
}

// --- A file that cannot be read is kept beside it --------------------------------

TEST_F(ComStorage, AnIniFileThatIsNoTextIsCopiedAsideAndCleanedOnce) {
  // Saved as UTF-16 by an editor: every line holds NUL bytes.
  const char raw[] = "\xFF\xFE[\0C\0o\0m\0]\0\r\0\n\0P\0=\0\x31\0";
  const std::string utf16(raw, sizeof raw - 1);
  writeIni(utf16);
  port.RestoreSettings(storeIniFile, ini());
  std::string kept;
  port.SaveSettings(storeIniFile, ini(), &kept);
  EXPECT_EQ(kept, ini() + ".bak");
  EXPECT_EQ(TempDir::read(dir / "Kestrel.ini.bak"), utf16);
  EXPECT_EQ(readIni(), kFreshIni);

  // Sound now: the next save keeps nothing.
  port.SaveSettings(storeIniFile, ini(), &kept);
  EXPECT_EQ(kept, "");
  EXPECT_FALSE(fs::exists(dir / "Kestrel.ini.bak2"));
}

TEST_F(ComStorage, AStrayLineIsKeptAsideWhileTheReadableSectionsStay) {
  TempDir::write(dir / "Kestrel.ini.bak", "an older copy");
  const std::string damaged = "[Devices]\nCOM7=/dev/ttyUSB0\n\x01\x02garbage\n[ComPort1]\nPort=COM7\n";
  writeIni(damaged);
  std::string kept;
  port.setPort("COM7");
  port.SaveSettings(storeIniFile, ini(), &kept);
  EXPECT_EQ(kept, ini() + ".bak2");
  EXPECT_EQ(TempDir::read(dir / "Kestrel.ini.bak"), "an older copy");
  EXPECT_EQ(TempDir::read(dir / "Kestrel.ini.bak2"), damaged);
  EXPECT_EQ(readIni(),
            "[Devices]\nCOM7=/dev/ttyUSB0\n[ComPort1]\nPort=COM7\nBaudRate=9600\nStopBits=1\nDataBits=8\n"
            "Parity=None\nFlowControl=None\n");
}

#ifndef _WIN32  // symlinks to devices and fifos
// A folder, a link to an endless device, a FIFO and a file over the cap: each
// fails to restore at once (the port keeps its settings), and the save moves
// it aside unread and writes the file anew.
TEST_F(ComStorage, AFileThatCannotBeReadIsMovedAsideAndWrittenAnew) {
  const std::vector<std::function<void()>> makers = {
      [&] {
        fs::create_directory(dir / "Kestrel.ini");
        TempDir::write(dir / "Kestrel.ini" / "inside", "x");
      },
      [&] { fs::create_symlink("/dev/zero", ini()); },
      [&] { ASSERT_EQ(::mkfifo(ini().c_str(), 0600), 0); },
      [&] {
        writeIni("[ComPort1]\nBaudRate=19200\n");
        fs::resize_file(ini(), 20u << 20);
      },
  };
  const std::vector<std::string> copies = {".bak", ".bak2", ".bak3", ".bak4"};
  for (std::size_t i = 0; i < makers.size(); ++i) {
    SCOPED_TRACE(i);
    makers[i]();
    EXPECT_EQ(failureCode([&] { port.RestoreSettings(storeIniFile, ini()); }), 17);
    EXPECT_EQ(port.baudRate(), br9600);
    std::string kept;
    port.SaveSettings(storeIniFile, ini(), &kept);
    EXPECT_EQ(kept, ini() + copies[i]);
    EXPECT_EQ(readIni(), kFreshIni);
    fs::remove(ini());
  }
  EXPECT_EQ(TempDir::read(dir / "Kestrel.ini.bak" / "inside"), "x");
  EXPECT_EQ(fs::read_symlink(dir / "Kestrel.ini.bak2"), "/dev/zero");
  EXPECT_TRUE(fs::is_fifo(dir / "Kestrel.ini.bak3"));
  EXPECT_EQ(fs::file_size(dir / "Kestrel.ini.bak4"), 20u << 20);
}
#endif

TEST_F(ComStorage, WhenTheCleanFileCannotBeWrittenNothingIsKeptOrChanged) {
  const std::string damaged = std::string("[ComPort1]\nPort=COM2\n\0\0\0\0", 25);
  writeIni(damaged);
  int writes = 0;
  platform::setAtomicWriteFaultForTesting([&](platform::AtomicWriteStep s) {
    return s == platform::AtomicWriteStep::Rename && ++writes == 2;  // the copy succeeds, the cleaning not
  });
  std::string kept = "x";
  EXPECT_EQ(failureCode([&] { port.SaveSettings(storeIniFile, ini(), &kept); }), 16);
  platform::setAtomicWriteFaultForTesting({});
  EXPECT_EQ(kept, "");
  EXPECT_FALSE(fs::exists(dir / "Kestrel.ini.bak"));
  EXPECT_EQ(readIni(), damaged);
}

}  // namespace
