#pragma once
// Layout arithmetic rounds as the system's Round does.
#include <cmath>

namespace app {

// The nearest integer, halves to the even neighbour.
inline int R(double x) {
  return static_cast<int>(std::nearbyint(x));
}

}  // namespace app
