#include "platform/SerialPortList.h"

#include <windows.h>

#include "platform/win32/Win32Text.h"

namespace platform {

// Every COM port the drivers announce is a value under SERIALCOMM: the
// value's data is the port's name ("COM3"). A machine without ports may
// have no such key at all.
std::vector<std::string> systemSerialPorts(const std::string&) {
  std::vector<std::string> ports;
  HKEY key = nullptr;
  const LONG opened =
      RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key);
  if (opened == ERROR_FILE_NOT_FOUND) return ports;
  if (opened != ERROR_SUCCESS)
    throw SerialPortListError("cannot read the serial-comm map: " + win32::errorText(opened),
                              win32::errnoFrom(opened));
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD nameLength = 256;
    wchar_t data[256];
    DWORD dataBytes = sizeof data - sizeof(wchar_t);
    DWORD type = 0;
    const LONG rc = RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                                  reinterpret_cast<BYTE*>(data), &dataBytes);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS || type != REG_SZ) continue;
    std::wstring port(data, dataBytes / sizeof(wchar_t));
    while (!port.empty() && port.back() == L'\0') port.pop_back();
    if (!port.empty()) ports.push_back(win32::narrow(port));
  }
  RegCloseKey(key);
  return ports;
}

}  // namespace platform
