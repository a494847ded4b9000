#include "serial/ComSettings.h"

#include "serial/ComPort.h"

namespace serial {

void TComParity::apply() {
  if (port()) port()->ApplyLineSettings();
}

TFlowControl TComFlowControl::flowControl() const {
  const TComFlowControlValues& v = values_;
  if (v.controlRTS == rtsHandshake && v.outCTSFlow && !v.xonXoffIn && !v.xonXoffOut) return fcHardware;
  if (v.controlRTS == rtsDisable && !v.outCTSFlow && v.xonXoffIn && v.xonXoffOut) return fcSoftware;
  if (v.controlRTS == rtsDisable && !v.outCTSFlow && !v.xonXoffIn && !v.xonXoffOut) return fcNone;
  return fcCustom;
}

void TComFlowControl::setFlowControl(TFlowControl v) {
  if (v != fcCustom) {
    values_.controlRTS = v == fcHardware ? rtsHandshake : rtsDisable;
    values_.outCTSFlow = v == fcHardware;
    values_.xonXoffIn = values_.xonXoffOut = v == fcSoftware;
  }
  apply();  // always, even when nothing changed
}

void TComFlowControl::apply() {
  if (port()) port()->ApplyLineSettings();
}

void TComTimeouts::apply() {
  if (port()) port()->ApplyTimeoutSettings();
}

void TComBuffer::apply() {
  if (port()) port()->ApplyBufferSizes();
}

}  // namespace serial
