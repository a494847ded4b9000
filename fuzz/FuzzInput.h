#pragma once
// Helpers shared by the fuzz targets: a property check that stops the run
// with a message, and a reader that takes choices off the front of the input.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#define FUZZ_CHECK(condition)                                                               \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                         \
    }                                                                                       \
  } while (0)

namespace fuzz {

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}

  // One byte (0 once the input is used up).
  std::uint8_t byte() {
    if (rest_.empty()) return 0;
    const auto b = static_cast<std::uint8_t>(rest_.front());
    rest_.remove_prefix(1);
    return b;
  }
  bool flag() { return byte() & 1; }
  // A text whose length is given by the byte before it, at most `max`.
  std::string text(std::size_t max) {
    std::size_t n = byte() % (max + 1);
    n = std::min(n, rest_.size());
    std::string s(rest_.substr(0, n));
    rest_.remove_prefix(n);
    return s;
  }
  std::string rest() {
    std::string s(rest_);
    rest_ = {};
    return s;
  }
  bool empty() const { return rest_.empty(); }

 private:
  std::string_view rest_;
};

}  // namespace fuzz
