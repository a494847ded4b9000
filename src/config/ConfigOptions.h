#pragma once
// The terminal's options. The main window holds the record: it is filled from
// config.xml while the window is created and written back when it closes; in
// between the parts of the program that the window hands it to read and
// change the record, never the file. Texts are Windows-1250 byte strings.
#include <cstdint>
#include <string>

namespace config {

struct TConfigOptions {
  std::string OrdersFileName;   // full path of the orders file
  bool WindRow = false;         // wrap rows of the receive panes
  std::int8_t WindRowMode = 0;  // 0: the wrap character starts a row, 1: it ends a row
  std::string WindRowChar;      // one character, or "$" and hexadecimal digits
  bool SaveASCII = false;
  bool InsertTime = false;
  bool ChangePointToColon = false;
  bool FastWrite = false;
  std::uint8_t ConnectionKind = 0;  // kSerialConnection or kEthernetConnection
  std::string Host;                 // address of the device server
  std::int32_t Port = 0;            // TCP port of the device server

  bool operator==(const TConfigOptions&) const = default;
};

inline constexpr std::uint8_t kSerialConnection = 0;    // stored as "COM"
inline constexpr std::uint8_t kEthernetConnection = 1;  // stored as "Eth"

}  // namespace config
