#pragma once
// Two connected descriptors that an event loop can watch: a pipe on POSIX, a
// loopback TCP connection on Windows (where the loops watch sockets).
#include <string>
#include <string_view>

namespace testing_support {

class DescriptorPair {
 public:
  DescriptorPair();
  ~DescriptorPair();
  DescriptorPair(const DescriptorPair&) = delete;
  DescriptorPair& operator=(const DescriptorPair&) = delete;

  int readEnd() const { return ends_[0]; }
  int writeEnd() const { return ends_[1]; }
  // All of bytes, or false.
  bool write(std::string_view bytes);
  // What waits at the read end (a few bytes at most).
  std::string read();

 private:
  int ends_[2] = {-1, -1};
};

}  // namespace testing_support
