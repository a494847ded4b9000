#include "platform/XmlDocument.h"

#include <libxml/encoding.h>
#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>

#include <cstdint>
#include <cstring>
#include <mutex>
#include <stdexcept>

#include "platform/AtomicFile.h"
#include "platform/Cp1250.h"
#include "platform/WholeFile.h"

namespace platform {
namespace {

const xmlChar* xml(const std::string& s) {
  return reinterpret_cast<const xmlChar*>(s.c_str());
}
std::string_view view(const xmlChar* s) {
  return s ? std::string_view(reinterpret_cast<const char*>(s)) : std::string_view();
}

// No network, no entity substitution, no DTD loading, no "huge" mode (so the
// parser's own limits on depth and text length hold). Blank text between
// elements is dropped; a blank text that is an element's only content stays.
constexpr int kParseOptions =
    XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOCDATA | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

// Set while this thread parses; the parser's callbacks report through it.
thread_local bool* doctypeSeen = nullptr;

// A document type declaration stops the parse before its internal subset is
// read, so entity declarations are never even parsed.
void refuseDoctype(void* userData, const xmlChar*, const xmlChar*, const xmlChar*) {
  if (doctypeSeen) *doctypeSeen = true;
  xmlStopParser(static_cast<xmlParserCtxtPtr>(userData));
}

void ignoreMessage(void*, const char*, ...) {}

// libxml2 reports some faults (encoding conversion, output) through its generic
// handler, which prints to stderr; the caller gets them as a result instead.
class QuietErrors {
 public:
  QuietErrors() : handler_(xmlGenericError), context_(xmlGenericErrorContext) {
    xmlSetGenericErrorFunc(nullptr, ignoreMessage);
  }
  ~QuietErrors() { xmlSetGenericErrorFunc(context_, handler_); }
  QuietErrors(const QuietErrors&) = delete;
  QuietErrors& operator=(const QuietErrors&) = delete;

