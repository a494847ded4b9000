// The ini reader on any file, then a write of one key and a read back: the
// written value comes back exactly, and every other key keeps its value.
#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>

#include "FuzzInput.h"
#include "platform/IniFile.h"
#include "support/TempDir.h"

namespace {

using Values = std::map<std::pair<std::string, std::string>, std::string>;

// Names compare ignoring letter case and surrounding blanks.
std::string lower(std::string s) {
  const auto first = s.find_first_not_of(" \t\r");
  s = first == std::string::npos ? std::string() : s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

Values allValues(const platform::IniFile& ini) {
  Values values;
  for (const std::string& section : ini.sections())
    for (const std::string& key : ini.keys(section)) {
      const auto value = ini.value(section, key);
      FUZZ_CHECK(value.has_value());
      values.emplace(std::make_pair(lower(section), lower(key)), *value);
    }
  return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput in(data, size);
  const std::string section = in.text(8);
  const std::string key = in.text(8);
  const std::string value = in.text(16);
  const std::string file = in.rest();
  // More lines than any settings file has are refused as unreadable.
  if (static_cast<std::size_t>(std::count(file.begin(), file.end(), '\n')) + 2 >=
      platform::IniFile::kMaxLines)
    return 0;

  testing_support::TempDir dir;
  const std::string path = (dir / "Kestrel.ini").string();
  testing_support::TempDir::write(path, file);

  platform::IniFile ini(path);
  const Values before = allValues(ini);
  for (const auto& [names, v] : before) {
    (void)v;
    FUZZ_CHECK(ini.sectionExists(names.first));
  }
  bool written = true;
  try {
    ini.writeString(section, key, value);
  } catch (const std::invalid_argument&) {
    written = false;
  }
  if (!written) return 0;
  ini.save();

  platform::IniFile reread(path);
  const auto back = reread.value(section, key);
  FUZZ_CHECK(back.has_value());
  // Values with blanks or quotes at their ends are written quoted, so every
  // value reads back as written.
  FUZZ_CHECK(*back == value);
  Values after = allValues(reread);
  Values expected = before;
  expected.erase(std::make_pair(lower(section), lower(key)));
  after.erase(std::make_pair(lower(section), lower(key)));
  FUZZ_CHECK(after == expected);
  return 0;
}
