#pragma once
// The connection settings dialog: how the scale is attached (serial port with
// its number and speed, or Ethernet with the device server's address and TCP
// port). It edits the link fields of the options and the main window's
// serial port, and leaving it by either button re-opens the link through the
// main window's open/close button.
#include <string>

#include "config/ConfigOptions.h"
#include "serial/ComPort.h"
#include "ui/ComboBox.h"
#include "ui/Control.h"
#include "ui/Dialogs.h"
#include "ui/Form.h"
#include "ui/UpDown.h"

namespace config {

class TConnectionForm : public ui::Form {
 public:
  // options, comPort and openButton are the main window's ConfigOptions,
  // ComPort1 and btnOpenPort; dialogs shows the serial setup dialog.
  TConnectionForm(TConfigOptions& options, serial::TCustomComPort& comPort, ui::Button& openButton,
                  ui::Dialogs& dialogs);

  void FormShow();
  void rgConnectionClick();
  void GetCOMPortSettings();
  void sbApplyClick();
  void sbCancelClick();
  void sbSerialAdvancedClick();

  // The folder holding "dev" that the setup dialog lists devices from.
  std::string deviceRoot = "/";
  // The last setup dialog was left by its apply button: its cancel button
  // clears this, its close box leaves it as it was.
  bool setupApplied() const { return setupApplied_; }

  ui::RadioGroup rgConnection{"rgConnection"};
  ui::GroupBox gbSerialPort{"gbSerialPort"};
  ui::Label LabelCOMPort{"LabelCOMPort"};
  ui::Edit EditCOM{"EditCOM"};
  ui::UpDown UpDownCOM{"UpDownCOM"};
  ui::Label LabelBaudRate{"LabelBaudRate"};
  ui::ComboBox cbBaudRate{"cbBaudRate", ui::ComboStyle::DropDownList};
  ui::Label Label34{"Label34"};
  ui::Button sbSerialAdvanced{"sbSerialAdvanced"};
  ui::GroupBox gbEthernet{"gbEthernet"};
  ui::Label Label1{"Label1"};
  ui::Edit EditIP{"EditIP"};
  ui::Label Label2{"Label2"};
  ui::Edit EditPort{"EditPort"};
  ui::Button sbApply{"sbApply"};
  ui::Button sbCancel{"sbCancel"};

 private:
  void buildControls();

  TConfigOptions& options_;
  serial::TCustomComPort& comPort_;
  ui::Button& openButton_;
  ui::Dialogs& dialogs_;
  bool setupApplied_ = false;
};

}  // namespace config
