#pragma once
// The console of a run without a window: the readings' stream and the lines
// for the operator on standard error, Windows-1250 texts written as UTF-8.
#include <cstdio>
#include <string>
#include <string_view>

namespace headless {

class Console {
 public:
  Console(std::FILE* err, bool quiet) : err_(err), quiet_(quiet) {}

  // A progress line; left out when quiet, and when it says what the line
  // before it said.
  void progress(std::string_view cp1250);
  // A line the operator must see (a message, a failure), quiet or not.
  void tell(std::string_view cp1250);
  // Bytes as they are (the terminal's bell).
  void raw(std::string_view bytes);

 private:
  std::FILE* err_;
  bool quiet_;
  std::string last_;
};

}  // namespace headless
