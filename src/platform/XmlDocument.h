#pragma once
// A small DOM over libxml2 for the terminal's own XML files (config.xml and the
// orders files). Names and texts cross this interface as Windows-1250 byte
// strings, like every text of the program; the document itself is Unicode.
//
// Parsing is defensive: no network, no entity substitution, no document type
// declaration at all (the files the terminal writes never have one, and a DTD
// is the way in for entity bombs and external entities), bounded file size and
// nesting depth. A file that breaks any of that cannot be loaded.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/WholeFile.h"

struct _xmlDoc;
struct _xmlNode;

namespace platform {

// One element of an XmlDocument; a null handle when nothing was found. Valid
// while its document keeps it (until the element or an ancestor is removed,
// or the document is closed or reloaded).
class XmlElement {
 public:
  enum class Content {
    Empty,  // no child nodes at all
    Text,   // exactly one text (or CDATA) node
    Other   // child elements, comments, several nodes
  };

  XmlElement() = default;
  explicit operator bool() const { return node_ != nullptr; }
  bool operator==(const XmlElement& other) const = default;

  std::string name() const;

  // The first child element named exactly `name` (case counts).
  XmlElement firstChild(std::string_view name) const;
  // The child elements in document order, whatever their names.
  std::vector<XmlElement> childElements() const;

  Content content() const;
  // The single text of the element: empty for Content::Empty, nothing for
  // Content::Other.
  std::optional<std::string> text() const;
  // Replaces the element's text. False, changing nothing, when the element
  // holds other content than a single text. Control characters that XML cannot
  // carry become '?'.
  bool setText(std::string_view text);

  // Appends a new, empty child element as the last child. Throws
  // std::invalid_argument for a name that XML does not allow.
  XmlElement appendChild(std::string_view name);
  // Removes every child node (elements, texts, comments).
  void removeChildren();

 private:
  friend class XmlDocument;
  explicit XmlElement(_xmlNode* node) : node_(node) {}
  _xmlNode* node_ = nullptr;
};

class XmlDocument {
 public:
  // Larger files are refused unread.
  static constexpr std::size_t kMaxFileBytes = kSettingsFileMaxBytes;

  XmlDocument();
  ~XmlDocument();
  XmlDocument(XmlDocument&&) noexcept;
  XmlDocument& operator=(XmlDocument&&) noexcept;

  // A document is open after a successful load or startNew, until close.
  bool isOpen() const { return doc_ != nullptr; }

  // Loads a file, replacing what was open. On failure (missing, unreadable,
  // not a regular file, too large, not well-formed, hostile) no document is
  // open, false is returned and lastError() says why.
  bool load(const std::string& path, std::size_t maxBytes = kMaxFileBytes);
  bool loadFromBytes(std::string_view bytes);

  // Starts an empty document (no root) that is written in UTF-8 without an
  // XML declaration.
  void startNew();
  // Drops the document and all its nodes.
  void close();

  // The root element, null when there is none (or no document is open).
  XmlElement root() const;
  // Makes a new element the root. Throws std::logic_error when no document is
  // open or it already has a root; std::invalid_argument for a bad name.
  XmlElement addRoot(std::string_view name);

  // True when the loaded file began with an XML declaration; such a document
  // is written back with its declaration and in its declared encoding.
  bool hasDeclaration() const { return hasDeclaration_; }
  // The declared encoding, empty when none was declared.
  std::string encoding() const;

  // The bytes a save writes, or nothing when the document cannot be written
  // so that it loads again (for example a name that the declared encoding
  // cannot carry). `indent` lays out elements one per line.
  std::optional<std::string> serialize(bool indent = false) const;
  // Writes the document to `path`, replacing the file atomically. False, with
  // lastError() set, when nothing was written; the old file is then intact.
  bool save(const std::string& path, bool indent = false);

  const std::string& lastError() const { return lastError_; }

 private:
  struct FreeDoc {
    void operator()(_xmlDoc* doc) const;
  };
  std::unique_ptr<_xmlDoc, FreeDoc> doc_;
  bool hasDeclaration_ = false;
  std::string lastError_;
};

}  // namespace platform
