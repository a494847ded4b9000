#include "serial/ComPort.h"

#include <cerrno>

#include "platform/IniFile.h"
#include "platform/PortNames.h"
#include "serial/ComThread.h"

namespace serial {

namespace {

platform::SerialStopBits toDevice(TStopBits v) {
  switch (v) {
    case sbOne5StopBits:
      return platform::SerialStopBits::OneAndHalf;
    case sbTwoStopBits:
      return platform::SerialStopBits::Two;
    default:
      return platform::SerialStopBits::One;
  }
}

platform::SerialParity toDevice(TParityBits v) {
  switch (v) {
    case prOdd:
      return platform::SerialParity::Odd;
    case prEven:
      return platform::SerialParity::Even;
    case prMark:
      return platform::SerialParity::Mark;
    case prSpace:
      return platform::SerialParity::Space;
    default:
      return platform::SerialParity::None;
  }
}

platform::SerialDtr toDevice(TDTRFlowControl v) {
  switch (v) {
    case dtrEnable:
      return platform::SerialDtr::On;
    case dtrHandshake:
      return platform::SerialDtr::Handshake;
    default:
      return platform::SerialDtr::Off;
  }
}

platform::SerialRts toDevice(TRTSFlowControl v) {
  switch (v) {
    case rtsEnable:
      return platform::SerialRts::On;
    case rtsHandshake:
      return platform::SerialRts::Handshake;
    case rtsToggle:
      return platform::SerialRts::Toggle;
    default:
      return platform::SerialRts::Off;
  }
}

}  // namespace

TCustomComPort::TCustomComPort(platform::EventLoop& loop, std::string name)
    : loop_(loop), name_(std::move(name)) {}

TCustomComPort::~TCustomComPort() {
  try {
    Disconnect();
  } catch (...) {
    // A destructor cannot report; what is left is released below.
  }
  if (threadCreated_) {
    StopEventThread();
    threadCreated_ = false;
  }
  device_.reset();
}

// --- Properties --------------------------------------------------------------

void TCustomComPort::setPort(const std::string& name) {
  if (name == port_) return;
  port_ = name;
  if (connected_ && !loading_) {
    Disconnect();
    Connect();
  }
}

void TCustomComPort::setBaudRate(TBaudRate v) {
  if (v == baudRate_) return;
  baudRate_ = v;
  ApplyLineSettings();
}

void TCustomComPort::setCustomBaudRate(std::int32_t v) {
  if (v == customBaudRate_) return;
  customBaudRate_ = v;
  ApplyLineSettings();
}

void TCustomComPort::setDataBits(TDataBits v) {
  if (v == dataBits_) return;
  dataBits_ = v;
  ApplyLineSettings();
}

void TCustomComPort::setStopBits(TStopBits v) {
  if (v == stopBits_) return;
  stopBits_ = v;
  ApplyLineSettings();
}

void TCustomComPort::setDiscardNull(bool v) {
  if (v == discardNull_) return;
  discardNull_ = v;
  ApplyLineSettings();
}

void TCustomComPort::setEventChar(unsigned char v) {
  if (v == eventChar_) return;
  eventChar_ = v;
  ApplyLineSettings();
}

void TCustomComPort::setSyncMethod(TSyncMethod v) {
  if (v == syncMethod_) return;
  // The event thread reads it at every dispatch; it cannot change under it.
  if (connected_) throw EComPort(CError_ConnChangeProp);
  syncMethod_ = v;
}

void TCustomComPort::setConnected(bool v) {
  if (loading_) {
    connectWhenLoaded_ = v;
    return;
  }
  if (v == connected_) return;
  if (v)
    Connect();
  else
    Disconnect();
}

std::string TCustomComPort::devicePath() const {
  return platform::serialDevicePath(port_, deviceMapFile_);
}

// --- Open and close -----------------------------------------------------------

void TCustomComPort::Connect() {
  if (connected_) return;
  deviceGone_ = false;
  DoBeforeOpen();
  OpenDevice();
  connected_ = true;
  try {
    ApplyAllSettings();
  } catch (...) {
    CloseDevice();
    connected_ = false;
    throw;
  }
  if (!events_.empty()) threadCreated_ = StartEventThread();
  DoAfterOpen();
  DoCTSChange(ModemLines().contains(csCTS));
  DoDSRChange(ModemLines().contains(csDSR));
  DoRLSDChange(ModemLines().contains(csRLSD));
}

void TCustomComPort::Disconnect() {
  if (!connected_) return;
  DoCTSChange(false);
  DoDSRChange(false);
  DoRLSDChange(false);
  DoBeforeClose();
  CancelTransfers();
  if (threadCreated_) {
    StopEventThread();
    threadCreated_ = false;
  }
  CloseDevice();
  connected_ = false;
  DoAfterClose();
}

void TCustomComPort::OpenDevice() {
  try {
    device_ = std::make_unique<platform::SerialDevice>(devicePath());
  } catch (const platform::SerialDeviceError& e) {
    throw EComPort(CError_OpenFailed, e.errorCode());
  } catch (const platform::IniFileError& e) {
    // The device map could not be read: open nothing rather than a guess.
    throw EComPort(CError_OpenFailed, e.errorCode() != 0 ? e.errorCode() : EIO);
  }
}

void TCustomComPort::CloseDevice() {
  device_.reset();
}

void TCustomComPort::CancelTransfers() {
  // Transfers run to their end on the calling thread, so none is pending
  // here; the event thread's wait is ended by StopEventThread.
}

bool TCustomComPort::StartEventThread() {
  // With smWindowSync the notification window exists before the thread that
  // posts to it; the thread takes Events as its mask before it runs.
  if (syncMethod_ == smWindowSync) notifyWindow_ = CreateNotificationWindow();
  const std::uint64_t generation = ++threadGeneration_;
  // The thread cannot close the port itself (Disconnect joins it): it hands
  // the close to the user-interface thread and ends.
  auto onLost = [this, life = std::weak_ptr<int>(life_), generation] {
    loop_.post([this, life, generation] {
      if (!life.expired()) DeviceLost(generation);
    });
  };
  thread_ = std::make_unique<TComThread>(*this, *device_, events_, notifyWindow_.get(), std::move(onLost));
  thread_->Start();
  return true;
}

void TCustomComPort::StopEventThread() {
  if (thread_ && (thread_->IsCurrentThread() || (syncMethod_ == smThreadSync && thread_->Delivering()))) {
    // A handler closing its own port while the thread waits for that very
    // handler: waiting here would never end. The thread takes the device
    // along and is joined once it has ended; the port is closed for us now.
    TComThread::Retire(std::move(thread_), std::move(device_));
  }
  if (thread_) {
    // Bytes read ahead and queued for the handlers reach them first, as a
    // hand-over that waits does.
    thread_->DeliverQueuedReceive();
  }
  if (thread_) {
    thread_->RequestStop();
    // Hand-overs still run meanwhile: a thread blocked in one finishes it
    // and then sees the stop.
    TComThread* thread = thread_.get();
    loop_.waitServingHandovers([thread] { return thread->Ended(); });
    thread_->Join();
    thread_.reset();
  }
  notifyWindow_.reset();
}

void TCustomComPort::DeviceLost(std::uint64_t generation) {
  if (generation != threadGeneration_ || !connected_ || !thread_) return;
  deviceGone_ = true;
  Disconnect();
}

void TCustomComPort::Loaded() {
  loading_ = false;
  if (!connectWhenLoaded_) return;
  connectWhenLoaded_ = false;
  loop_.dispatch([this] { Connect(); });
}

void TCustomComPort::EndBatch() {
  if (batchDepth_ < 1) return;
  if (--batchDepth_ == 0) ApplyAllSettings();
}

// --- Applying settings ----------------------------------------------------------

platform::SerialLineSettings TCustomComPort::LineSettings() const {
  platform::SerialLineSettings s;
  s.baudRate = baudRate_ == brCustom ? customBaudRate_ : BaudRateValue(baudRate_);
  s.dataBits = 5 + static_cast<int>(dataBits_);
  s.stopBits = toDevice(stopBits_);
  s.parity = toDevice(parity_.bits());
  s.parityCheck = parity_.check();
  s.parityReplace = parity_.check() && parity_.replace();
  s.replaceChar = s.parityReplace ? parity_.replaceChar() : 0;
  s.outCtsFlow = flowControl_.outCTSFlow();
  s.outDsrFlow = flowControl_.outDSRFlow();
  s.dtr = toDevice(flowControl_.controlDTR());
  s.rts = toDevice(flowControl_.controlRTS());
  s.dsrSensitivity = flowControl_.dsrSensitivity();
  s.txContinueOnXoff = flowControl_.txContinueOnXoff();
  s.xonXoffOut = flowControl_.xonXoffOut();
  s.xonXoffIn = flowControl_.xonXoffIn();
  s.xonChar = flowControl_.xonChar();
  s.xoffChar = flowControl_.xoffChar();
  s.discardNull = discardNull_;
  s.eventChar = eventChar_;
  s.xonLimit = s.xoffLimit = buffer_.inputSize() / 4;
  return s;
}

void TCustomComPort::ApplyAllSettings() {
  ApplyBufferSizes();
  ApplyLineSettings();
  ApplyTimeoutSettings();
}

void TCustomComPort::ApplyLineSettings() {
  if (!canApply()) return;
  // The event thread may be reading ahead, under settings that this changes.
  std::unique_lock<std::mutex> hold;
  if (thread_) hold = thread_->HoldDeviceReads();
  try {
    device_->applyLineSettings(LineSettings());
  } catch (const platform::SerialDeviceError& e) {
    throw EComPort(CError_SetStateFailed, e.errorCode());
  }
}

void TCustomComPort::ApplyTimeoutSettings() {
  if (!canApply()) return;
  platform::SerialTimeouts t;
  // -1 reaches the device as the largest unsigned 32-bit value.
  t.readInterval = static_cast<std::uint32_t>(timeouts_.readInterval());
  t.readTotalMultiplier = static_cast<std::uint32_t>(timeouts_.readTotalMultiplier());
  t.readTotalConstant = static_cast<std::uint32_t>(timeouts_.readTotalConstant());
  t.writeTotalMultiplier = static_cast<std::uint32_t>(timeouts_.writeTotalMultiplier());
  t.writeTotalConstant = static_cast<std::uint32_t>(timeouts_.writeTotalConstant());
  try {
    device_->setTimeouts(t);
  } catch (const platform::SerialDeviceError& e) {
    throw EComPort(CError_TimeoutsFailed, e.errorCode());
  }
}

void TCustomComPort::ApplyBufferSizes() {
  if (!canApply()) return;
  try {
    device_->setQueueSizes(buffer_.inputSize(), buffer_.outputSize());
  } catch (const platform::SerialDeviceError& e) {
    throw EComPort(CError_SetupComFailed, e.errorCode());
  }
}

// --- Line status ------------------------------------------------------------------

TComSignals TCustomComPort::ModemLines() {
  if (!device_) throw EComPort(CError_ModemStatFailed, EBADF);
  try {
    const platform::SerialModemLines lines = device_->modemLines();
    TComSignals s;
    if (lines.cts) s.insert(csCTS);
    if (lines.dsr) s.insert(csDSR);
    if (lines.ring) s.insert(csRing);
    if (lines.rlsd) s.insert(csRLSD);
    return s;
  } catch (const platform::SerialDeviceError& e) {
    throw EComPort(CError_ModemStatFailed, e.errorCode());
  }
}

int TCustomComPort::BytesWaiting() {
  if (!device_) throw EComPort(CError_ClearComFailed, EBADF);
  try {
    device_->takeLineErrors();  // the query clears the error flags, as the driver's does
    return device_->inputQueueCount() + (thread_ ? static_cast<int>(thread_->ReadAheadSize()) : 0);
  } catch (const platform::SerialDeviceError& e) {
    throw EComPort(CError_ClearComFailed, e.errorCode());
  }
}

TComErrors TCustomComPort::TakeLineErrors() {
  if (!device_) throw EComPort(CError_ClearComFailed, EBADF);
  try {
    const platform::SerialLineErrors e = device_->takeLineErrors();
    TComErrors errors;
    if (e.bufferOverrun) errors.insert(ceRxOver);
    if (e.overrun) errors.insert(ceOverrun);
    if (e.parity && parity_.check()) errors.insert(ceRxParity);
    if (e.frame) errors.insert(ceFrame);
    if (e.breakReceived) errors.insert(ceBreak);
    return errors;
  } catch (const platform::SerialDeviceError& e) {
    throw EComPort(CError_ClearComFailed, e.errorCode());
  }
}

// --- Event hooks ------------------------------------------------------------------

void TCustomComPort::DoAfterClose() {
  if (OnAfterClose) OnAfterClose(*this);
}
void TCustomComPort::DoAfterOpen() {
  if (OnAfterOpen) OnAfterOpen(*this);
}
void TCustomComPort::DoBeforeClose() {
  if (OnBeforeClose) OnBeforeClose(*this);
}
void TCustomComPort::DoBeforeOpen() {
  if (OnBeforeOpen) OnBeforeOpen(*this);
}
void TCustomComPort::DoRxChar(int Count) {
  if (OnRxChar) OnRxChar(*this, Count);
}
void TCustomComPort::DoRxBuf(const char* Buffer, int Count) {
  if (OnRxBuf) OnRxBuf(*this, Buffer, Count);
}
void TCustomComPort::DoTxEmpty() {
  if (OnTxEmpty) OnTxEmpty(*this);
}
void TCustomComPort::DoBreak() {
  if (OnBreak) OnBreak(*this);
}
void TCustomComPort::DoRing() {
  if (OnRing) OnRing(*this);
}
void TCustomComPort::DoRxFlag() {
  if (OnRxFlag) OnRxFlag(*this);
}
void TCustomComPort::DoCTSChange(bool OnOff) {
  if (OnCTSChange) OnCTSChange(*this, OnOff);
}
void TCustomComPort::DoDSRChange(bool OnOff) {
  if (OnDSRChange) OnDSRChange(*this, OnOff);
}
void TCustomComPort::DoError(TComErrors Errors) {
  if (OnError) OnError(*this, Errors);
}
void TCustomComPort::DoRLSDChange(bool OnOff) {
  if (OnRLSDChange) OnRLSDChange(*this, OnOff);
}
void TCustomComPort::DoRx80Full() {
  if (OnRx80Full) OnRx80Full(*this);
}

}  // namespace serial