 private:
  xmlGenericErrorFunc handler_;
  void* context_;
};

// Windows-1250 for a libxml2 built without iconv (the Windows build): the
// code page's own table, one byte to one code point.
int cp1250In(unsigned char* out, int* outLength, const unsigned char* in, int* inLength) {
  int read = 0;
  int written = 0;
  while (read < *inLength) {
    // The five bytes the code page leaves undefined are no text.
    if (in[read] >= 0x80 && in[read] < 0xA0 && cp1250ToUnicode(in[read]) == in[read]) {
      *inLength = read;
      *outLength = written;
      return -2;
    }
    const std::string one = cp1250ToUtf8(std::string_view(reinterpret_cast<const char*>(in + read), 1));
    if (written + static_cast<int>(one.size()) > *outLength) break;
    std::memcpy(out + written, one.data(), one.size());
    written += static_cast<int>(one.size());
    ++read;
  }
  *inLength = read;
  *outLength = written;
  return written;
}

// A character the code page lacks stops the conversion with -2, so that
// libxml2 writes it as a character reference (or refuses it in a name).
int cp1250Out(unsigned char* out, int* outLength, const unsigned char* in, int* inLength) {
  int read = 0;
  int written = 0;
  int result = 0;
  while (read < *inLength && written < *outLength) {
    const unsigned char lead = in[read];
    const int size = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (read + size > *inLength) break;  // the rest comes with the next call
    const std::string one =
        utf8ToCp1250(std::string_view(reinterpret_cast<const char*>(in + read), static_cast<std::size_t>(size)));
    const bool lacking = one == "?" && !(size == 1 && lead == '?');
    if (lacking) {
      result = -2;
      break;
    }
    out[written++] = static_cast<unsigned char>(one[0]);
    read += size;
  }
  *inLength = read;
  *outLength = written;
  return result < 0 ? result : written;
}

void initialize() {
  xmlInitParser();
  // A handler found through iconv is a new one each time: closing it frees it.
  if (xmlCharEncodingHandlerPtr found = xmlFindCharEncodingHandler("windows-1250"))
    xmlCharEncCloseFunc(found);
  else
    xmlRegisterCharEncodingHandler(xmlNewCharEncodingHandler("WINDOWS-1250", cp1250In, cp1250Out));
}

xmlDocPtr parse(std::string_view bytes, std::string& error) {
  static std::once_flag init;
  std::call_once(init, initialize);

  if (bytes.size() > static_cast<std::size_t>(INT32_MAX)) {
    error = "file too large";
    return nullptr;
  }
  xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
  if (!ctxt) {
    error = "out of memory";
    return nullptr;
  }
  QuietErrors quiet;
  bool sawDoctype = false;
  doctypeSeen = &sawDoctype;
  ctxt->sax->internalSubset = refuseDoctype;
  xmlDocPtr doc =
      xmlCtxtReadMemory(ctxt, bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr, kParseOptions);
  doctypeSeen = nullptr;
  if (sawDoctype) {
    error = "document type declarations are not accepted";
  } else if (!doc || !ctxt->wellFormed) {
    const xmlError* e = xmlCtxtGetLastError(ctxt);
    error = e && e->message ? std::string(e->message) : std::string("not well-formed");
    while (!error.empty() && error.back() == '\n') error.pop_back();
    if (e) error += " (line " + std::to_string(e->line) + ")";
  }
  const bool ok = doc && ctxt->wellFormed && !sawDoctype;
  xmlFreeParserCtxt(ctxt);
  if (!ok) {
    if (doc) xmlFreeDoc(doc);
    return nullptr;
  }
  return doc;
}

// Whether the text begins with an XML declaration (after an optional byte
// order mark), in UTF-8 or a one-byte code page, or in UTF-16.
bool beginsWithDeclaration(std::string_view bytes) {
  auto matches = [&](std::string_view pattern) { return bytes.substr(0, pattern.size()) == pattern; };
  if (matches("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  if (matches("\xFF\xFE") || matches("\xFE\xFF")) {
    const bool littleEndian = bytes[0] == '\xFF';
    bytes.remove_prefix(2);
    std::string narrow;
    for (std::size_t i = 0; i + 1 < bytes.size() && narrow.size() < 6; i += 2) {
      const char high = littleEndian ? bytes[i + 1] : bytes[i];
      narrow += high == 0 ? (littleEndian ? bytes[i] : bytes[i + 1]) : '\xFF';
    }
    return beginsWithDeclaration(narrow);
  }
  if (!matches("<?xml") || bytes.size() < 6) return false;
  const char next = bytes[5];
  return next == ' ' || next == '\t' || next == '\r' || next == '\n' || next == '?';
}

std::string qualifiedName(const xmlNode* node) {
  std::string name;
  if (node->ns && node->ns->prefix) {
    name = std::string(view(node->ns->prefix));
    name += ':';
  }
  name += view(node->name);
  return name;
}

// Windows-1250 text as UTF-8 that XML 1.0 can carry: the control characters it
// forbids (even as references) become '?'.
std::string toDocumentText(std::string_view cp1250) {
  std::string cleaned(cp1250);
  for (char& c : cleaned) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 && c != '\t' && c != '\n' && c != '\r') c = '?';
  }
  return cp1250ToUtf8(cleaned);
}

std::string toName(std::string_view cp1250) {
  std::string name = cp1250ToUtf8(cp1250);
  if (name.empty() || name.find('\0') != std::string::npos || xmlValidateName(xml(name), 0) != 0)
    throw std::invalid_argument("not an XML element name: " + std::string(cp1250));
  return name;
}

}  // namespace

// --- XmlElement ---

std::string XmlElement::name() const {
  return node_ ? utf8ToCp1250(qualifiedName(node_)) : std::string();
}

XmlElement XmlElement::firstChild(std::string_view name) const {
  if (!node_) return {};
  const std::string wanted = cp1250ToUtf8(name);
  for (xmlNode* child = node_->children; child; child = child->next)
    if (child->type == XML_ELEMENT_NODE && qualifiedName(child) == wanted) return XmlElement(child);
  return {};
}

std::vector<XmlElement> XmlElement::childElements() const {
  std::vector<XmlElement> elements;
  if (!node_) return elements;
  for (xmlNode* child = node_->children; child; child = child->next)
    if (child->type == XML_ELEMENT_NODE) elements.push_back(XmlElement(child));
  return elements;
}

XmlElement::Content XmlElement::content() const {
  if (!node_ || !node_->children) return Content::Empty;
  const xmlNode* only = node_->children;
  if (only->next == nullptr && (only->type == XML_TEXT_NODE || only->type == XML_CDATA_SECTION_NODE))
    return Content::Text;
  return Content::Other;
}

std::optional<std::string> XmlElement::text() const {
  switch (content()) {
    case Content::Empty:
      return std::string();
    case Content::Text:
      return utf8ToCp1250(view(node_->children->content));
    case Content::Other:
      break;
  }
  return std::nullopt;
}

