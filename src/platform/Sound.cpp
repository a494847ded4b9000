#include "platform/Sound.h"

#include <utility>

namespace platform {

namespace {

std::function<void()>& beepFunction() {
  static std::function<void()> beep;
  return beep;
}

}  // namespace

void Beep() {
  if (beepFunction()) beepFunction()();
}

void SetBeep(std::function<void()> beep) {
  beepFunction() = std::move(beep);
}

}  // namespace platform
