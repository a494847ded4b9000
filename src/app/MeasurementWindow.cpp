#include "app/MeasurementWindow.h"

#include <exception>

#include "app/TForm1.h"
#include "automatic/TForm2.h"
#include "automatic/TRemainingForm.h"
#include "platform/Cp1250.h"
#include "platform/Sound.h"
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

bool MeasurementWindow::serialLinkIs(const std::string& port, serial::TBaudRate speed) const {
  const serial::TComPort& com = form_.ComPort1;
  return com.port() == port && com.baudRate() == speed && com.connected();
}

void MeasurementWindow::closeLinks() {
  const config::TConfigOptions& options = form_.ConfigOptions;
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
  form_.ConfigOptions.ConnectionKind = config::kSerialConnection;
  form_.ShowConnectionState();
  form_.ComPort1.setPort(port);
  form_.ComPort1.setBaudRate(speed);
  form_.ComPort1.Connect();
  form_.ShowConnectionState();
}

bool MeasurementWindow::ethernetLinkIs(const std::string& host, std::int32_t port) const {
  const config::TConfigOptions& options = form_.ConfigOptions;
  return port == options.Port && options.Host == host && form_.LinkState != LinkClosed &&
         options.ConnectionKind == config::kEthernetConnection;
}

void MeasurementWindow::switchToEthernet(const std::string& host, std::int32_t port) {
  closeLinks();
  config::TConfigOptions& options = form_.ConfigOptions;
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
  return form_.ConfigOptions.ConnectionKind == config::kSerialConnection && form_.ComPort1.DeviceGone();
}

// What a run reports, shown: the Stop button while it goes, the order in
// StaticText7, the progress and the result in StaticText5, the counts or the
// countdown in StaticText6, the order's text in the send line.
void MeasurementWindow::runStarting() {
  if (watcher_) watcher_->runStarting();
  form_.btnOpenPort.setEnabled(false);
}

void MeasurementWindow::runGoing() {
  if (watcher_) watcher_->runGoing();
  form_.Button6.setVisible(true);
}

void MeasurementWindow::orderSetUp(std::int16_t order, const std::string& text) {
  if (watcher_) watcher_->orderSetUp(order, text);
  form_.Edit1.setText(text);
  form_.StaticText7.setCaption("Rozkaz nr " + std::to_string(order));
}

void MeasurementWindow::progress(std::int16_t order, std::int64_t measurementsLeft,
                                 std::optional<std::int64_t> passesLeft) {
  if (watcher_) watcher_->progress(order, measurementsLeft, passesLeft);
  form_.StaticText5.setCaption(automatic::ProgressText(measurementsLeft, passesLeft));
  form_.StaticText7.setCaption("Rozkaz nr " + std::to_string(order));
}

void MeasurementWindow::replies(std::int32_t replies, std::int32_t sent) {
  if (watcher_) watcher_->replies(replies, sent);
  form_.StaticText6.setCaption(automatic::RepliesText(replies, sent));
}

void MeasurementWindow::countdown(std::int32_t seconds, std::int32_t replies, std::int32_t sent) {
  if (watcher_) watcher_->countdown(seconds, replies, sent);
  form_.StaticText6.setCaption(automatic::CountdownText(seconds, replies, sent));
}

void MeasurementWindow::result(bool finished, std::int32_t replies, std::int32_t sent) {
  if (watcher_) watcher_->result(finished, replies, sent);
  form_.StaticText5.setCaption(automatic::RunEndText(finished, replies, sent));
}

void MeasurementWindow::runOver(automatic::RunState state) {
  if (watcher_) watcher_->runOver(state);
  const bool ended = state == automatic::RunState::Ended;
  if (ended) form_.StaticText5.repaint();
  form_.StaticText6.setCaption({});
  if (ended) form_.Memo1.repaint();
  form_.Button6.setVisible(false);
  form_.btnOpenPort.setEnabled(true);
}

void MeasurementWindow::notification() {
  if (watcher_) watcher_->notification();
  platform::Beep();
  if (form_.RemainingForm) form_.RemainingForm->ShowNotification();
}

void MeasurementWindow::failed(const std::string& message) {
  if (watcher_) watcher_->failed(message);
  form_.dialogs().messageBox(message, platform::pl("Błąd"), ui::MessageIcon::Error, ui::MessageButton::Ok);
}

}  // namespace app
