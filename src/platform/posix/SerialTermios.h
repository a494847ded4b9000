#pragma once
// The termios side of the serial device, apart so that <termios.h> and its
// macros reach only the files that need them.
#include <termios.h>

#include "platform/SerialDevice.h"

namespace platform {

// The termios that carries out `settings`, starting from `base` (the device's
// current termios): raw mode, framing, parity, flow control, special
// characters. The speed is not part of it (see SerialDevice::applyLineSettings).
termios termiosFor(const SerialLineSettings& settings, const termios& base);

}  // namespace platform
