#pragma once
// The text forms of the serial port's settings, as the ini file stores them
// and the setup dialog lists them. Conversions from text ignore letter case;
// a text that matches no entry gives the conversion's fallback.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "serial/ComTypes.h"

namespace serial {

// "Custom", "110", ..., "256000"; a value outside the enumeration gives "".
std::string BaudRateText(TBaudRate v);
// Fallback br9600.
TBaudRate BaudRateFromText(std::string_view text);

// "1", "1.5", "2"; fallback sbOneStopBit.
std::string StopBitsText(TStopBits v);
TStopBits StopBitsFromText(std::string_view text);

// "5" to "8"; fallback dbEight.
std::string DataBitsText(TDataBits v);
TDataBits DataBitsFromText(std::string_view text);

// "None", "Odd", "Even", "Mark", "Space"; fallback prNone.
std::string ParityText(TParityBits v);
TParityBits ParityFromText(std::string_view text);

// "Hardware", "Software", "None", "Custom"; fallback fcCustom, which changes
// no flow setting when written.
std::string FlowControlText(TFlowControl v);
TFlowControl FlowControlFromText(std::string_view text);

// "Disable", "Enable", "Handshake", "Toggle"; fallback rtsDisable.
std::string RTSControlText(TRTSFlowControl v);
TRTSFlowControl RTSControlFromText(std::string_view text);

// "Disable", "Enable", "Handshake"; fallback dtrDisable.
std::string DTRControlText(TDTRFlowControl v);
TDTRFlowControl DTRControlFromText(std::string_view text);

// A byte from 33 to 127 as that character, any other as "#" and its decimal
// code ("#13").
std::string CharText(unsigned char c);
// "" gives 0; "#" and an integer gives the integer's low 8 bits (0 when the
// rest is no integer); anything else the code of its first character, so "#"
// alone gives 35.
unsigned char CharFromText(std::string_view text);

// "Yes" or "No"; only "yes" in any letter case reads as true.
std::string YesNoText(bool v);
bool YesNoFromText(std::string_view text);

// A whole number in decimal, or hexadecimal after "0x" or "0X" (up to 32 bits,
// so 0xFFFFFFFF is -1), with an optional sign; nothing when the text is no
// such number or does not fit 32 bits.
std::optional<std::int32_t> IntegerFromText(std::string_view text);

}  // namespace serial
