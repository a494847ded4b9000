#include "readings/ReadingsText.h"

#include <cstdio>
#include <ctime>

#include "platform/Cp1250.h"
#include "platform/LocalTime.h"

namespace readings {

using platform::pl;

const std::vector<std::string>& ColumnCaptions() {
  static const std::vector<std::string> captions{pl("Czas"),      pl("Rozkaz"), pl("Przebieg"), pl("Wartość"),
                                                 pl("Jednostka"), pl("Stan"),   pl("Tekst")};
  return captions;
}

std::string StateText(State state) {
  switch (state) {
    case State::Stable:
      return pl("stabilny");
    case State::Unstable:
      return pl("niestabilny");
    case State::Overload:
      return pl("przeciążenie");
    case State::Underload:
      return pl("niedociążenie");
    case State::Unknown:
      break;
  }
  return pl("nieczytelny");
}

std::string TimeText(std::int64_t timeMs) {
  const std::time_t t = static_cast<std::time_t>(timeMs / 1000);
  const std::tm local = platform::localTime(t);
  char text[40];
  const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  std::snprintf(text + n, sizeof text - n, ".%03d", static_cast<int>(timeMs % 1000));
  return text;
}

std::string ValueText(const Reading& r, char decimalSeparator) {
  if (!r.hasValue()) return {};
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", static_cast<int>(r.decimals > 15 ? 15 : r.decimals), r.value);
  std::string s = text;
  for (char& c : s)
    if (c == '.') c = decimalSeparator;
  return s;
}

namespace {

std::string cell(const ReadingLog& log, const Reading& r, int column, char decimalSeparator) {
  switch (column) {
    case 0:
      return TimeText(r.timeMs);
    case 1:
      return r.order ? std::to_string(r.order) : std::string();
    case 2:
      return r.order ? std::to_string(r.pass) : std::string();
    case 3:
      return ValueText(r, decimalSeparator);
    case 4:
      return r.hasValue() ? log.unitName(r.unit) : std::string();
    case 5:
      return StateText(r.state);
    case 6:
      return std::string(log.rawText(r));
  }
  return {};
}

// RFC 4180: a field with the separator, a quote or a line break is quoted,
// its quotes doubled. A tab-separated row has no quoting: tabs and line
// breaks inside a field become spaces.
void putField(std::string& out, const std::string& field, char separator, bool quoting) {
  if (!quoting) {
    for (char c : field) out.push_back(c == '\t' || c == '\r' || c == '\n' ? ' ' : c);
    return;
  }
  if (field.find_first_of(std::string{separator, '"', '\r', '\n'}) == std::string::npos) {
    out += field;
    return;
  }
  out.push_back('"');
  for (char c : field) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
}

}  // namespace

std::string CellText(const ReadingLog& log, const Reading& r, int column) {
  // The table shows the time of day; the date goes into the files.
  if (column == 0) return TimeText(r.timeMs).substr(11);
  return cell(log, r, column, kShownDecimalSeparator);
}

std::string ReadingsText(const ReadingLog& log, TextFlavour flavour, const std::vector<int>& rows) {
  const char separator = flavour == TextFlavour::CommaPoint ? ',' : flavour == TextFlavour::Tabs ? '\t' : ';';
  const char decimal = flavour == TextFlavour::CommaPoint ? '.' : ',';
  const bool quoting = flavour != TextFlavour::Tabs;
  const char* rowEnd = quoting ? "\r\n" : "\n";
  std::string out;
  auto putRow = [&](auto&& field) {
    for (int c = 0; c < static_cast<int>(ColumnCaptions().size()); ++c) {
      if (c) out.push_back(separator);
      putField(out, field(c), separator, quoting);
    }
    out += rowEnd;
  };
  putRow([](int c) { return ColumnCaptions()[static_cast<std::size_t>(c)]; });
  auto putReading = [&](const Reading& r) { putRow([&](int c) { return cell(log, r, c, decimal); }); };
  if (rows.empty()) {
    for (std::size_t i = 0; i < log.size(); ++i) putReading(log.at(i));
  } else {
    for (int i : rows)
      if (i >= 0 && static_cast<std::size_t>(i) < log.size()) putReading(log.at(static_cast<std::size_t>(i)));
  }
  return out;
}

}  // namespace readings
