// The list of serial devices: from a device folder laid out by the test, and
// from this machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/SerialPortList.h"
#include "support/Pty.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using testing_support::TempDir;

namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

#ifndef _WIN32
TEST(SerialPortList, ListsMappedNamesAndSerialDevicesSortedIgnoringCase) {
  TempDir dir;
  testing_support::Pty pty;
  const fs::path dev = dir / "dev";
  fs::create_directories(dev / "serial" / "by-id");
  TempDir::write(dev / "ttyUSB0", "");
  TempDir::write(dev / "ttyACM1", "");
  TempDir::write(dev / "tty0", "");
  TempDir::write(dev / "null", "");
  // ttyS nodes without a UART behind them are left out: a plain file, and a
  // terminal that is no serial chip.
  TempDir::write(dev / "ttyS1", "");
  fs::create_symlink(pty.slavePath(), dev / "ttyS0");
  fs::create_symlink(dev / "ttyUSB0", dev / "serial" / "by-id" / "usb-Scale_1234-if00");
  TempDir::write(dir / "Kestrel.ini",
                 "[ComPort1]\r\nPort=COM2\r\n[Devices]\r\nCOM2=/dev/a\r\nCOM10=/dev/b\r\ncom2=/dev/c\r\n"
                 "COM1=/dev/d\r\nCOM3=\r\nScale=/dev/e\r\n");

  const std::vector<std::string> ports =
      platform::ListSerialPorts(dir.path().string(), (dir / "Kestrel.ini").string());
  const std::vector<std::string> expected = {(dev / "serial" / "by-id" / "usb-Scale_1234-if00").string(),
                                             (dev / "ttyACM1").string(),
                                             (dev / "ttyUSB0").string(),
                                             "COM1",
                                             "COM10",
                                             "COM2"};
  EXPECT_EQ(ports, expected);

  // No map and no by-id folder: the devices alone.
  fs::remove_all(dev / "serial");
  EXPECT_EQ(platform::ListSerialPorts(dir.path().string(), ""),
            (std::vector<std::string>{(dev / "ttyACM1").string(), (dev / "ttyUSB0").string()}));
  EXPECT_EQ(platform::ListSerialPorts(dir.path().string(), (dir / "missing.ini").string()).size(), 2u);
}

TEST(SerialPortList, AnUnreadableFolderOrMapIsAnError) {
  TempDir dir;
  try {
    platform::ListSerialPorts(dir.path().string(), "");
    FAIL() << "a root without dev listed";
  } catch (const platform::SerialPortListError& e) {
    EXPECT_EQ(e.errorCode(), ENOENT);
  }
  fs::create_directories(dir / "dev");
  // A map that exists but cannot be read must not pass as an empty map.
  fs::create_directories(dir / "map.ini");
  EXPECT_THROW(platform::ListSerialPorts(dir.path().string(), (dir / "map.ini").string()),
               platform::SerialPortListError);
}

TEST(SerialPortList, ThisMachine) {
  const std::vector<std::string> ports = platform::ListSerialPorts("/", "");
  EXPECT_TRUE(std::is_sorted(ports.begin(), ports.end(),
                             [](const std::string& a, const std::string& b) { return lower(a) < lower(b); }));
  for (const std::string& port : ports) {
    EXPECT_EQ(port.rfind("/dev/", 0), 0u) << port;
    EXPECT_TRUE(fs::exists(port)) << port;
  }
}
#else
// The registry's serial-comm map names the ports; mapped names join them.
TEST(SerialPortList, ListsTheRegistrysComPortsAndMappedNamesSortedIgnoringCase) {
  TempDir dir;
  TempDir::write(dir / "Kestrel.ini", "[Devices]\r\nCOM210=\\\\.\\COM5\r\nScale=x\r\n");
  const std::vector<std::string> ports = platform::ListSerialPorts("", (dir / "Kestrel.ini").string());
  EXPECT_TRUE(std::is_sorted(ports.begin(), ports.end(),
                             [](const std::string& a, const std::string& b) { return lower(a) < lower(b); }));
  EXPECT_NE(std::find(ports.begin(), ports.end(), "COM210"), ports.end());
  for (const std::string& port : ports) EXPECT_EQ(lower(port).rfind("com", 0), 0u) << port;
  EXPECT_EQ(platform::ListSerialPorts("", "").size() + 1, ports.size());
}
#endif

}  // namespace
