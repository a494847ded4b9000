#pragma once
// The program's process-wide values back to those of a fresh start, for
// tests that build many main windows in one process.
#include "automatic/DecimalNumbers.h"

namespace testing_support {

inline void ResetProgramValues() {
  automatic::setDecimalSeparator('.');
}

}  // namespace testing_support
