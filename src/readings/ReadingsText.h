#pragma once
// The readings as text for other programs: CSV files (RFC 4180 quoting, CR LF
// rows) in the flavour a Polish spreadsheet opens directly (";" and a decimal
// comma) or the international one ("," and a decimal point), and
// tab-separated rows for the clipboard. Texts are Windows-1250.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "readings/ReadingLog.h"

namespace readings {

enum class TextFlavour { SemicolonComma, CommaPoint, Tabs };

// The column captions, in the order of every row.
const std::vector<std::string>& ColumnCaptions();
// The decimal separator of the numbers the window shows: its table, its
// statistics and its plot.
inline constexpr char kShownDecimalSeparator = ',';
// One cell of a reading as the table shows it (decimal comma, the time of
// day without the date).
std::string CellText(const ReadingLog& log, const Reading& r, int column);
// The state's Polish name.
std::string StateText(State state);
// Local time with milliseconds: "2026-12-07 16:34:11.123".
std::string TimeText(std::int64_t timeMs);
// A value with as many decimals as the scale printed, with the separator.
std::string ValueText(const Reading& r, char decimalSeparator);

// A title row and the given readings (all of them when rows is empty).
std::string ReadingsText(const ReadingLog& log, TextFlavour flavour, const std::vector<int>& rows = {});

}  // namespace readings
