#include "config/ConfigFile.h"

#include <charconv>
#include <filesystem>
#include <optional>

#include "platform/AtomicFile.h"
#include "platform/Cp1250.h"
#include "platform/WholeFile.h"
#include "platform/PathText.h"

namespace config {
namespace {

using platform::XmlElement;

constexpr std::string_view kOptions = "Options";
constexpr std::string_view kInterface = "Interface";

// A decimal integer over the whole text, with an optional sign; nothing for
// anything else, including numbers outside 32 bits.
std::optional<std::int32_t> parseDecimal(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || text.front() == '+') return std::nullopt;
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// What LoadConfig finds at one place of the document.
struct Value {
  bool exists = false;
  XmlElement::Content content = XmlElement::Content::Empty;
  std::string text;  // the single text, when content is Text
};

}  // namespace

TConfigFile::TConfigFile(std::string programDirectory) : directory_(std::move(programDirectory)) {
  if (directory_.empty()) directory_ = ".";
  // OrdersFileName holds a full path.
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(platform::pathFromUtf8(directory_), error);
  if (!error) directory_ = platform::utf8Path(absolute);
  // The orders file's default name is shown to the operator.
  directory_ = platform::shownPath(directory_);
  if (directory_.back() != '/' && directory_.back() != platform::kShownPathSeparator)
    directory_ += platform::kShownPathSeparator;
  fileName_ = directory_ + std::string(kConfigFileName);
}

std::string TConfigFile::defaultOrdersFileName() const {
  return platform::utf8ToCp1250(directory_ + "orders.xml");
}

XmlElement TConfigFile::findElement(std::string_view section, std::string_view element) const {
  return XMLConfig.root().firstChild(section).firstChild(element);
}

void TConfigFile::EnsureElement(std::string_view section, std::string_view element,
                                std::string_view defaultText) {
  XmlElement parent = XMLConfig.root().firstChild(section);
  if (!parent) throw ConfigError("no section " + std::string(section));
  if (parent.firstChild(element)) return;  // an existing value always wins
  parent.appendChild(element).setText(defaultText);
}

bool TConfigFile::ElementEquals(std::string_view section, std::string_view element,
                                std::string_view text) const {
  const XmlElement found = findElement(section, element);
  if (!found) throw ConfigError("no element " + std::string(element));
  const std::optional<std::string> value = found.text();
  if (!value) throw ConfigError("element " + std::string(element) + " holds other content");
  return *value == text;
}

void TConfigFile::SetElementText(std::string_view section, std::string_view element, bool condition,
                                 std::string_view falseText, std::string_view trueText) {
  XmlElement found = findElement(section, element);
  if (!found) throw ConfigError("no element " + std::string(element));
  if (!found.setText(condition ? trueText : falseText))
    throw ConfigError("element " + std::string(element) + " holds other content");
}

void TConfigFile::OpenConfig() {
  unreadableFileFound_ = false;
  try {
    XMLConfig.close();
    if (platform::fileExists(fileName_) && !XMLConfig.load(fileName_)) unreadableFileFound_ = true;
  } catch (const std::exception&) {
    XMLConfig.close();
  }

  try {
    if (!XMLConfig.isOpen()) XMLConfig.startNew();
    if (!XMLConfig.root()) XMLConfig.addRoot(kRootName);
    XmlElement root = XMLConfig.root();

    if (!root.firstChild(kOptions)) root.appendChild(kOptions);
    EnsureElement(kOptions, "OrdersFileName", defaultOrdersFileName());
    EnsureElement(kOptions, "WindRow", "No");
    EnsureElement(kOptions, "WindRowMode", "0");
    EnsureElement(kOptions, "WindRowChar", "$00");
    EnsureElement(kOptions, "SaveASCII", "Yes");
    EnsureElement(kOptions, "InsertTime", "No");
    EnsureElement(kOptions, "ChangePointToColon", "No");
    EnsureElement(kOptions, "FastWrite", "No");

    if (!root.firstChild(kInterface)) root.appendChild(kInterface);
    EnsureElement(kInterface, "Kind", "COM");
    EnsureElement(kInterface, "Host", kDefaultHost);
    EnsureElement(kInterface, "Port", kDefaultPort);
  } catch (const std::exception&) {
    // Absorbed: the document stays as far as it got.
  }
}

void TConfigFile::LoadConfig(TConfigOptions& options) const {
  if (!XMLConfig.isOpen()) return;

  auto value = [this](std::string_view section, std::string_view element) {
    Value v;
    const XmlElement found = findElement(section, element);
    if (!found) return v;
    v.exists = true;
    v.content = found.content();
    if (v.content == XmlElement::Content::Text) v.text = *found.text();
    return v;
  };
  // A value that must be a single non-empty text, else the load stops here.
  auto required = [](const Value& v) { return v.content == XmlElement::Content::Text && !v.text.empty(); };
  auto readFlag = [&](std::string_view element, bool& field) {
    if (!value(kOptions, element).exists) return;
    try {
      field = ElementEquals(kOptions, element, "Yes");
    } catch (const ConfigError&) {
      field = false;
    }
  };

  if (Value v = value(kOptions, "OrdersFileName"); v.exists) options.OrdersFileName = v.text;
  readFlag("WindRow", options.WindRow);
  if (Value v = value(kOptions, "WindRowMode"); v.exists) {
    if (!required(v)) return;
    // The low 8 bits as a signed byte: 300 gives 44, 255 gives -1.
    const auto number = static_cast<std::uint32_t>(parseDecimal(v.text).value_or(0));
    options.WindRowMode = static_cast<std::int8_t>(static_cast<std::uint8_t>(number & 0xFF));
  }
  if (Value v = value(kOptions, "WindRowChar"); v.exists) options.WindRowChar = v.text;
  readFlag("SaveASCII", options.SaveASCII);
  readFlag("InsertTime", options.InsertTime);
  readFlag("ChangePointToColon", options.ChangePointToColon);
  readFlag("FastWrite", options.FastWrite);
  if (Value v = value(kInterface, "Kind"); v.exists) {
    if (v.content == XmlElement::Content::Other) return;
    options.ConnectionKind = v.text == "Eth" ? kEthernetConnection : kSerialConnection;
  }
  if (Value v = value(kInterface, "Host"); v.exists) {
    if (!required(v)) return;
    options.Host = v.text;
  }
  if (Value v = value(kInterface, "Port"); v.exists) {
    if (!required(v)) return;
    const std::int32_t port = parseDecimal(v.text).value_or(0);
    options.Port = port > 0 ? port : 1001;
  }
}

bool TConfigFile::keepUnreadableFile(std::string& notice) {
  if (!unreadableFileFound_ || !platform::fileExists(fileName_)) return true;
  const std::optional<std::string> backup = platform::freeBackupName(fileName_);
  if (!backup || !platform::copyFileAtomically(fileName_, *backup)) return false;
  unreadableFileFound_ = false;
  notice = platform::pl("Nie można było odczytać pliku ustawień ") + platform::utf8ToCp1250(fileName_) +
           platform::pl(". Zapisano w nim bieżące ustawienia, a jego poprzednią treść zachowano w pliku ") +
           platform::utf8ToCp1250(*backup) + ".";
  return true;
}

SaveConfigResult TConfigFile::SaveConfig(const TConfigOptions& options) {
  SaveConfigResult result;
  if (!XMLConfig.isOpen() || options.OrdersFileName.empty()) return result;
  try {
    XmlElement root = XMLConfig.root();
    if (XmlElement stray = root.firstChild("OrdersFileName"); stray && !stray.setText(options.OrdersFileName))
      throw ConfigError("element OrdersFileName holds other content");

    SetElementText(kOptions, "OrdersFileName", true, "", options.OrdersFileName);
    SetElementText(kOptions, "WindRow", options.WindRow, "No", "Yes");
    SetElementText(kOptions, "WindRowMode", options.WindRowMode >= 0, "0",
                   std::to_string(options.WindRowMode));
    SetElementText(kOptions, "WindRowChar", true, "", options.WindRowChar);
    SetElementText(kOptions, "SaveASCII", options.SaveASCII, "No", "Yes");
    SetElementText(kOptions, "InsertTime", options.InsertTime, "No", "Yes");
    SetElementText(kOptions, "ChangePointToColon", options.ChangePointToColon, "No", "Yes");
    SetElementText(kOptions, "FastWrite", options.FastWrite, "No", "Yes");
    SetElementText(kInterface, "Kind", options.ConnectionKind == kEthernetConnection, "COM", "Eth");
    SetElementText(kInterface, "Host", !options.Host.empty(), kDefaultHost, options.Host);
    SetElementText(kInterface, "Port", options.Port > 0, kDefaultPort, std::to_string(options.Port));

    // A file that could not be read is never replaced before a copy of it is
    // safe; without the copy the old file stays and nothing is written.
    if (!keepUnreadableFile(result.notice)) return result;
    result.written = XMLConfig.save(fileName_, /*indent=*/true);
  } catch (const std::exception&) {
    // Absorbed: the file keeps its old content.
  }
  return result;
}

}  // namespace config
