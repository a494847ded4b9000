// The automatic measurement's reading of an order row's cells: the time and
// unit give a timer interval in range or a conversion error, never anything
// else; the speed cell gives one of the port's speeds; the countdown text and
// the capture file's folder are well formed for any counts and names.
#include <cmath>
#include <string>

#include "FuzzInput.h"
#include "automatic/DecimalNumbers.h"
#include "automatic/Sequencer.h"
#include "platform/WholeNumbers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput in(data, size);
  automatic::setDecimalSeparator(in.flag() ? ',' : '.');
  const std::string time = in.text(24);
  const std::string unit = in.text(3);
  const std::string speed = in.text(10);
  std::int32_t counts[3] = {};
  for (std::int32_t& c : counts) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | in.byte();
    c = static_cast<std::int32_t>(v);
  }
  const std::string name = in.rest();

  double value = 0;
  const bool number = automatic::tryParseDecimal(time, value);
  try {
    const int ms = automatic::OrderInterval(time, unit);
    FUZZ_CHECK(number);
    FUZZ_CHECK(ms >= 0);
    const double scale = unit == "m" ? 60000.0 : unit == "h" ? 3600000.0 : 1000.0;
    FUZZ_CHECK(std::fabs(ms - value * scale) <= 0.5 + 1e-9 * value * scale);
    const std::int32_t seconds = automatic::IntervalSeconds(ms);
    FUZZ_CHECK(seconds >= 0 && std::abs(seconds * 1000.0 - ms) <= 500.0);
  } catch (const platform::ConversionError&) {
    // A time that is no number, negative or too long: the order is refused.
  }

  const serial::TBaudRate rate = automatic::OrderSpeed(speed);
  FUZZ_CHECK(rate > serial::brCustom && static_cast<int>(rate) < serial::kBaudRateCount);

  const std::string text = automatic::CountdownText(counts[0], counts[1], counts[2]);
  FUZZ_CHECK(text.find(" s (Odpowiedzi: " + std::to_string(counts[1]) + " / " + std::to_string(counts[2]) +
                       " )") != std::string::npos);
  if (counts[0] <= 0) FUZZ_CHECK(text.find(": 0 s (") != std::string::npos);

  const std::string folder = automatic::FolderPart(name);
  FUZZ_CHECK(name.compare(0, folder.size(), folder) == 0);
  if (!folder.empty()) FUZZ_CHECK(folder.back() == '\\' || folder.back() == ':' || folder.back() == '/');
  FUZZ_CHECK(name.find_first_of("\\:/", folder.size()) == std::string::npos);
  return 0;
}