bool XmlElement::setText(std::string_view text) {
  if (!node_ || content() == Content::Other) return false;
  removeChildren();
  if (!text.empty()) {
    const std::string utf8 = toDocumentText(text);
    xmlNode* node = xmlNewDocTextLen(node_->doc, xml(utf8), static_cast<int>(utf8.size()));
    if (!node) throw std::bad_alloc();
    xmlAddChild(node_, node);
  }
  return true;
}

XmlElement XmlElement::appendChild(std::string_view name) {
  if (!node_) throw std::logic_error("appendChild on a null element");
  const std::string utf8 = toName(name);
  xmlNode* child = xmlNewDocNode(node_->doc, nullptr, xml(utf8), nullptr);
  if (!child) throw std::bad_alloc();
  xmlAddChild(node_, child);
  return XmlElement(child);
}

void XmlElement::removeChildren() {
  if (!node_) return;
  xmlNode* child = node_->children;
  while (child) {
    xmlNode* next = child->next;
    xmlUnlinkNode(child);
    xmlFreeNode(child);
    child = next;
  }
}

// --- XmlDocument ---

void XmlDocument::FreeDoc::operator()(_xmlDoc* doc) const {
  xmlFreeDoc(doc);
}

XmlDocument::XmlDocument() = default;
XmlDocument::~XmlDocument() = default;
XmlDocument::XmlDocument(XmlDocument&&) noexcept = default;
XmlDocument& XmlDocument::operator=(XmlDocument&&) noexcept = default;

bool XmlDocument::load(const std::string& path, std::size_t maxBytes) {
  close();
  std::string bytes;
  if (const int error = readWholeFile(path, maxBytes, bytes); error != 0) {
    lastError_ = wholeFileReadError(error);
    return false;
  }
  return loadFromBytes(bytes);
}

bool XmlDocument::loadFromBytes(std::string_view bytes) {
  close();
  lastError_.clear();
  xmlDocPtr doc = parse(bytes, lastError_);
  if (!doc) return false;
  doc_.reset(doc);
  hasDeclaration_ = beginsWithDeclaration(bytes);
  return true;
}

void XmlDocument::startNew() {
  close();
  doc_.reset(xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0")));
  if (!doc_) throw std::bad_alloc();
}

void XmlDocument::close() {
  doc_.reset();
  hasDeclaration_ = false;
}

XmlElement XmlDocument::root() const {
  return doc_ ? XmlElement(xmlDocGetRootElement(doc_.get())) : XmlElement();
}

XmlElement XmlDocument::addRoot(std::string_view name) {
  if (!doc_) throw std::logic_error("addRoot without an open document");
  if (root()) throw std::logic_error("the document already has a root element");
  const std::string utf8 = toName(name);
  xmlNode* node = xmlNewDocNode(doc_.get(), nullptr, xml(utf8), nullptr);
  if (!node) throw std::bad_alloc();
  xmlDocSetRootElement(doc_.get(), node);
  return XmlElement(node);
}

std::string XmlDocument::encoding() const {
  return doc_ && doc_->encoding ? std::string(view(doc_->encoding)) : std::string();
}

std::optional<std::string> XmlDocument::serialize(bool indent) const {
  if (!doc_) return std::nullopt;
  const char* encoding = "UTF-8";
  int options = indent ? XML_SAVE_FORMAT : 0;
  if (hasDeclaration_)
    encoding = doc_->encoding ? reinterpret_cast<const char*>(doc_->encoding) : nullptr;
  else
    options |= XML_SAVE_NO_DECL;

  QuietErrors quiet;
  xmlBufferPtr buffer = xmlBufferCreate();
  if (!buffer) throw std::bad_alloc();
  std::optional<std::string> bytes;
  if (xmlSaveCtxtPtr save = xmlSaveToBuffer(buffer, encoding, options)) {
    const long written = xmlSaveDoc(save, doc_.get());
    if (xmlSaveClose(save) >= 0 && written >= 0)
      bytes.emplace(reinterpret_cast<const char*>(xmlBufferContent(buffer)),
                    static_cast<std::size_t>(xmlBufferLength(buffer)));
  }
  xmlBufferFree(buffer);

  // An encoding that cannot carry a name would be written as a character
  // reference inside the tag: refuse what would not load again.
  if (bytes) {
    std::string error;
    xmlDocPtr check = parse(*bytes, error);
    if (!check) return std::nullopt;
    xmlFreeDoc(check);
  }
  return bytes;
}

bool XmlDocument::save(const std::string& path, bool indent) {
  const std::optional<std::string> bytes = serialize(indent);
  if (!bytes) {
    lastError_ = "the document cannot be written in its encoding";
    return false;
  }
  return writeFileAtomically(path, *bytes, &lastError_);
}

}  // namespace platform
