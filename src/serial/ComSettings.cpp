#include "serial/ComSettings.h"

#include "serial/ComPort.h"

namespace serial {

// --- TComParity -------------------------------------------------------------

TComParity::TComParity(const TComParity& other)
    : bits_(other.bits_), check_(other.check_), replace_(other.replace_), replaceChar_(other.replaceChar_) {}

TComParity& TComParity::operator=(const TComParity& other) {
  bits_ = other.bits_;
  check_ = other.check_;
  replace_ = other.replace_;
  replaceChar_ = other.replaceChar_;
  apply();
  return *this;
}

void TComParity::apply() {
  if (port_) port_->ApplyLineSettings();
}

// --- TComFlowControl --------------------------------------------------------

TComFlowControl::TComFlowControl(const TComFlowControl& other)
    : outCTSFlow_(other.outCTSFlow_),
      outDSRFlow_(other.outDSRFlow_),
      controlDTR_(other.controlDTR_),
      controlRTS_(other.controlRTS_),
      xonXoffOut_(other.xonXoffOut_),
      xonXoffIn_(other.xonXoffIn_),
      dsrSensitivity_(other.dsrSensitivity_),
      txContinueOnXoff_(other.txContinueOnXoff_),
      xonChar_(other.xonChar_),
      xoffChar_(other.xoffChar_) {}

TComFlowControl& TComFlowControl::operator=(const TComFlowControl& other) {
  outCTSFlow_ = other.outCTSFlow_;
  outDSRFlow_ = other.outDSRFlow_;
  controlDTR_ = other.controlDTR_;
  controlRTS_ = other.controlRTS_;
  xonXoffOut_ = other.xonXoffOut_;
  xonXoffIn_ = other.xonXoffIn_;
  dsrSensitivity_ = other.dsrSensitivity_;
  txContinueOnXoff_ = other.txContinueOnXoff_;
  xonChar_ = other.xonChar_;
  xoffChar_ = other.xoffChar_;
  apply();
  return *this;
}

TFlowControl TComFlowControl::flowControl() const {
  if (controlRTS_ == rtsHandshake && outCTSFlow_ && !xonXoffIn_ && !xonXoffOut_) return fcHardware;
  if (controlRTS_ == rtsDisable && !outCTSFlow_ && xonXoffIn_ && xonXoffOut_) return fcSoftware;
  if (controlRTS_ == rtsDisable && !outCTSFlow_ && !xonXoffIn_ && !xonXoffOut_) return fcNone;
  return fcCustom;
}

void TComFlowControl::setFlowControl(TFlowControl v) {
  if (v != fcCustom) {
    controlRTS_ = rtsDisable;
    outCTSFlow_ = false;
    xonXoffIn_ = false;
    xonXoffOut_ = false;
    if (v == fcHardware) {
      controlRTS_ = rtsHandshake;
      outCTSFlow_ = true;
    } else if (v == fcSoftware) {
      xonXoffIn_ = true;
      xonXoffOut_ = true;
    }
  }
  apply();  // always, even when nothing changed
}

void TComFlowControl::apply() {
  if (port_) port_->ApplyLineSettings();
}

// --- TComTimeouts -----------------------------------------------------------

TComTimeouts::TComTimeouts(const TComTimeouts& other)
    : readInterval_(other.readInterval_),
      readTotalMultiplier_(other.readTotalMultiplier_),
      readTotalConstant_(other.readTotalConstant_),
      writeTotalMultiplier_(other.writeTotalMultiplier_),
      writeTotalConstant_(other.writeTotalConstant_) {}

TComTimeouts& TComTimeouts::operator=(const TComTimeouts& other) {
  readInterval_ = other.readInterval_;
  readTotalMultiplier_ = other.readTotalMultiplier_;
  readTotalConstant_ = other.readTotalConstant_;
  writeTotalMultiplier_ = other.writeTotalMultiplier_;
  writeTotalConstant_ = other.writeTotalConstant_;
  apply();
  return *this;
}

void TComTimeouts::set(std::int32_t& field, std::int32_t value) {
  if (field == value) return;
  field = value;
  apply();
}

void TComTimeouts::apply() {
  if (port_) port_->ApplyTimeoutSettings();
}

// --- TComBuffer -------------------------------------------------------------

TComBuffer::TComBuffer(const TComBuffer& other)
    : inputSize_(other.inputSize_), outputSize_(other.outputSize_) {}

TComBuffer& TComBuffer::operator=(const TComBuffer& other) {
  inputSize_ = other.inputSize_;
  outputSize_ = other.outputSize_;
  apply();
  return *this;
}

void TComBuffer::set(std::int32_t& field, std::int32_t value) {
  if (value > 0 && value % 2 == 1) --value;  // the driver wants even sizes
  if (field == value) return;
  field = value;
  apply();
}

void TComBuffer::apply() {
  if (port_) port_->ApplyBufferSizes();
}

}  // namespace serial
