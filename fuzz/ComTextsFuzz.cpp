// The text forms of the serial settings: any text reads as some setting, and
// that setting's text reads back as the same setting; numbers read back from
// their decimal form.
#include <string>

#include "FuzzInput.h"
#include "serial/ComTexts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace serial;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  FUZZ_CHECK(BaudRateFromText(BaudRateText(BaudRateFromText(text))) == BaudRateFromText(text));
  FUZZ_CHECK(StopBitsFromText(StopBitsText(StopBitsFromText(text))) == StopBitsFromText(text));
  FUZZ_CHECK(DataBitsFromText(DataBitsText(DataBitsFromText(text))) == DataBitsFromText(text));
  FUZZ_CHECK(ParityFromText(ParityText(ParityFromText(text))) == ParityFromText(text));
  FUZZ_CHECK(FlowControlFromText(FlowControlText(FlowControlFromText(text))) == FlowControlFromText(text));
  FUZZ_CHECK(RTSControlFromText(RTSControlText(RTSControlFromText(text))) == RTSControlFromText(text));
  FUZZ_CHECK(DTRControlFromText(DTRControlText(DTRControlFromText(text))) == DTRControlFromText(text));
  FUZZ_CHECK(YesNoFromText(YesNoText(YesNoFromText(text))) == YesNoFromText(text));

  const unsigned char c = CharFromText(text);
  FUZZ_CHECK(CharFromText(CharText(c)) == c);
  if (const auto n = IntegerFromText(text)) FUZZ_CHECK(IntegerFromText(std::to_string(*n)) == n);
  return 0;
}
