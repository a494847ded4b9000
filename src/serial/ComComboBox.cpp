#include "serial/ComComboBox.h"

#include "platform/AsciiText.h"
#include "platform/Cp1250.h"
#include "platform/SerialPortList.h"
#include "serial/ComPort.h"
#include "serial/ComTexts.h"
#include "serial/EComPort.h"

namespace serial {

void ListSerialPorts(std::vector<std::string>& list, const std::string& deviceMapFile,
                     const std::string& root) {
  try {
    list = platform::ListSerialPorts(root, deviceMapFile);
  } catch (const platform::SerialPortListError& e) {
    throw EComPort(CError_RegError, e.errorCode());
  }
}

std::string PortListText(const std::string& name, const std::string& description) {
  if (description.empty()) return name;
  const std::string text = platform::utf8ToCp1250(description);
  return text.find("(" + name + ")") == std::string::npos ? text + " (" + name + ")" : text;
}

void TComComboBox::setComPort(TCustomComPort* port) {
  if (port == select_.ComPort) return;
  select_.ComPort = port;
  if (port) {
    ShowPortSetting();
  } else if (!items().empty()) {
    setItemIndex(0);
  }
}

void TComComboBox::setComProperty(TComProperty property) {
  select_.ComProperty = property;
  clear();
  values_ = itemsFor(property);
  if (property == cpPort) {
    const auto descriptions = platform::serialPortDescriptions();
    std::vector<std::string> texts;
    for (const std::string& name : values_) {
      const auto found = descriptions.find(name);
      texts.push_back(PortListText(name, found == descriptions.end() ? std::string() : found->second));
    }
    setItems(texts);
  } else {
    setItems(values_);
  }
  if (items().empty()) return;
  if (!select_.ComPort) {
    setItemIndex(0);
  } else {
    ShowPortSetting();
  }
}

std::vector<std::string> TComComboBox::itemsFor(TComProperty property) const {
  std::vector<std::string> items;
  switch (property) {
    case cpNone:
      break;
    case cpPort:
      ListSerialPorts(items, deviceMapFile_, deviceRoot_);
      break;
    case cpBaudRate:
      for (int i = 0; i < kBaudRateCount; ++i) items.push_back(BaudRateText(static_cast<TBaudRate>(i)));
      break;
    case cpDataBits:
      for (TDataBits v : {dbFive, dbSix, dbSeven, dbEight}) items.push_back(DataBitsText(v));
      break;
    case cpStopBits:
      for (TStopBits v : {sbOneStopBit, sbOne5StopBits, sbTwoStopBits}) items.push_back(StopBitsText(v));
      break;
    case cpParity:
      for (TParityBits v : {prNone, prOdd, prEven, prMark, prSpace}) items.push_back(ParityText(v));
      break;
    case cpFlowControl:
      for (TFlowControl v : {fcHardware, fcSoftware, fcNone, fcCustom}) items.push_back(FlowControlText(v));
      break;
  }
  return items;
}

std::string TComComboBox::portValueText() const {
  const TCustomComPort& port = *select_.ComPort;
  switch (select_.ComProperty) {
    case cpPort:
      return port.port();
    case cpBaudRate:
      return BaudRateText(port.baudRate());
    case cpDataBits:
      return DataBitsText(port.dataBits());
    case cpStopBits:
      return StopBitsText(port.stopBits());
    case cpParity:
      return ParityText(port.parity().bits());
    case cpFlowControl:
      return FlowControlText(port.flowControl().flowControl());
    case cpNone:
      break;
  }
  return {};
}

void TComComboBox::takePending(const std::string& text) {
  switch (select_.ComProperty) {
    case cpPort:
      select_.Port = text;
      break;
    case cpBaudRate:
      select_.BaudRate = BaudRateFromText(text);
      break;
    case cpDataBits:
      select_.DataBits = DataBitsFromText(text);
      break;
    case cpStopBits:
      select_.StopBits = StopBitsFromText(text);
      break;
    case cpParity:
      select_.Parity = ParityFromText(text);
      break;
    case cpFlowControl:
      select_.FlowControl = FlowControlFromText(text);
      break;
    case cpNone:
      break;
  }
}

void TComComboBox::ShowPortSetting() {
  if (!select_.ComPort || select_.ComProperty == cpNone) return;
  const std::string current = portValueText();
  int found = -1;
  for (int i = 0; i < static_cast<int>(items().size()) && found < 0; ++i)
    if (platform::equalIgnoringAsciiCase(valueAt(i), current)) found = i;
  setItemIndex(found);
  if (found >= 0) {
    takePending(valueAt(found));
  } else if (select_.ComProperty == cpPort) {
    // A device missing from the list (a COMn name without a mapping, a
    // device unplugged) stays the port's device unless the operator picks
    // another: applying must not leave the port without a name.
    select_.Port = current;
  }
}

const std::string& TComComboBox::valueAt(int i) const {
  const auto at = static_cast<std::size_t>(i);
  return values_.size() == items().size() ? values_[at] : items()[at];
}

void TComComboBox::ApplyToPort() {
  if (!select_.ComPort || select_.ComProperty == cpNone) return;
  TCustomComPort& port = *select_.ComPort;
  switch (select_.ComProperty) {
    case cpPort:
      port.setPort(select_.Port);
      break;
    case cpBaudRate:
      port.setBaudRate(select_.BaudRate);
      break;
    case cpDataBits:
      port.setDataBits(select_.DataBits);
      break;
    case cpStopBits:
      port.setStopBits(select_.StopBits);
      break;
    case cpParity:
      port.parity().setBits(select_.Parity);
      break;
    case cpFlowControl:
      port.flowControl().setFlowControl(select_.FlowControl);
      break;
    case cpNone:
      break;
  }
}

void TComComboBox::Change() {
  if (itemIndex() >= 0) {
    takePending(valueAt(itemIndex()));
    if (select_.AutoApply) ApplyToPort();
  }
  ui::ComboBox::Change();
}

}  // namespace serial
