#pragma once
// The state of one waitable transfer of the serial port: started without
// waiting (StartWrite, StartRead) and finished by AwaitTransfer. On POSIX a
// transfer starts as a non-blocking read or write; what it could not move at
// once is moved by AwaitTransfer, waiting for the device as the port's
// timeouts allow.
#include <cstddef>

namespace serial {

class TransferRequest {
 public:
  enum class Kind { None, Write, Read };

  TransferRequest() = default;
  TransferRequest(const TransferRequest&) = delete;
  TransferRequest& operator=(const TransferRequest&) = delete;

  Kind kind() const { return kind_; }
  // Bytes moved so far.
  std::size_t done() const { return done_; }
  // Nothing is left to wait for (also true when no transfer was started).
  bool completed() const { return completed_; }

 private:
  friend class TCustomComPort;

  Kind kind_ = Kind::None;
  const char* out_ = nullptr;
  char* in_ = nullptr;
  std::size_t size_ = 0;
  std::size_t done_ = 0;
  bool completed_ = true;
};

}  // namespace serial
