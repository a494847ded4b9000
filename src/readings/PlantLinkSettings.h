#pragma once
// Where the plant link publishes: the broker, the station's name and the topic
// prefix, the user and password, TLS with a CA file. Texts are the program's
// (Windows-1250); the link converts them to UTF-8 for the broker.
#include <optional>
#include <string>
#include <string_view>

namespace platform {
class IniFile;
}

namespace readings {

struct PlantLinkSettings {
  bool enabled = false;
  std::string host;
  int port = 1883;
  std::string station;
  std::string prefix = "terso";
  std::string user;
  std::string password;
  bool tls = false;
  // With TLS: the certificate of the authority that signed the broker's.
  std::string caFile;

  bool operator==(const PlantLinkSettings&) const = default;
};

// A TCP port as the operator writes it: decimal digits only, 1 to 65535.
std::optional<int> parsePort(std::string_view text);

inline constexpr int kMqttPort = 1883;
inline constexpr int kMqttTlsPort = 8883;

// Why the settings cannot work (Polish), or nothing when they can: a host,
// a port from 1 to 65535, a station and a prefix that make topic levels (no
// "+", "#"; no "/" in the station; the prefix neither begins nor ends with
// "/"), a CA file with TLS.
std::optional<std::string> checkPlantLinkSettings(const PlantLinkSettings& settings);

// `mqtt://[user[:password]@]host[:port]/PREFIX`, or `mqtts://` for TLS (port
// 8883 unless given), over `base`: the address, user, password, TLS and
// prefix come from the URL (%XX escapes decoded), the station and CA file
// stay as in base, and the link is enabled. Nothing, with the reason in
// `error` (Polish), for a URL of another form.
std::optional<PlantLinkSettings> parseMqttUrl(std::string_view url, const PlantLinkSettings& base,
                                              std::string* error = nullptr);

// Section [PlantLink] of the program's own settings file. Missing keys give
// the defaults.
PlantLinkSettings readPlantLinkSettings(const platform::IniFile& ini);
void writePlantLinkSettings(platform::IniFile& ini, const PlantLinkSettings& settings);

// Writes the settings into the file at path (UTF-8), keeping its other
// sections. The file holds the password: on Linux it is made readable by its
// owner only before the password is written into it. Throws
// platform::IniFileError when it cannot be read or written.
void savePlantLinkSettings(const std::string& path, const PlantLinkSettings& settings);
// Writes the settings into `ini` and saves it, the file made readable by its
// owner only first. Throws platform::IniFileError.
void savePlantLinkSettings(platform::IniFile& ini, const PlantLinkSettings& settings);

}  // namespace readings
