#include "serial/ComSetupForm.h"

#include "platform/Translations.h"
#include "serial/ComPort.h"

namespace serial {

namespace {

// The dialog's texts come from the serial port's message catalog.
std::string tr(const char* text) {
  return platform::translate("cport", text);
}

}  // namespace

TComSetupFrm::TComSetupFrm(const std::string& deviceRoot, const std::string& deviceMapFile)
    : ui::Form("ComSetupFrm") {
  setBounds(0, 0, 231, 216);
  GroupBox1.setBounds(8, 8, 217, 169);
  addControl(GroupBox1);
  ui::Label* labels[] = {&Label1, &Label2, &Label3, &Label4, &Label5, &Label6};
  for (int i = 0; i < 6; ++i) {
    labels[i]->setBounds(8, 24 + 24 * i, 0, 0);
    addControl(*labels[i], &GroupBox1);
  }
  const TComProperty properties[] = {cpPort, cpBaudRate, cpDataBits, cpStopBits, cpParity, cpFlowControl};
  Combo1.setPortListSource(deviceRoot, deviceMapFile);
  for (int i = 0; i < 6; ++i) {
    Combos[i]->setBounds(80, 16 + 24 * i, 129, 21);
    Combos[i]->setComProperty(properties[i]);
    addControl(*Combos[i], &GroupBox1);
  }
  sbApply.setBounds(80, 184, 73, 25);
  sbApply.onClick = [this] { sbApplyClick(); };
  addControl(sbApply);
  sbCancel.setBounds(160, 184, 65, 25);
  sbCancel.onClick = [this] { sbCancelClick(); };
  addControl(sbCancel);
  BitBtnApply.setBounds(8, 188, 17, 22);
  BitBtnApply.setVisible(false);
  BitBtnApply.onClick = [this] { setModalResult(ui::ModalResult::Ok); };
  addControl(BitBtnApply);
  BitBtnCancel.setBounds(16, 188, 17, 22);
  BitBtnCancel.setVisible(false);
  BitBtnCancel.onClick = [this] { setModalResult(ui::ModalResult::Cancel); };
  addControl(BitBtnCancel);
  setInitialFocus(Combo1);
  FormCreate();
}

// The lists keep the settings' own texts; everything else is translated.
void TComSetupFrm::FormCreate() {
  setCaption(tr("RS-232 settings"));
  GroupBox1.setCaption(tr(" Settings: "));
  Label1.setCaption(tr("Port:"));
  Label2.setCaption(tr("Baud rate:"));
  Label3.setCaption(tr("Data bits:"));
  Label4.setCaption(tr("Stop bits:"));
  Label5.setCaption(tr("Parity:"));
  Label6.setCaption(tr("Flow control:"));
  sbApply.setCaption(tr("Zastosuj"));
  sbCancel.setCaption(tr("Anuluj"));
  BitBtnApply.setCaption(tr("Apply"));
  BitBtnCancel.setCaption(tr("Cancel"));
}

void TComSetupFrm::sbApplyClick() {
  BitBtnApply.click();
  exit_ = SetupExit::Applied;
}

void TComSetupFrm::sbCancelClick() {
  BitBtnCancel.click();
  exit_ = SetupExit::Cancelled;
}

void RunSetupDialog(TCustomComPort& port, ui::Dialogs& dialogs, SetupExit& left,
                    const std::string& deviceRoot) {
  TComSetupFrm form(deviceRoot, port.deviceMapFile());
  for (TComComboBox* combo : form.Combos) combo->setComPort(&port);
  for (TComComboBox* combo : form.Combos) combo->ShowPortSetting();
  const ui::ModalResult result = dialogs.showModal(form);
  left = form.exit();
  if (result != ui::ModalResult::Ok) return;
  port.BeginBatch();
  try {
    for (TComComboBox* combo : form.Combos) combo->ApplyToPort();
  } catch (...) {
    try {
      port.EndBatch();
    } catch (const EComPort&) {
      // The write that failed first is the one to report.
    }
    throw;
  }
  port.EndBatch();
}

}  // namespace serial
