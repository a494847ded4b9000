#pragma once
// The settings objects a port owns. Each keeps a pointer to its port and
// re-applies its group to an open device whenever a value changes. A copy is
// detached (belongs to no port, applies nothing), so a dialog can edit one
// and assign it back: assigning copies every value and applies the group once.
#include <cstdint>

#include "serial/ComTypes.h"

namespace serial {

class TCustomComPort;

class TComParity {
 public:
  TComParity() = default;
  explicit TComParity(TCustomComPort* port) : port_(port) {}
  TComParity(const TComParity& other);
  TComParity& operator=(const TComParity& other);

  TParityBits bits() const { return bits_; }
  void setBits(TParityBits v) { set(bits_, v); }
  // The driver checks the parity of received bytes and reports parity errors.
  bool check() const { return check_; }
  void setCheck(bool v) { set(check_, v); }
  // With check(): a byte with a parity error is replaced by replaceChar().
  bool replace() const { return replace_; }
  void setReplace(bool v) { set(replace_, v); }
  unsigned char replaceChar() const { return replaceChar_; }
  void setReplaceChar(unsigned char v) { set(replaceChar_, v); }

 private:
  template <typename T>
  void set(T& field, T value) {
    if (field == value) return;
    field = value;
    apply();
  }
  void apply();

  TCustomComPort* port_ = nullptr;
  TParityBits bits_ = prNone;
  bool check_ = false;
  bool replace_ = false;
  unsigned char replaceChar_ = 0;
};

class TComFlowControl {
 public:
  TComFlowControl() = default;
  explicit TComFlowControl(TCustomComPort* port) : port_(port) {}
  TComFlowControl(const TComFlowControl& other);
  TComFlowControl& operator=(const TComFlowControl& other);

  bool outCTSFlow() const { return outCTSFlow_; }
  void setOutCTSFlow(bool v) { set(outCTSFlow_, v); }
  bool outDSRFlow() const { return outDSRFlow_; }
  void setOutDSRFlow(bool v) { set(outDSRFlow_, v); }
  TDTRFlowControl controlDTR() const { return controlDTR_; }
  void setControlDTR(TDTRFlowControl v) { set(controlDTR_, v); }
  TRTSFlowControl controlRTS() const { return controlRTS_; }
  void setControlRTS(TRTSFlowControl v) { set(controlRTS_, v); }
  bool xonXoffOut() const { return xonXoffOut_; }
  void setXonXoffOut(bool v) { set(xonXoffOut_, v); }
  bool xonXoffIn() const { return xonXoffIn_; }
  void setXonXoffIn(bool v) { set(xonXoffIn_, v); }
  bool dsrSensitivity() const { return dsrSensitivity_; }
  void setDSRSensitivity(bool v) { set(dsrSensitivity_, v); }
  bool txContinueOnXoff() const { return txContinueOnXoff_; }
  void setTxContinueOnXoff(bool v) { set(txContinueOnXoff_, v); }
  unsigned char xonChar() const { return xonChar_; }
  void setXonChar(unsigned char v) { set(xonChar_, v); }
  unsigned char xoffChar() const { return xoffChar_; }
  void setXoffChar(unsigned char v) { set(xoffChar_, v); }

  // Computed from ControlRTS, OutCTSFlow and the two Xon/Xoff switches; not
  // stored. Writing it (fcCustom too) always re-applies the line settings.
  TFlowControl flowControl() const;
  void setFlowControl(TFlowControl v);

 private:
  template <typename T>
  void set(T& field, T value) {
    if (field == value) return;
    field = value;
    apply();
  }
  void apply();

  TCustomComPort* port_ = nullptr;
  bool outCTSFlow_ = false;
  bool outDSRFlow_ = false;
  TDTRFlowControl controlDTR_ = dtrDisable;
  TRTSFlowControl controlRTS_ = rtsDisable;
  bool xonXoffOut_ = false;
  bool xonXoffIn_ = false;
  bool dsrSensitivity_ = false;
  bool txContinueOnXoff_ = false;
  unsigned char xonChar_ = 17;
  unsigned char xoffChar_ = 19;
};

// Transfer timeouts in milliseconds; -1 is the largest value.
class TComTimeouts {
 public:
  TComTimeouts() = default;
  explicit TComTimeouts(TCustomComPort* port) : port_(port) {}
  TComTimeouts(const TComTimeouts& other);
  TComTimeouts& operator=(const TComTimeouts& other);

  std::int32_t readInterval() const { return readInterval_; }
  void setReadInterval(std::int32_t v) { set(readInterval_, v); }
  std::int32_t readTotalMultiplier() const { return readTotalMultiplier_; }
  void setReadTotalMultiplier(std::int32_t v) { set(readTotalMultiplier_, v); }
  std::int32_t readTotalConstant() const { return readTotalConstant_; }
  void setReadTotalConstant(std::int32_t v) { set(readTotalConstant_, v); }
  std::int32_t writeTotalMultiplier() const { return writeTotalMultiplier_; }
  void setWriteTotalMultiplier(std::int32_t v) { set(writeTotalMultiplier_, v); }
  std::int32_t writeTotalConstant() const { return writeTotalConstant_; }
  void setWriteTotalConstant(std::int32_t v) { set(writeTotalConstant_, v); }

 private:
  void set(std::int32_t& field, std::int32_t value);
  void apply();

  TCustomComPort* port_ = nullptr;
  std::int32_t readInterval_ = -1;
  std::int32_t readTotalMultiplier_ = 0;
  std::int32_t readTotalConstant_ = 0;
  std::int32_t writeTotalMultiplier_ = 100;
  std::int32_t writeTotalConstant_ = 1000;
};

// Queue sizes recommended to the driver. An odd positive size is stored less
// one.
class TComBuffer {
 public:
  TComBuffer() = default;
  explicit TComBuffer(TCustomComPort* port) : port_(port) {}
  TComBuffer(const TComBuffer& other);
  TComBuffer& operator=(const TComBuffer& other);

  std::int32_t inputSize() const { return inputSize_; }
  void setInputSize(std::int32_t v) { set(inputSize_, v); }
  std::int32_t outputSize() const { return outputSize_; }
  void setOutputSize(std::int32_t v) { set(outputSize_, v); }

 private:
  void set(std::int32_t& field, std::int32_t value);
  void apply();

  TCustomComPort* port_ = nullptr;
  std::int32_t inputSize_ = 1024;
  std::int32_t outputSize_ = 1024;
};

}  // namespace serial
