#pragma once
// The serial devices of this machine, as names a port accepts: the COMn names
// mapped in section [Devices] of the device map file ("Kestrel.ini"), and the
// serial devices that exist: on POSIX the paths of /dev/ttyS* with a real
// UART behind them, /dev/ttyUSB*, /dev/ttyACM* and the links in
// /dev/serial/by-id; on Windows the COM names of the registry's serial-comm
// map (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM).
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform {

class SerialPortListError : public std::runtime_error {
 public:
  SerialPortListError(const std::string& message, int err) : std::runtime_error(message), errorCode_(err) {}
  // The errno of the failure.
  int errorCode() const { return errorCode_; }

 private:
  int errorCode_;
};

// Sorted in text order ignoring letter case ("COM10" before "COM2"), without
// duplicates. root is the folder that holds "dev" ("/" on a live system; a
// test passes a folder of its own), and the paths found start with it.
// deviceMapFile may be empty (no map) or name a missing file. Throws
// SerialPortListError when root's dev folder or the map file cannot be read;
// a missing /dev/serial/by-id is no error (no such devices plugged in).
std::vector<std::string> ListSerialPorts(const std::string& root, const std::string& deviceMapFile);

// The system's own part of the list, unsorted (root: as above; not used on
// Windows).
std::vector<std::string> systemSerialPorts(const std::string& root);

// The system's descriptions of its ports by port name, in UTF-8 ("COM3" ->
// "USB-SERIAL CH340 (COM3)"), for display beside the names: on Windows the
// friendly names of the Ports class devices; none on POSIX. Never throws: a
// list without descriptions still works.
std::map<std::string, std::string> serialPortDescriptions();

}  // namespace platform
