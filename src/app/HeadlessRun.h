#pragma once
// A run without a window (`terso --run ORDERS`): the main window's forms and
// sequencer, exactly as Ctrl+A runs them, on the system's own loop, with the
// settings of the window's folder (read, never written), the readings as CSV
// rows and the run's captions as lines on the console.
#include <string>

#include "headless/CommandLine.h"

namespace app {

// Exit codes.
inline constexpr int kRunEnded = 0;
inline constexpr int kRunStopped = 1;
inline constexpr int kWrongCommandLine = 2;

// Acts on a command line other than the window's: prints the help, the
// version or why it was refused, or runs the orders file. Returns the exit
// code. program is the name the messages begin with.
int Execute(const headless::CommandLine& line, const std::string& program);

}  // namespace app
