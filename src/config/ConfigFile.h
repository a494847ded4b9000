#pragma once
// config.xml: the terminal's options as an XML document held in memory from
// start-up to exit. OpenConfig loads the file (or starts a new document) and
// adds every missing element with its default text; LoadConfig copies the
// values into a TConfigOptions record; SaveConfig copies the record back into
// the document and replaces the file. Failures are absorbed: nothing here
// shows a message or stops the program.
#include <stdexcept>
#include <string>
#include <string_view>

#include "config/ConfigOptions.h"
#include "platform/XmlDocument.h"

namespace config {

// The device server's address when none was configured.
inline constexpr std::string_view kDefaultHost = "192.168.1.100";
inline constexpr std::string_view kDefaultPort = "1001";
inline constexpr std::string_view kConfigFileName = "config.xml";
inline constexpr std::string_view kRootName = "TersoConfig";

// A value that cannot be read or set; absorbed inside this file's operations.
class ConfigError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct SaveConfigResult {
  bool written = false;  // config.xml now holds the options
  // A message for the operator (Windows-1250), empty when there is nothing to
  // tell: set once, when a config.xml that could not be read at start-up was
  // kept under another name before being replaced.
  std::string notice;
};

class TConfigFile {
 public:
  // `programDirectory`: the folder that holds config.xml, as a file system
  // path; its orders.xml is the default orders file.
  explicit TConfigFile(std::string programDirectory);

  // Loads config.xml, or starts a new document when there is none or it
  // cannot be loaded, and completes it with defaults.
  void OpenConfig();
  // Copies the document's values into `options` (does nothing when no
  // document is open). Fields whose element is missing keep their value.
  void LoadConfig(TConfigOptions& options) const;
  // Copies `options` into the document and writes config.xml. Writes nothing
  // when no document is open or `options.OrdersFileName` is empty.
  SaveConfigResult SaveConfig(const TConfigOptions& options);

  // Appends section/element with `defaultText` when the section lacks it.
  // Throws ConfigError when the section does not exist.
  void EnsureElement(std::string_view section, std::string_view element, std::string_view defaultText);
  // True when section/element exists and its single text equals `text`
  // exactly. Throws ConfigError when the element is missing or holds other
  // content than a single text.
  bool ElementEquals(std::string_view section, std::string_view element, std::string_view text) const;
  // Sets section/element's text to `trueText` when `condition` holds, else to
  // `falseText`. Throws ConfigError when the element is missing or holds
  // other content than a single text.
  void SetElementText(std::string_view section, std::string_view element, bool condition,
                      std::string_view falseText, std::string_view trueText);

  // The path of config.xml.
  const std::string& fileName() const { return fileName_; }
  // OrdersFileName's default: the program directory followed by "orders.xml"
  // (Windows-1250).
  std::string defaultOrdersFileName() const;

  // The document, open from OpenConfig on.
  platform::XmlDocument XMLConfig;

 private:
  platform::XmlElement findElement(std::string_view section, std::string_view element) const;
  bool keepUnreadableFile(std::string& notice);

  std::string directory_;  // with a trailing separator
  std::string fileName_;
  // config.xml existed at OpenConfig but could not be loaded; its content is
  // kept under another name before the first save replaces it.
  bool unreadableFileFound_ = false;
};

}  // namespace config
