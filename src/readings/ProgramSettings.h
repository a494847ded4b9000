#pragma once
// The program's own settings, which config.xml (whose elements are fixed)
// does not hold: "terso.ini" beside config.xml, one section per subsystem.
// Each setting is written when it changes. Texts are Windows-1250.
#include <memory>
#include <string>

#include "platform/IniFile.h"
#include "readings/PlantLinkSettings.h"

namespace readings {

class ProgramSettings {
 public:
  static constexpr const char* kFileName = "terso.ini";

  // Reads the file in `folder` (UTF-8); an empty folder keeps everything in
  // memory. A file that cannot be read gives the defaults and problem()
  // says why; it is not written over.
  explicit ProgramSettings(const std::string& folder);

  // [Readings] EveryRow: every received row with a weight is a reading, not
  // only the reply to a send.
  bool readingsFromEveryRow() const;
  bool setReadingsFromEveryRow(bool on, std::string* error = nullptr);

  // [PlantLink]: where the readings are published. Saving makes the file
  // readable by its owner only (it holds the password).
  PlantLinkSettings plantLink() const;
  bool setPlantLink(const PlantLinkSettings& settings, std::string* error = nullptr);

  // For the other sections: a value, and a change written at once (false,
  // with the reason, when the file could not be written).
  std::string value(const std::string& section, const std::string& key, const std::string& fallback) const;
  bool setValue(const std::string& section, const std::string& key, const std::string& value,
                std::string* error = nullptr);

  const std::string& problem() const { return problem_; }

 private:
  std::unique_ptr<platform::IniFile> file_;
  bool writable_ = true;
  std::string problem_;
};

}  // namespace readings
