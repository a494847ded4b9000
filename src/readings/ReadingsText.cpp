#include "readings/ReadingsText.h"

#include <cstdio>
#include <ctime>

#include "platform/Cp1250.h"
#include "platform/LocalTime.h"

namespace readings {

using platform::pl;

ReadingFields FieldsOf(const ReadingLog& log, const Reading& r) {
  ReadingFields f;
  f.timeMs = r.timeMs;
  f.order = r.order;
  f.pass = r.pass;
  if (r.hasValue()) f.value = r.value;
  f.decimals = r.decimals;
  f.unit = log.unitName(r.unit);
  f.state = r.state;
  if (r.latencyMs >= 0) f.latencyMs = r.latencyMs;
  f.text = log.rawText(r);
  return f;
}

ReadingFields FieldsOf(const StoredReading& r) {
  ReadingFields f;
  f.timeMs = r.timeMs;
  f.order = r.order;
  f.pass = r.pass;
  f.value = r.value;
  f.decimals = r.decimals;
  f.unit = r.unit;
  f.state = r.state;
  f.latencyMs = r.latencyMs;
  f.text = r.text;
  return f;
}

const std::vector<std::string>& ColumnCaptions() {
  static const std::vector<std::string> captions{
      pl("Czas"),      pl("Rozkaz"), pl("Przebieg"),        pl("Wartość"),
      pl("Jednostka"), pl("Stan"),   pl("Opóźnienie [ms]"), pl("Tekst")};
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

std::string ValueText(const ReadingFields& r, char decimalSeparator) {
  if (!r.value) return {};
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", static_cast<int>(r.decimals > 15 ? 15 : r.decimals), *r.value);
  std::string s = text;
  for (char& c : s)
    if (c == '.') c = decimalSeparator;
  return s;
}

namespace {

std::string cell(const ReadingFields& r, int column, char decimalSeparator) {
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
      return r.value ? std::string(r.unit) : std::string();
    case 5:
      return StateText(r.state);
    case 6:
      return r.latencyMs ? std::to_string(*r.latencyMs) : std::string();
    case 7:
      return std::string(r.text);
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

std::string CellText(const ReadingFields& r, int column) {
  // The table shows the time of day; the date goes into the files.
  if (column == 0) return TimeText(r.timeMs).substr(11);
  return cell(r, column, kShownDecimalSeparator);
}

ReadingRows::ReadingRows(TextFlavour flavour, const char* rowEnd)
    : separator_(flavour == TextFlavour::CommaPoint ? ','
                 : flavour == TextFlavour::Tabs     ? '\t'
                                                    : ';'),
      decimal_(flavour == TextFlavour::CommaPoint ? '.' : ','),
      quoting_(flavour != TextFlavour::Tabs),
      rowEnd_(rowEnd     ? rowEnd
              : quoting_ ? "\r\n"
                         : "\n") {}

template <typename Field>
void ReadingRows::appendRow(std::string& out, Field&& field) const {
  for (int c = 0; c < static_cast<int>(ColumnCaptions().size()); ++c) {
    if (c) out.push_back(separator_);
    putField(out, field(c), separator_, quoting_);
  }
  out += rowEnd_;
}

void ReadingRows::appendTitle(std::string& out) const {
  appendRow(out, [](int c) { return ColumnCaptions()[static_cast<std::size_t>(c)]; });
}

void ReadingRows::append(std::string& out, const ReadingFields& r) const {
  appendRow(out, [&](int c) { return cell(r, c, decimal_); });
}

std::string ReadingsText(const ReadingLog& log, TextFlavour flavour, const std::vector<int>& rows) {
  const ReadingRows text(flavour);
  std::string out;
  text.appendTitle(out);
  auto putReading = [&](const Reading& r) { text.append(out, FieldsOf(log, r)); };
  // Readings that left memory are the journal's to give.
  if (rows.empty()) {
    for (std::size_t i = log.firstKept(); i < log.size(); ++i) putReading(log.at(i));
  } else {
    for (int i : rows)
      if (i >= 0 && static_cast<std::size_t>(i) >= log.firstKept() && static_cast<std::size_t>(i) < log.size())
        putReading(log.at(static_cast<std::size_t>(i)));
  }
  return out;
}

}  // namespace readings
