#pragma once
// The serial setup dialog: device, speed, data bits, stop bits, parity and
// flow control of one port, picked from six lists and written to the port in
// one batch when the operator applies them.
#include <string>

#include "serial/ComComboBox.h"
#include "ui/Control.h"
#include "ui/Dialogs.h"
#include "ui/Form.h"

namespace serial {

class TCustomComPort;

// How the operator left the setup dialog.
enum class SetupExit { Closed, Applied, Cancelled };

class TComSetupFrm : public ui::Form {
 public:
  // Fills the lists (the device list from root's dev folder and the
  // [Devices] map of deviceMapFile); raises EComPort code 23 when the device
  // list cannot be read.
  explicit TComSetupFrm(const std::string& deviceRoot = "/", const std::string& deviceMapFile = "");

  void sbApplyClick();
  void sbCancelClick();
  // By the apply button, the cancel button, or neither (the close box).
  SetupExit exit() const { return exit_; }

  ui::GroupBox GroupBox1{"GroupBox1"};
  ui::Label Label1{"Label1"};
  ui::Label Label2{"Label2"};
  ui::Label Label3{"Label3"};
  ui::Label Label4{"Label4"};
  ui::Label Label5{"Label5"};
  ui::Label Label6{"Label6"};
  TComComboBox Combo1{"Combo1"};
  TComComboBox Combo2{"Combo2"};
  TComComboBox Combo3{"Combo3"};
  TComComboBox Combo4{"Combo4"};
  TComComboBox Combo5{"Combo5"};
  TComComboBox Combo6{"Combo6"};
  ui::BitBtn sbApply{"sbApply", "ok"};
  ui::BitBtn sbCancel{"sbCancel", "cancel"};
  ui::Button BitBtnApply{"BitBtnApply"};
  ui::Button BitBtnCancel{"BitBtnCancel"};

  // Combo1 to Combo6, in tab order.
  TComComboBox* const Combos[6] = {&Combo1, &Combo2, &Combo3, &Combo4, &Combo5, &Combo6};

 private:
  void FormCreate();

  SetupExit exit_ = SetupExit::Closed;
};

// Shows the setup dialog for port through dialogs and, when it is left by
// its apply button, writes the six choices to the port in one batch. left
// says how the dialog was left as soon as it closes (a dialog that could not
// be built leaves it as it was). A failing write ends the batch and
// propagates; the writes after it are not made.
void RunSetupDialog(TCustomComPort& port, ui::Dialogs& dialogs, SetupExit& left,
                    const std::string& deviceRoot = "/");

}  // namespace serial
