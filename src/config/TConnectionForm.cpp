#include "config/TConnectionForm.h"

#include "platform/Cp1250.h"
#include "platform/WholeNumbers.h"
#include "serial/ComSetupForm.h"
#include "serial/ComTexts.h"

namespace config {

using platform::pl;

namespace {

// The speed shown when the port's speed is none of the listed ones.
constexpr int kDefaultSpeedIndex = 10;  // "4800"

}  // namespace

TConnectionForm::TConnectionForm(TConfigOptions& options, serial::TCustomComPort& comPort,
                                 ui::Button& openButton, ui::Dialogs& dialogs)
    : ui::Form("ConnectionForm"),
      options_(options),
      comPort_(comPort),
      openButton_(openButton),
      dialogs_(dialogs) {
  buildControls();
  onShow = [this] { FormShow(); };
  rgConnection.onClick = [this] { rgConnectionClick(); };
  sbApply.onClick = [this] { sbApplyClick(); };
  sbCancel.onClick = [this] { sbCancelClick(); };
  sbSerialAdvanced.onClick = [this] { sbSerialAdvancedClick(); };
  // The arrows step the number in EditCOM; a typed number moves them along.
  UpDownCOM.onClick = [this] { EditCOM.setText(std::to_string(UpDownCOM.position())); };
  EditCOM.onChange = [this] {
    std::int32_t n = 0;
    if (platform::tryParseInteger(EditCOM.text(), n)) UpDownCOM.setPosition(n);
  };
}

void TConnectionForm::buildControls() {
  setCaption(pl("Ustawienia połączenia"));
  setBounds(0, 0, 329, 225);

  rgConnection.setCaption(pl("Podłączenie wagi:"));
  rgConnection.setItems({"Port szeregowy", "Ethernet"});
  rgConnection.setBounds(8, 8, 313, 57);
  addControl(rgConnection);

  // Both groups take the same place; only one is shown.
  const ui::Bounds group{8, 72, 313, 105};
  gbSerialPort.setCaption(" Ustawienia portu szeregowego: ");
  gbSerialPort.setBounds(group);
  addControl(gbSerialPort);
  LabelCOMPort.setCaption("Port COM:");
  LabelCOMPort.setBounds(16, 28, 0, 0);
  addControl(LabelCOMPort, &gbSerialPort);
  EditCOM.setText("1");
  EditCOM.setBounds(96, 24, 49, 21);
  addControl(EditCOM, &gbSerialPort);
  UpDownCOM.setRange(1, 255);
  UpDownCOM.setPosition(1);
  UpDownCOM.setBounds(145, 24, 16, 21);
  addControl(UpDownCOM, &gbSerialPort);
  LabelBaudRate.setCaption(pl("Prędkość:"));
  LabelBaudRate.setBounds(16, 60, 0, 0);
  addControl(LabelBaudRate, &gbSerialPort);
  cbBaudRate.setItems({"50",    "75",    "110",    "134.5",  "150",    "300",   "600",
                       "1200",  "1800",  "2400",   "4800",   "7200",   "9600",  "19200",
                       "38400", "57600", "115200", "230400", "460800", "921600"});
  cbBaudRate.setItemIndex(kDefaultSpeedIndex);
  cbBaudRate.setBounds(96, 56, 97, 21);
  addControl(cbBaudRate, &gbSerialPort);
  Label34.setCaption("bps");
  Label34.setBounds(200, 60, 0, 0);
  addControl(Label34, &gbSerialPort);
  sbSerialAdvanced.setCaption("Zaawansowane");
  sbSerialAdvanced.setBounds(200, 22, 97, 25);
  addControl(sbSerialAdvanced, &gbSerialPort);

  gbEthernet.setCaption(pl(" Ustawienia połączenia ethernetowego: "));
  gbEthernet.setBounds(group);
  gbEthernet.setVisible(false);
  addControl(gbEthernet);
  Label1.setCaption("Adres IP:");
  Label1.setBounds(16, 28, 0, 0);
  addControl(Label1, &gbEthernet);
  EditIP.setText("000.000.000.000");
  EditIP.setMaxLength(15);
  EditIP.setBounds(96, 24, 121, 21);
  addControl(EditIP, &gbEthernet);
  Label2.setCaption("Port:");
  Label2.setBounds(16, 60, 0, 0);
  addControl(Label2, &gbEthernet);
  EditPort.setText("00000");
  EditPort.setMaxLength(5);
  EditPort.setBounds(96, 56, 57, 21);
  addControl(EditPort, &gbEthernet);

  sbApply.setCaption("Zastosuj");
  sbApply.setBounds(160, 188, 81, 25);
  addControl(sbApply);
  sbCancel.setCaption("Anuluj");
  sbCancel.setBounds(248, 188, 73, 25);
  addControl(sbCancel);
  setInitialFocus(rgConnection);
}

void TConnectionForm::FormShow() {
  const int before = rgConnection.itemIndex();
  rgConnection.setItemIndex(options_.ConnectionKind);
  if (rgConnection.itemIndex() != before) rgConnectionClick();
  EditIP.setText(options_.Host);
  EditPort.setText(std::to_string(options_.Port));
  GetCOMPortSettings();
}

void TConnectionForm::rgConnectionClick() {
  gbSerialPort.setVisible(rgConnection.itemIndex() == 0);
  gbEthernet.setVisible(rgConnection.itemIndex() == 1);
}

void TConnectionForm::GetCOMPortSettings() {
  std::string name = comPort_.port();
  if (const auto at = name.find("COM"); at != std::string::npos) name.erase(at, 3);
  EditCOM.setText(name);
  const int found = cbBaudRate.indexOf(serial::BaudRateText(comPort_.baudRate()), false);
  cbBaudRate.setItemIndex(found >= 0 ? found : kDefaultSpeedIndex);
}

void TConnectionForm::sbApplyClick() {
  // Nothing is validated here: a bad port or speed shows when the link opens.
  if (rgConnection.itemIndex() >= 0)
    options_.ConnectionKind = static_cast<std::uint8_t>(rgConnection.itemIndex());
  options_.Host = EditIP.text();
  std::int32_t port = 0;
  options_.Port = platform::tryParseInteger(EditPort.text(), port) ? port : 1001;
  comPort_.setPort("COM" + EditCOM.text());
  // Listed speeds the port has no rate for give 9600.
  comPort_.setBaudRate(serial::BaudRateFromText(cbBaudRate.text()));
  openButton_.click();
  setModalResult(ui::ModalResult::Ok);
}

void TConnectionForm::sbCancelClick() {
  openButton_.click();
  setModalResult(ui::ModalResult::Cancel);
}

void TConnectionForm::sbSerialAdvancedClick() {
  serial::SetupExit left = serial::SetupExit::Closed;
  try {
    serial::RunSetupDialog(comPort_, dialogs_, left, deviceRoot);
  } catch (const std::runtime_error&) {
    // A failing setup dialog (no device list, a device that will not reopen)
    // leaves this dialog as it was.
  }
  if (left != serial::SetupExit::Closed) setupApplied_ = left == serial::SetupExit::Applied;
  if (setupApplied_) GetCOMPortSettings();
}

}  // namespace config
