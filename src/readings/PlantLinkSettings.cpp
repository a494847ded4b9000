#include "readings/PlantLinkSettings.h"

#include <filesystem>
#include <system_error>

#include "platform/AtomicFile.h"
#include "platform/Cp1250.h"
#include "platform/IniFile.h"
#include "platform/PathText.h"

namespace readings {

using platform::pl;

namespace {

constexpr const char* kSection = "PlantLink";

bool isHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
int hexValue(char c) {
  return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

// %XX escapes decoded; nothing for a broken escape.
std::optional<std::string> percentDecoded(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size() || !isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2])) return std::nullopt;
    out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
    i += 2;
  }
  return out;
}

std::optional<PlantLinkSettings> refuse(std::string* error, const std::string& why) {
  if (error) *error = why;
  return std::nullopt;
}

}  // namespace

std::optional<int> parsePort(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  int port = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    port = port * 10 + (c - '0');
  }
  if (port < 1 || port > 65535) return std::nullopt;
  return port;
}

std::optional<std::string> checkPlantLinkSettings(const PlantLinkSettings& s) {
  if (s.host.empty()) return pl("Podaj adres brokera MQTT.");
  if (s.port < 1 || s.port > 65535) return pl("Port brokera MQTT to liczba od 1 do 65535.");
  if (s.station.empty()) return pl("Podaj nazwę stanowiska.");
  if (s.station.find_first_of("/+#") != std::string::npos)
    return pl("Nazwa stanowiska nie może zawierać znaków / + #.");
  if (s.prefix.empty()) return pl("Podaj prefiks tematów MQTT.");
  if (s.prefix.find_first_of("+#") != std::string::npos || s.prefix.front() == '/' || s.prefix.back() == '/')
    return pl("Prefiks tematów MQTT nie może zawierać znaków + # ani zaczynać się lub kończyć znakiem /.");
  if (s.tls && s.caFile.empty()) return pl("Podaj plik certyfikatu CA brokera (TLS).");
  return std::nullopt;
}

std::optional<PlantLinkSettings> parseMqttUrl(std::string_view url, const PlantLinkSettings& base,
                                              std::string* error) {
  const std::string form = pl("Adres brokera ma postać mqtt://[użytkownik[:hasło]@]host[:port]/PREFIKS");
  PlantLinkSettings s = base;
  if (url.starts_with("mqtt://")) {
    s.tls = false;
    url.remove_prefix(7);
  } else if (url.starts_with("mqtts://")) {
    s.tls = true;
    url.remove_prefix(8);
  } else {
    return refuse(error, form + pl(" (albo mqtts:// z TLS)."));
  }
  const std::size_t slash = url.find('/');
  if (slash == std::string_view::npos) return refuse(error, form + ".");
  std::string_view authority = url.substr(0, slash);
  const std::optional<std::string> prefix = percentDecoded(url.substr(slash + 1));
  if (!prefix || prefix->empty()) return refuse(error, form + pl(": brak prefiksu tematów."));
  s.prefix = *prefix;

  s.user.clear();
  s.password.clear();
  if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
    const std::string_view credentials = authority.substr(0, at);
    authority.remove_prefix(at + 1);
    const std::size_t colon = credentials.find(':');
    const auto user = percentDecoded(credentials.substr(0, colon));
    const auto password = colon == std::string_view::npos ? std::optional<std::string>("")
                                                          : percentDecoded(credentials.substr(colon + 1));
    if (!user || !password || user->empty())
      return refuse(error, form + pl(": niepoprawny użytkownik lub hasło."));
    s.user = *user;
    s.password = *password;
  }

  // host, host:port, [v6 address] or [v6 address]:port
  std::string_view host = authority;
  std::string_view port;
  if (authority.starts_with('[')) {
    const std::size_t close = authority.find(']');
    if (close == std::string_view::npos) return refuse(error, form + ".");
    host = authority.substr(1, close - 1);
    const std::string_view rest = authority.substr(close + 1);
    if (!rest.empty() && !rest.starts_with(':')) return refuse(error, form + ".");
    if (!rest.empty()) port = rest.substr(1);
  } else if (const std::size_t colon = authority.find(':'); colon != std::string_view::npos) {
    host = authority.substr(0, colon);
    port = authority.substr(colon + 1);
  }
  if (host.empty()) return refuse(error, form + pl(": brak adresu brokera."));
  s.host = std::string(host);
  s.port = s.tls ? kMqttTlsPort : kMqttPort;
  if (!port.empty() || authority.ends_with(':')) {
    const std::optional<int> number = parsePort(port);
    if (!number) return refuse(error, pl("Port brokera MQTT to liczba od 1 do 65535."));
    s.port = *number;
  }
  s.enabled = true;
  return s;
}

PlantLinkSettings readPlantLinkSettings(const platform::IniFile& ini) {
  PlantLinkSettings s;
  const auto text = [&](const char* key, const std::string& def) {
    return ini.readString(kSection, key, def);
  };
  const auto flag = [&](const char* key) { return text(key, "0") == "1"; };
  s.enabled = flag("Enabled");
  s.host = text("Host", s.host);
  s.port = parsePort(text("Port", "")).value_or(s.port);
  s.station = text("Station", s.station);
  s.prefix = text("Prefix", s.prefix);
  s.user = text("User", s.user);
  s.password = text("Password", s.password);
  s.tls = flag("TLS");
  s.caFile = text("CAFile", s.caFile);
  return s;
}

void writePlantLinkSettings(platform::IniFile& ini, const PlantLinkSettings& s) {
  ini.writeString(kSection, "Enabled", s.enabled ? "1" : "0");
  ini.writeString(kSection, "Host", s.host);
  ini.writeString(kSection, "Port", std::to_string(s.port));
  ini.writeString(kSection, "Station", s.station);
  ini.writeString(kSection, "Prefix", s.prefix);
  ini.writeString(kSection, "User", s.user);
  ini.writeString(kSection, "Password", s.password);
  ini.writeString(kSection, "TLS", s.tls ? "1" : "0");
  ini.writeString(kSection, "CAFile", s.caFile);
}

void savePlantLinkSettings(platform::IniFile& ini, const PlantLinkSettings& settings) {
  namespace fs = std::filesystem;
  writePlantLinkSettings(ini, settings);
  // The owner only, before the password is in it: a new file is made empty
  // first, and a replacement keeps the mode of the file it replaces.
  const fs::path file = platform::pathFromUtf8(ini.path());
  std::error_code ignored;
  if (!fs::exists(file, ignored)) platform::writeFileAtomically(ini.path(), "");
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace, ignored);
  ini.save();
}

void savePlantLinkSettings(const std::string& path, const PlantLinkSettings& settings) {
  platform::IniFile ini(path);
  savePlantLinkSettings(ini, settings);
}

}  // namespace readings
