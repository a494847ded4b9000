#include "readings/ProgramSettings.h"

#include "platform/Cp1250.h"
#include "platform/PathText.h"

namespace readings {

ProgramSettings::ProgramSettings(const std::string& folder) {
  if (folder.empty()) {
    file_ = std::make_unique<platform::IniFile>(std::string(), std::string_view());
    writable_ = false;
    return;
  }
  const std::string path = platform::utf8Path(platform::pathFromUtf8(folder) / kFileName);
  try {
    file_ = std::make_unique<platform::IniFile>(path);
  } catch (const platform::IniFileError& e) {
    file_ = std::make_unique<platform::IniFile>(path, std::string_view());
    writable_ = false;
    problem_ = platform::pl("Nie można odczytać pliku ") + platform::shownPath(platform::utf8ToCp1250(path)) +
               ": " + e.what();
  }
}

std::string ProgramSettings::value(const std::string& section, const std::string& key,
                                   const std::string& fallback) const {
  return file_->readString(section, key, fallback);
}

bool ProgramSettings::setValue(const std::string& section, const std::string& key, const std::string& value,
                               std::string* error) {
  file_->writeString(section, key, value);
  if (!writable_) return true;
  try {
    file_->save();
    return true;
  } catch (const platform::IniFileError& e) {
    if (error) *error = e.what();
    return false;
  }
}

bool ProgramSettings::readingsFromEveryRow() const {
  return value("Readings", "EveryRow", "0") == "1";
}

bool ProgramSettings::setReadingsFromEveryRow(bool on, std::string* error) {
  return setValue("Readings", "EveryRow", on ? "1" : "0", error);
}

PlantLinkSettings ProgramSettings::plantLink() const {
  return readPlantLinkSettings(*file_);
}

bool ProgramSettings::setPlantLink(const PlantLinkSettings& settings, std::string* error) {
  if (!writable_) {
    writePlantLinkSettings(*file_, settings);
    return true;
  }
  try {
    savePlantLinkSettings(*file_, settings);
    return true;
  } catch (const platform::IniFileError& e) {
    if (error) *error = e.what();
    return false;
  }
}

}  // namespace readings
