#pragma once
// The automatic measurement's own values and the rules by which it reads an
// order row: the time of an order, the serial speed it names, the countdown
// text and the folder part of a capture file name. The handlers themselves
// belong to the main window (Sequencer.cpp).
#include <cstdint>
#include <string>

#include "serial/ComTypes.h"

namespace app {

// Passes of the current repeat stretch still to start; -1 when no repeat is
// under way. One counter for the whole list.
extern std::int32_t RepeatCounter;

}  // namespace app

namespace automatic {

// The time of an order in ms: "Czas" as a decimal number times 60 000 for
// "m", 3 600 000 for "h", 1000 for anything else, rounded to the nearest
// integer, halves to even. A time that is no decimal number, negative, or
// beyond the timer's range raises app::EConvertError.
int OrderInterval(const std::string& time, const std::string& unit);

// The serial speed an order names in "Prędk./Port"; 4800 for anything that
// is not one of the speeds the port offers.
serial::TBaudRate OrderSpeed(const std::string& speed);

// Whole seconds of an interval in ms, rounded to the nearest, halves to even.
std::int32_t IntervalSeconds(int intervalMs);

// "Kolejny pomiar za: 1 h 2 min 5 s (Odpowiedzi: 3 / 4 )"; a negative
// number of seconds shows as 0 s.
std::string CountdownText(std::int32_t seconds, std::int32_t replies, std::int32_t sent);

// The folder part of a file name: up to and including its last "\", ":" or
// "/"; empty when it has none.
std::string FolderPart(const std::string& name);

}  // namespace automatic
