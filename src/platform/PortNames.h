#pragma once
// The system names its serial ports "COM1", "COM2", ...; a "COMn" name that
// key COMn of section [Devices] of the device map file ("Kestrel.ini") maps
// is that device everywhere. Otherwise, on Windows "COMn" is the device
// \\.\COMn itself (any other name is \\.\ + name, a name that begins with
// "\\" is a path); on POSIX a port name resolves to a device path thus:
//   - a name that begins with "/" is a path;
//   - "COM" followed by a path ("COM/dev/ttyUSB0") is that path;
//   - "COMn" (n a whole number) is the value of key COMn in section [Devices]
//     of the device map file ("Kestrel.ini") when it has one, else
//     /dev/ttyS{n-1};
//   - any other name is /dev/ + name.
// "COM" is recognised in any letter case.
#include <string>

namespace platform {

inline constexpr const char* kDevicesSection = "Devices";

// deviceMapFile may be empty (no map) or name a missing file (no entries).
// Throws IniFileError when the map file exists but cannot be read: a port
// must not silently open some other device.
std::string serialDevicePath(const std::string& portName, const std::string& deviceMapFile);

// n of a "COMn" name, or 0 when the name is no such name.
int comPortNumber(const std::string& portName);
bool startsWithCom(const std::string& name);

// The device a port name stands for when no map entry names it (the rules
// above, one side per system).
std::string systemDevicePath(const std::string& portName);

}  // namespace platform
