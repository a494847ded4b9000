#pragma once
// The settings objects a port owns. Each keeps a pointer to its port and
// re-applies its group to an open device whenever a value changes. A copy is
// detached (belongs to no port, applies nothing), so a dialog can edit one
// and assign it back: assigning copies every value and applies the group once.
// The values of a group are one plain struct, so a copy cannot miss one.
#include <cstdint>

#include "serial/ComTypes.h"

namespace serial {

class TCustomComPort;

// What the settings objects share: the values, the port they belong to, and
// the copying. Group supplies apply(), which re-applies the group to the port.
template <typename Group, typename Values>
class TComSettingsGroup {
 public:
  TComSettingsGroup() = default;
  explicit TComSettingsGroup(TCustomComPort* port) : port_(port) {}
  TComSettingsGroup(const TComSettingsGroup& other) : values_(other.values_) {}
  TComSettingsGroup& operator=(const TComSettingsGroup& other) {
    values_ = other.values_;
    static_cast<Group*>(this)->apply();
    return *this;
  }

 protected:
  template <typename T>
  void set(T& field, T value) {
    if (field == value) return;
    field = value;
    static_cast<Group*>(this)->apply();
  }
  TCustomComPort* port() const { return port_; }

  Values values_;

 private:
  TCustomComPort* port_ = nullptr;
};

struct TComParityValues {
  TParityBits bits = prNone;
  bool check = false;
  bool replace = false;
  unsigned char replaceChar = 0;
};

class TComParity : public TComSettingsGroup<TComParity, TComParityValues> {
 public:
  using TComSettingsGroup::TComSettingsGroup;

  TParityBits bits() const { return values_.bits; }
  void setBits(TParityBits v) { set(values_.bits, v); }
  // The driver checks the parity of received bytes and reports parity errors.
  bool check() const { return values_.check; }
  void setCheck(bool v) { set(values_.check, v); }
  // With check(): a byte with a parity error is replaced by replaceChar().
  bool replace() const { return values_.replace; }
  void setReplace(bool v) { set(values_.replace, v); }
  unsigned char replaceChar() const { return values_.replaceChar; }
  void setReplaceChar(unsigned char v) { set(values_.replaceChar, v); }

 private:
  friend TComSettingsGroup;
  void apply();
};

struct TComFlowControlValues {
  bool outCTSFlow = false;
  bool outDSRFlow = false;
  TDTRFlowControl controlDTR = dtrDisable;
  TRTSFlowControl controlRTS = rtsDisable;
  bool xonXoffOut = false;
  bool xonXoffIn = false;
  bool dsrSensitivity = false;
  bool txContinueOnXoff = false;
  unsigned char xonChar = 17;
  unsigned char xoffChar = 19;
};

class TComFlowControl : public TComSettingsGroup<TComFlowControl, TComFlowControlValues> {
 public:
  using TComSettingsGroup::TComSettingsGroup;

  bool outCTSFlow() const { return values_.outCTSFlow; }
  void setOutCTSFlow(bool v) { set(values_.outCTSFlow, v); }
  bool outDSRFlow() const { return values_.outDSRFlow; }
  void setOutDSRFlow(bool v) { set(values_.outDSRFlow, v); }
  TDTRFlowControl controlDTR() const { return values_.controlDTR; }
  void setControlDTR(TDTRFlowControl v) { set(values_.controlDTR, v); }
  TRTSFlowControl controlRTS() const { return values_.controlRTS; }
  void setControlRTS(TRTSFlowControl v) { set(values_.controlRTS, v); }
  bool xonXoffOut() const { return values_.xonXoffOut; }
  void setXonXoffOut(bool v) { set(values_.xonXoffOut, v); }
  bool xonXoffIn() const { return values_.xonXoffIn; }
  void setXonXoffIn(bool v) { set(values_.xonXoffIn, v); }
  bool dsrSensitivity() const { return values_.dsrSensitivity; }
  void setDSRSensitivity(bool v) { set(values_.dsrSensitivity, v); }
  bool txContinueOnXoff() const { return values_.txContinueOnXoff; }
  void setTxContinueOnXoff(bool v) { set(values_.txContinueOnXoff, v); }
  unsigned char xonChar() const { return values_.xonChar; }
  void setXonChar(unsigned char v) { set(values_.xonChar, v); }
  unsigned char xoffChar() const { return values_.xoffChar; }
  void setXoffChar(unsigned char v) { set(values_.xoffChar, v); }

  // Computed from ControlRTS, OutCTSFlow and the two Xon/Xoff switches; not
  // stored. Writing it (fcCustom too) always re-applies the line settings.
  TFlowControl flowControl() const;
  void setFlowControl(TFlowControl v);

 private:
  friend TComSettingsGroup;
  void apply();
};

struct TComTimeoutsValues {
  std::int32_t readInterval = -1;
  std::int32_t readTotalMultiplier = 0;
  std::int32_t readTotalConstant = 0;
  std::int32_t writeTotalMultiplier = 100;
  std::int32_t writeTotalConstant = 1000;
};

// Transfer timeouts in milliseconds; -1 is the largest value.
class TComTimeouts : public TComSettingsGroup<TComTimeouts, TComTimeoutsValues> {
 public:
  using TComSettingsGroup::TComSettingsGroup;

  std::int32_t readInterval() const { return values_.readInterval; }
  void setReadInterval(std::int32_t v) { set(values_.readInterval, v); }
  std::int32_t readTotalMultiplier() const { return values_.readTotalMultiplier; }
  void setReadTotalMultiplier(std::int32_t v) { set(values_.readTotalMultiplier, v); }
  std::int32_t readTotalConstant() const { return values_.readTotalConstant; }
  void setReadTotalConstant(std::int32_t v) { set(values_.readTotalConstant, v); }
  std::int32_t writeTotalMultiplier() const { return values_.writeTotalMultiplier; }
  void setWriteTotalMultiplier(std::int32_t v) { set(values_.writeTotalMultiplier, v); }
  std::int32_t writeTotalConstant() const { return values_.writeTotalConstant; }
  void setWriteTotalConstant(std::int32_t v) { set(values_.writeTotalConstant, v); }

 private:
  friend TComSettingsGroup;
  void apply();
};

struct TComBufferValues {
  std::int32_t inputSize = 1024;
  std::int32_t outputSize = 1024;
};

// Queue sizes recommended to the driver. An odd positive size is stored less
// one.
class TComBuffer : public TComSettingsGroup<TComBuffer, TComBufferValues> {
 public:
  using TComSettingsGroup::TComSettingsGroup;

  std::int32_t inputSize() const { return values_.inputSize; }
  void setInputSize(std::int32_t v) { set(values_.inputSize, even(v)); }
  std::int32_t outputSize() const { return values_.outputSize; }
  void setOutputSize(std::int32_t v) { set(values_.outputSize, even(v)); }

 private:
  friend TComSettingsGroup;
  // The driver wants even sizes.
  static std::int32_t even(std::int32_t v) { return v > 0 && v % 2 == 1 ? v - 1 : v; }
  void apply();
};

}  // namespace serial
