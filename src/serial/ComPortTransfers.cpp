// Transfers of the serial port. A transfer starts as a non-blocking read or
// write; what it could not move at once, AwaitTransfer moves while waiting
// for the device within the port's timeouts. A write that its total timeout ends
// returns short; under the default read timeouts a read returns at once with
// what the driver holds.
#include <cerrno>
#include <limits>

#include "serial/ComPort.h"
#include "serial/ComThread.h"

namespace serial {

namespace {

constexpr int kMaxTransfer = std::numeric_limits<int>::max();

int failureCode(const TransferRequest::Kind kind) {
  return kind == TransferRequest::Kind::Write ? CError_WriteFailed : CError_ReadFailed;
}

}  // namespace

EComPort TCustomComPort::TransferFailure(int messageCode, const platform::SerialDeviceError& e) {
  // A device unplugged or hung up fails its transfers so, before (or
  // without) the event thread closing the port.
  if (e.kind() == platform::SerialErrorKind::Gone || e.kind() == platform::SerialErrorKind::NotFound)
    deviceGone_ = true;
  return EComPort(messageCode, e.errorCode());
}

bool TCustomComPort::ReadsReturnAtOnce() const {
  return timeouts_.readInterval() == -1 && timeouts_.readTotalMultiplier() == 0 &&
         timeouts_.readTotalConstant() == 0;
}

int TCustomComPort::WriteText(const std::string& text) {
  TransferRequest request;
  if (text.empty()) return 0;
  const int count =
      text.size() > static_cast<std::size_t>(kMaxTransfer) ? kMaxTransfer : static_cast<int>(text.size());
  StartWrite(text.data(), count, &request);
  return AwaitTransfer(&request);
}

std::string TCustomComPort::ReadText(int count) {
  std::string text;
  if (count <= 0) return text;
  text.resize(static_cast<std::size_t>(count));
  text.resize(static_cast<std::size_t>(ReadBytes(text.data(), count)));
  return text;
}

int TCustomComPort::ReadBytes(char* buffer, int count) {
  TransferRequest request;
  if (count <= 0) return 0;
  // Bytes the event thread read ahead come first. Only a read that goes on
  // to the device holds the thread's reads (and takes what it read until
  // then): the thread keeps reading while a handler takes what it needs.
  auto takeAhead = [&](int from) {
    return thread_ ? static_cast<int>(thread_->TakeReadAhead(buffer + from, static_cast<std::size_t>(count - from)))
                   : 0;
  };
  int ahead = takeAhead(0);
  std::unique_lock<std::mutex> hold;
  if (ahead < count && thread_) {
    hold = thread_->HoldDeviceReads();
    ahead += takeAhead(ahead);
  }
  int done = ahead;
  if (ahead < count) {
    try {
      StartRead(buffer + ahead, count - ahead, &request);
      done += AwaitTransfer(&request);
    } catch (const EComPort&) {
      if (ahead == 0) throw;
    }
  }
  if (hold.owns_lock()) hold.unlock();
  if (thread_ && done > 0) thread_->NoteRead();
  // As at the end of every read: the queue is queried once more, which also
  // clears the driver's error flags. Bytes already taken from the driver are
  // not thrown away because that query failed.
  try {
    BytesWaiting();
  } catch (const EComPort&) {
    if (done == 0) throw;
  }
  return done;
}

bool TCustomComPort::BeginTransfer(TransferRequest* request, TransferRequest::Kind kind, const char* out,
                                   char* in, int count) {
  if (!request) throw EComPort(CError_InvalidAsync);
  request->kind_ = kind;
  request->out_ = out;
  request->in_ = in;
  request->size_ = count > 0 ? static_cast<std::size_t>(count) : 0;
  request->done_ = 0;
  request->completed_ = request->size_ == 0;
  if (request->completed_) return false;
  if (!device_) throw EComPort(failureCode(kind), EBADF);
  return true;
}

int TCustomComPort::StartWrite(const char* data, int count, TransferRequest* request) {
  if (!BeginTransfer(request, TransferRequest::Kind::Write, data, nullptr, count)) return 0;
  try {
    request->done_ = device_->writeSome(data, request->size_);
  } catch (const platform::SerialDeviceError& e) {
    request->completed_ = true;
    throw TransferFailure(CError_WriteFailed, e);
  }
  request->completed_ = request->done_ == request->size_;
  if (thread_ && request->done_ > 0) thread_->NoteWrite();
  return static_cast<int>(request->done_);
}

int TCustomComPort::StartRead(char* buffer, int count, TransferRequest* request) {
  if (!BeginTransfer(request, TransferRequest::Kind::Read, nullptr, buffer, count)) return 0;
  // Only a read that may not wait completes at once; any other waits in
  // AwaitTransfer, where the read timeouts are measured as a whole.
  if (!ReadsReturnAtOnce()) return 0;
  try {
    request->done_ = device_->read(buffer, request->size_);
  } catch (const platform::SerialDeviceError& e) {
    request->completed_ = true;
    throw TransferFailure(CError_ReadFailed, e);
  }
  request->completed_ = true;
  return static_cast<int>(request->done_);
}

int TCustomComPort::AwaitTransfer(TransferRequest* request) {
  if (!request) throw EComPort(CError_InvalidAsync);
  if (request->completed_) return static_cast<int>(request->done_);
  const TransferRequest::Kind kind = request->kind_;
  request->completed_ = true;  // whatever happens now, nothing stays pending
  if (!device_) throw EComPort(failureCode(kind), EBADF);
  try {
    const std::size_t left = request->size_ - request->done_;
    if (kind == TransferRequest::Kind::Write)
      request->done_ += device_->write(request->out_ + request->done_, left);
    else
      request->done_ += device_->read(request->in_ + request->done_, left);
  } catch (const platform::SerialDeviceError& e) {
    throw TransferFailure(failureCode(kind), e);
  }
  if (thread_ && kind == TransferRequest::Kind::Write) thread_->NoteWrite();
  return static_cast<int>(request->done_);
}

}  // namespace serial
