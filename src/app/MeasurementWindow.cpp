#include "app/MeasurementWindow.h"

#include <exception>

#include "app/TForm1.h"
#include "automatic/TForm2.h"
#include "automatic/TRemainingForm.h"
#include "config/ConfigOptions.h"
#include "platform/Cp1250.h"
#include "serial/EComPort.h"

namespace app {

const ui::StringGrid* MeasurementWindow::orderGrid() const {
  return form_.Form2 ? &form_.Form2->StringGrid1 : nullptr;
}

void MeasurementWindow::sendOrder() {
  form_.btnWyslijClick();
}

std::int32_t MeasurementWindow::replyCount() const {
  return form_.Bytes.replyCount();
}
std::int32_t MeasurementWindow::sentCount() const {
  return form_.SentCount;
}

void MeasurementWindow::resetReplyCounts() {
  // No reply is awaited before the first send.
  form_.Bytes.resetReplies();
  form_.SentCount = 0;
}

void MeasurementWindow::runStarted() {
  form_.Readings.startRun();
}

void MeasurementWindow::orderSending(std::int16_t order, std::int32_t measurementsDone) {
  form_.Readings.armOrder(order, measurementsDone);
}

std::string MeasurementWindow::captureFileName() const {
  return form_.Capture.name();
}

void MeasurementWindow::chooseCaptureFile(const std::string& name) {
  form_.Capture.choose(name);
}

void MeasurementWindow::showNotification() {
  if (form_.RemainingForm) form_.RemainingForm->ShowNotification();
}

void MeasurementWindow::showError(const std::string& text) {
  form_.dialogs().messageBox(text, platform::pl("Błąd"), ui::MessageIcon::Error, ui::MessageButton::Ok);
}

bool MeasurementWindow::serialLinkIs(const std::string& port, serial::TBaudRate speed) const {
  const serial::TComPort& com = form_.ComPort1;
  return com.port() == port && com.baudRate() == speed && com.connected();
}

void MeasurementWindow::closeLinks() {
  const config::TConfigOptions& options = config::ConfigOptions;
  if (options.ConnectionKind == config::kEthernetConnection &&
      (form_.LinkState == LinkConnecting || form_.LinkState == LinkOpen))
    form_.EthToggleConnection(options.Host, options.Port);
  try {
    form_.ComPort1.Disconnect();
  } catch (const serial::EComPort&) {
    // The link is opened anew next; a failed close changes nothing there.
  }
}

void MeasurementWindow::switchToSerial(const std::string& port, serial::TBaudRate speed) {
  closeLinks();
  config::ConfigOptions.ConnectionKind = config::kSerialConnection;
  form_.ShowConnectionState();
  form_.ComPort1.setPort(port);
  form_.ComPort1.setBaudRate(speed);
  form_.ComPort1.Connect();
  form_.ShowConnectionState();
}

bool MeasurementWindow::ethernetLinkIs(const std::string& host, std::int32_t port) const {
  const config::TConfigOptions& options = config::ConfigOptions;
  return port == options.Port && options.Host == host && form_.LinkState != LinkClosed &&
         options.ConnectionKind == config::kEthernetConnection;
}

void MeasurementWindow::switchToEthernet(const std::string& host, std::int32_t port) {
  closeLinks();
  config::TConfigOptions& options = config::ConfigOptions;
  options.ConnectionKind = config::kEthernetConnection;
  options.Host = host;
  options.Port = port;
  // The connection completes later and reaches LinkState by message.
  form_.EthToggleConnection(options.Host, options.Port);
}

void MeasurementWindow::restoreSavedPort() {
  try {
    form_.ComPort1.setPort(form_.SavedPort);
  } catch (const std::exception& e) {
    // The run stays stopped or ended; the operator learns why the port is
    // not open again.
    form_.loop().reportError(e.what());
  }
}

std::string MeasurementWindow::serialPortName() const {
  return form_.ComPort1.port();
}

bool MeasurementWindow::serialDeviceGone() const {
  return config::ConfigOptions.ConnectionKind == config::kSerialConnection && form_.ComPort1.DeviceGone();
}

}  // namespace app
