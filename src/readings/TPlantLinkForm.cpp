#include "readings/TPlantLinkForm.h"

#include <string>

#include "platform/Cp1250.h"

namespace readings {

using platform::pl;

TPlantLinkForm::TPlantLinkForm(ui::Dialogs& dialogs) : ui::Form("PlantLinkForm"), dialogs_(dialogs) {
  buildControls();
  onShow = [this] { showSettings(); };
  btnSave.onClick = [this] { btnSaveClick(); };
  btnCancel.onClick = [this] { btnCancelClick(); };
  btnCaFile.onClick = [this] { btnCaFileClick(); };
  cbTls.onClick = [this] { cbTlsClick(); };
}

void TPlantLinkForm::buildControls() {
  setCaption(pl("Wysyłanie odczytów do zakładu (MQTT)"));
  setBounds(0, 0, 393, 329);
  cbEnabled.setCaption(pl("Wysyłaj odczyty do brokera MQTT"));
  cbEnabled.setBounds(16, 12, 361, 17);
  addControl(cbEnabled);

  // One row per setting: a label at the left, its box at the right.
  int top = 44;
  const auto row = [&](ui::Label& label, const char* caption, ui::Edit& edit, int width) {
    label.setCaption(pl(caption));
    label.setBounds(16, top + 4, 0, 0);
    addControl(label);
    edit.setBounds(136, top, width, 21);
    addControl(edit);
    top += 30;
  };
  row(LabelHost, "Adres brokera:", EditHost, 241);
  row(LabelPort, "Port:", EditPort, 57);
  EditPort.setMaxLength(5);
  row(LabelStation, "Stanowisko:", EditStation, 241);
  row(LabelPrefix, "Prefiks tematów:", EditPrefix, 241);
  row(LabelUser, "Użytkownik:", EditUser, 241);
  row(LabelPassword, "Hasło:", EditPassword, 241);
  EditPassword.setPassword(true);
  cbTls.setCaption(pl("Połączenie szyfrowane (TLS)"));
  cbTls.setBounds(16, top, 361, 17);
  addControl(cbTls);
  top += 26;
  row(LabelCaFile, "Certyfikat CA:", EditCaFile, 209);
  btnCaFile.setCaption("...");
  btnCaFile.setBounds(352, top - 31, 25, 23);
  addControl(btnCaFile);

  btnSave.setCaption("Zapisz");
  btnSave.setBounds(216, 292, 81, 25);
  addControl(btnSave);
  btnCancel.setCaption("Anuluj");
  btnCancel.setBounds(304, 292, 73, 25);
  addControl(btnCancel);
  setInitialFocus(EditHost);
}

std::optional<PlantLinkSettings> TPlantLinkForm::Edit(const PlantLinkSettings& current) {
  Settings = current;
  if (dialogs_.showModal(*this) != ui::ModalResult::Ok) return std::nullopt;
  return Settings;
}

void TPlantLinkForm::showSettings() {
  cbEnabled.setChecked(Settings.enabled);
  EditHost.setText(Settings.host);
  EditPort.setText(std::to_string(Settings.port));
  EditStation.setText(Settings.station);
  EditPrefix.setText(Settings.prefix);
  EditUser.setText(Settings.user);
  EditPassword.setText(Settings.password);
  cbTls.setChecked(Settings.tls);
  EditCaFile.setText(Settings.caFile);
  cbTlsClick();
}

void TPlantLinkForm::cbTlsClick() {
  EditCaFile.setEnabled(cbTls.checked());
  btnCaFile.setEnabled(cbTls.checked());
}

void TPlantLinkForm::btnSaveClick() {
  PlantLinkSettings s;
  s.enabled = cbEnabled.checked();
  s.host = EditHost.text();
  s.port = parsePort(EditPort.text()).value_or(0);
  s.station = EditStation.text();
  s.prefix = EditPrefix.text();
  s.user = EditUser.text();
  s.password = EditPassword.text();
  s.tls = cbTls.checked();
  s.caFile = EditCaFile.text();
  // Switched off, half-filled settings may be kept for later.
  if (!s.enabled && s.port == 0) s.port = Settings.port;
  if (s.enabled) {
    if (const std::optional<std::string> wrong = checkPlantLinkSettings(s)) {
      dialogs_.messageBox(*wrong, caption(), ui::MessageIcon::Warning, ui::MessageButton::Ok);
      return;
    }
  }
  Settings = s;
  setModalResult(ui::ModalResult::Ok);
}

void TPlantLinkForm::btnCancelClick() {
  setModalResult(ui::ModalResult::Cancel);
}

void TPlantLinkForm::btnCaFileClick() {
  ui::FileDialogRequest request;
  request.title = pl("Certyfikat CA brokera");
  request.filter = pl("Certyfikaty (*.crt;*.pem)|*.crt;*.pem|Wszystkie pliki (*.*)|*.*");
  request.fileName = EditCaFile.text();
  if (const std::optional<std::string> chosen = dialogs_.openFileName(request)) EditCaFile.setText(*chosen);
}

}  // namespace readings
