#pragma once
// A profile (ini) file: "[Section]" lines followed by "Key=Value" lines, with
// comment lines beginning with ";" or "#". The
// file is read whole, changed in memory and written back whole by save(),
// which replaces it atomically. Everything the program does not write stays
// as it was: other sections, other keys, comments and blank lines. Section and
// key names compare ignoring letter case (ASCII); the first of duplicates
// counts. A new key goes to the end of its section, a new section to the end
// of the file. Texts are byte strings (Windows-1250).
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class IniFileError : public std::runtime_error {
 public:
  IniFileError(const std::string& message, int err) : std::runtime_error(message), errorCode_(err) {}
  // The errno of the failure, or 0 when there is none.
  int errorCode() const { return errorCode_; }

 private:
  int errorCode_;
};

class IniFile {
 public:
  // A settings file holds a few dozen lines; one with more than this is
  // refused, as its lines would take far more memory than its bytes.
  static constexpr std::size_t kMaxLines = std::size_t{1} << 16;

  // Reads the file once, with the whole-file reader's rules and the cap for
  // settings files; a missing file is an empty one (created by the first
  // save() after a write). Throws IniFileError when the file exists but
  // cannot be read: not a regular file, too large (also more than kMaxLines
  // lines), or a failed read.
  explicit IniFile(std::string path);
  // A document of bytes already read from path (saved there by save()).
  IniFile(std::string path, std::string_view bytes);

  const std::string& path() const { return path_; }

  // The value with surrounding blanks removed (and one pair of matching
  // quotes, as the profile functions do), or nothing when the key is missing.
  std::optional<std::string> value(const std::string& section, const std::string& key) const;
  std::string readString(const std::string& section, const std::string& key, const std::string& def) const;
  bool sectionExists(const std::string& section) const;
  // Names as written in the file, in file order.
  std::vector<std::string> sections() const;
  std::vector<std::string> keys(const std::string& section) const;

  // Changes the document in memory. A name or value that would break the
  // file's lines (a line break or NUL; "=" in a key; "]" in a section; a key
  // that reads as a comment; an empty name)
  // throws std::invalid_argument and changes nothing.
  void writeString(const std::string& section, const std::string& key, const std::string& value);
  // True when the key was there.
  bool deleteKey(const std::string& section, const std::string& key);

  // The lines (from 0) that are neither blank, a comment (";" or "#"), a
  // "[Section]" nor a "Key=Value": the reader passes over them.
  const std::vector<std::size_t>& unreadableLines() const { return unreadable_; }

  // Whether writes or deletes changed the document since it was read or saved.
  bool modified() const { return modified_; }
  // Writes the document when modified (a temporary file in the same folder,
  // renamed over the old one). Throws IniFileError when that fails; the old
  // file is then left as it was.
  void save();

 private:
  struct Range {
    std::size_t header;  // index of the "[...]" line
    std::size_t end;     // one past the section's last line
  };
  void parse(std::string_view bytes);
  std::optional<Range> findSection(const std::string& section) const;
  std::optional<std::size_t> findKey(const Range& range, const std::string& key) const;

  std::string path_;
  std::vector<std::string> lines_;
  std::vector<std::size_t> unreadable_;
  std::string newline_ = "\n";
  bool modified_ = false;
};

}  // namespace platform
