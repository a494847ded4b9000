#include "platform/SerialPortList.h"

#include <windows.h>
// After windows.h, which it needs.
#include <setupapi.h>

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

// Every present device of the Ports class (COM and LPT) whose device key
// names its port ("PortName"), with the friendly name the driver gave it or
// else its device description.
std::map<std::string, std::string> serialPortDescriptions() {
  std::map<std::string, std::string> descriptions;
  // GUID_DEVCLASS_PORTS, spelled out so that no GUID library is needed.
  static const GUID kPortsClass = {
      0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
  const HDEVINFO devices = SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
  if (devices == INVALID_HANDLE_VALUE) return descriptions;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
    const HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) continue;
    wchar_t port[256] = {};
    DWORD portBytes = sizeof port - sizeof(wchar_t);
    DWORD type = 0;
    const LONG rc =
        RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(port), &portBytes);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_SZ || port[0] == L'\0') continue;
    // Some drivers give no friendly name: the device's description stands in.
    wchar_t text[512] = {};
    auto property = [&](DWORD which) {
      text[0] = L'\0';
      return SetupDiGetDeviceRegistryPropertyW(devices, &device, which, nullptr,
                                               reinterpret_cast<BYTE*>(text), sizeof text - sizeof(wchar_t),
                                               nullptr) &&
             text[0] != L'\0';
    };
    if (!property(SPDRP_FRIENDLYNAME) && !property(SPDRP_DEVICEDESC)) continue;
    descriptions[win32::narrow(port)] = win32::narrow(text);
  }
  SetupDiDestroyDeviceInfoList(devices);
  return descriptions;
}

}  // namespace platform
