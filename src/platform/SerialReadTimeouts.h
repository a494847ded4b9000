#pragma once
// The read timeouts of a serial device, carried out the same way on every
// system over a read that never waits and a wait for input.
#include <chrono>
#include <cstddef>
#include <functional>

#include "platform/SerialDevice.h"

namespace platform {

using SerialClock = std::chrono::steady_clock;

// Reads up to size bytes into buffer as the timeouts say and returns how many
// came. readSome(at, n) reads without waiting into buffer + at; waitInput
// waits until input is there or the deadline (null: none) passes, false then.
std::size_t readWithTimeouts(const SerialTimeouts& timeouts, char* buffer, std::size_t size,
                             const std::function<std::size_t(char*, std::size_t)>& readSome,
                             const std::function<bool(const SerialClock::time_point*)>& waitInput);

}  // namespace platform
