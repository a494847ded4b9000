#pragma once
// A drop-down list bound to one property of one serial port. A pick becomes
// the pending value of that property; ApplyToPort writes it to the port (at
// once with AutoApply).
#include <string>
#include <vector>

#include "serial/ComTypes.h"
#include "ui/ComboBox.h"

namespace serial {

class TCustomComPort;

enum TComProperty { cpNone, cpPort, cpBaudRate, cpDataBits, cpStopBits, cpParity, cpFlowControl };

// The serial devices, sorted ignoring letter case, into list (replacing what
// it held). root is the folder holding "dev" ("/" on a live system) and
// deviceMapFile the ini file whose [Devices] section maps COMn names. Raises
// EComPort code 23 when the list cannot be read.
void ListSerialPorts(std::vector<std::string>& list, const std::string& deviceMapFile,
                     const std::string& root = "/");

// What a list binds: the property, the port, AutoApply, and one pending
// value per property kind.
struct TComSelect {
  TComProperty ComProperty = cpNone;
  TCustomComPort* ComPort = nullptr;
  bool AutoApply = false;
  std::string Port;
  TBaudRate BaudRate = brCustom;
  TDataBits DataBits = dbFive;
  TStopBits StopBits = sbOneStopBit;
  TParityBits Parity = prNone;
  TFlowControl FlowControl = fcHardware;
};

// What the device list shows for a port: the system's description of it
// (UTF-8, shown in the captions' Windows-1250) when there is one, with the
// port's name in it, else the name alone.
std::string PortListText(const std::string& name, const std::string& description);

class TComComboBox : public ui::ComboBox {
 public:
  explicit TComComboBox(std::string name) : ui::ComboBox(std::move(name), ui::ComboStyle::DropDownList) {}

  // Where the device list of cpPort comes from; set before ComProperty.
  void setPortListSource(std::string root, std::string deviceMapFile) {
    deviceRoot_ = std::move(root);
    deviceMapFile_ = std::move(deviceMapFile);
  }

  TCustomComPort* ComPort() const { return select_.ComPort; }
  // Binding shows the port's setting; unbinding selects the first item.
  void setComPort(TCustomComPort* port);
  TComProperty ComProperty() const { return select_.ComProperty; }
  // Refills the list (cpPort lists the serial devices and may raise code 23).
  void setComProperty(TComProperty property);
  bool AutoApply() const { return select_.AutoApply; }
  void setAutoApply(bool on) { select_.AutoApply = on; }
  const TComSelect& pending() const { return select_; }

  // Selects the item that shows the port's current value, ignoring letter
  // case, and makes it the pending value; none when it is not listed.
  void ShowPortSetting();
  // Writes the pending value to the bound port.
  void ApplyToPort();

 protected:
  void Change() override;

 private:
  std::vector<std::string> itemsFor(TComProperty property) const;
  std::string portValueText() const;
  void takePending(const std::string& text);
  // The value item i stands for: the port's name behind a description.
  const std::string& valueAt(int i) const;

  TComSelect select_;
  // What the items stand for, as setComProperty listed them.
  std::vector<std::string> values_;
  std::string deviceRoot_ = "/";
  std::string deviceMapFile_;
};

}  // namespace serial
