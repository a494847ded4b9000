#pragma once
// Where a serial port saves and restores its settings (TCustomComPort's
// SaveSettings and RestoreSettings, defined in ComStorage.cpp).
//
// The ini file holds one section named after the port, with one "Key=Value"
// line per setting of the stored groups, in this order: sgBasic, sgOthers,
// sgParity, sgBuffer, sgTimeouts, sgFlowControl. Keys the port does not write
// and other sections ([Devices] among them) are left as they are.
#include <string>

namespace platform {
class IniFile;
}

namespace serial {

enum SettingsStore { storeRegistry, storeIniFile };

// The registry key of a port's settings for a registry path `name` and the
// port's name: the root ("HKEY_LOCAL_MACHINE", else "HKEY_CURRENT_USER") and
// the rest of `name` with "\" and the port's name appended. Empty when `name`
// holds no "\": then no key is opened.
std::string RegistryKeyPath(const std::string& name, const std::string& portName);

}  // namespace serial
