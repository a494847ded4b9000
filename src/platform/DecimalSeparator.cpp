#include "platform/DecimalSeparator.h"

#include <atomic>

#include "platform/Locale.h"

namespace platform {

namespace {

std::atomic<char> separator{'.'};

}  // namespace

char decimalSeparator() {
  return separator.load(std::memory_order_relaxed);
}

void setDecimalSeparator(char c) {
  separator.store(c, std::memory_order_relaxed);
}

void useLocaleDecimalSeparator() {
  setDecimalSeparator(localeDecimalSeparator());
}

}  // namespace platform
