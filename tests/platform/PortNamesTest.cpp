#include "platform/PortNames.h"

#include <gtest/gtest.h>

#include "platform/IniFile.h"
#include "support/TempDir.h"

namespace {

using platform::serialDevicePath;
using testing_support::TempDir;

#ifdef _WIN32
TEST(PortNames, ComNamesAreTheDevicesThemselvesUnlessMapped) {
  EXPECT_EQ(serialDevicePath("COM1", ""), "\\\\.\\COM1");
  EXPECT_EQ(serialDevicePath("com12", ""), "\\\\.\\com12");
  EXPECT_EQ(serialDevicePath("\\\\.\\COM3", ""), "\\\\.\\COM3");
  TempDir dir;
  const auto ini = (dir / "Kestrel.ini").string();
  TempDir::write(ini, "[Devices]\nCOM3=\\\\.\\COM7\n");
  EXPECT_EQ(serialDevicePath("COM3", ini), "\\\\.\\COM7");
  EXPECT_EQ(serialDevicePath("COM4", ini), "\\\\.\\COM4");
}
#else
TEST(PortNames, NamesResolveToDevicePaths) {
  EXPECT_EQ(serialDevicePath("/dev/ttyUSB0", ""), "/dev/ttyUSB0");
  EXPECT_EQ(serialDevicePath("COM/dev/serial/by-id/usb-scale", ""), "/dev/serial/by-id/usb-scale");
  EXPECT_EQ(serialDevicePath("COM1", ""), "/dev/ttyS0");
  EXPECT_EQ(serialDevicePath("COM12", ""), "/dev/ttyS11");
  EXPECT_EQ(serialDevicePath("com3", ""), "/dev/ttyS2");
  EXPECT_EQ(serialDevicePath("ttyACM0", ""), "/dev/ttyACM0");
  // Not "COM" and a whole number: the name under /dev.
  EXPECT_EQ(serialDevicePath("COM0", ""), "/dev/COM0");
  EXPECT_EQ(serialDevicePath("COM1a", ""), "/dev/COM1a");
  EXPECT_EQ(serialDevicePath("comedi0", ""), "/dev/comedi0");
}

TEST(PortNames, TheDevicesSectionMapsComNames) {
  TempDir dir;
  const auto ini = (dir / "Kestrel.ini").string();
  // A missing map file maps nothing.
  EXPECT_EQ(serialDevicePath("COM3", ini), "/dev/ttyS2");

  TempDir::write(ini,
                 "[ComPort1]\nPort=COM3\n"
                 "[devices]\ncom3 = /dev/ttyUSB0\nCOM4=\nCOM/dev/x=/dev/y\n");
  EXPECT_EQ(serialDevicePath("COM3", ini), "/dev/ttyUSB0");
  EXPECT_EQ(serialDevicePath("COM4", ini), "/dev/ttyS3");  // an empty entry maps nothing
  EXPECT_EQ(serialDevicePath("COM5", ini), "/dev/ttyS4");
  EXPECT_EQ(serialDevicePath("/dev/ttyS9", ini), "/dev/ttyS9");

  // A map that exists but cannot be read is an error, never a guess.
  EXPECT_THROW(serialDevicePath("COM3", dir.path().string()), platform::IniFileError);
}
#endif

}  // namespace
