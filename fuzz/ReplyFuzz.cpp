// Reply rows of any bytes: the reader gives a finite value or none, a short
// unit of letters, and a state that fits; the row goes into the log and out
// as CSV, which reads back to one row per reading with the row's text.
#include <cmath>
#include <string>

#include "FuzzInput.h"
#include "readings/ReadingsText.h"
#include "support/Csv.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string row(reinterpret_cast<const char*>(data), size);
  const readings::ReplyValue v = readings::ReadReply(row);
  FUZZ_CHECK(!v.hasValue || std::isfinite(v.value));
  FUZZ_CHECK(v.unitText().size() <= readings::kMaxUnit);
  for (char c : v.unitText()) FUZZ_CHECK(static_cast<unsigned char>(c) > ' ');
  if (!v.hasValue)
    FUZZ_CHECK(v.state == readings::State::Unknown || v.state == readings::State::Overload ||
               v.state == readings::State::Underload);
  FUZZ_CHECK(!v.hasValue || v.state != readings::State::Unknown);

  readings::ReadingLog log;
  log.rowCounted(row, false, 0);
  const auto rows =
      testing_support::parseCsv(readings::ReadingsText(log, readings::TextFlavour::SemicolonComma), ';');
  FUZZ_CHECK(rows.size() == 2);
  FUZZ_CHECK(rows[1].size() == readings::ColumnCaptions().size());
  FUZZ_CHECK(rows[1].back() == log.rawText(log.at(0)));  // the text is the last column
  return 0;
}
