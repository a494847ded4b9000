#pragma once
// The readings as text for other programs: CSV files (RFC 4180 quoting, CR LF
// rows) in the flavour a Polish spreadsheet opens directly (";" and a decimal
// comma) or the international one ("," and a decimal point), and
// tab-separated rows for the clipboard. Texts are Windows-1250.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "readings/ReadingLog.h"
#include "readings/StoredReading.h"

namespace readings {

enum class TextFlavour { SemicolonComma, CommaPoint, Tabs };

// One reading as its cells are written, whether it comes from the window's
// log or from the journal. The texts are borrowed.
struct ReadingFields {
  std::int64_t timeMs = 0;
  std::int16_t order = 0;
  std::int32_t pass = 0;
  std::optional<double> value;
  std::uint8_t decimals = 0;
  std::string_view unit;
  State state = State::Unknown;
  std::optional<std::int32_t> latencyMs;
  std::string_view text;
};
ReadingFields FieldsOf(const ReadingLog& log, const Reading& r);
ReadingFields FieldsOf(const StoredReading& r);

// The column captions, in the order of every row.
const std::vector<std::string>& ColumnCaptions();
// The decimal separator of the numbers the window shows: its table, its
// statistics and its plot.
inline constexpr char kShownDecimalSeparator = ',';
// One cell of a reading as the table shows it (decimal comma, the time of
// day without the date).
std::string CellText(const ReadingFields& r, int column);
// The state's Polish name.
std::string StateText(State state);
// Local time with milliseconds: "2026-12-07 16:34:11.123".
std::string TimeText(std::int64_t timeMs);
// A value with as many decimals as the scale printed, with the separator.
std::string ValueText(const ReadingFields& r, char decimalSeparator);

// Rows of text in one flavour, appended to `out`: the title row, then one
// row per reading. A caller that streams takes `out` away now and then.
class ReadingRows {
 public:
  // Rows end as the flavour's files do (CR LF for CSV), or with rowEnd: a
  // stream for line-reading tools takes "\n".
  explicit ReadingRows(TextFlavour flavour, const char* rowEnd = nullptr);
  void appendTitle(std::string& out) const;
  void append(std::string& out, const ReadingFields& r) const;

 private:
  template <typename Field>
  void appendRow(std::string& out, Field&& field) const;

  char separator_;
  char decimal_;
  bool quoting_;
  const char* rowEnd_;
};

// A title row and the given readings still in the log's memory (all of
// them when rows is empty).
std::string ReadingsText(const ReadingLog& log, TextFlavour flavour, const std::vector<int>& rows = {});

}  // namespace readings
