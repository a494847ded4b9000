// The main window's calls into its Ethernet link (EthConn).
#include "app/TForm1.h"
#include "platform/Cp1250.h"

namespace app {

static_assert(ethernet::UM_UPDATE_PORT == UM_UPDATE_PORT);

void TForm1::EthToggleConnection(const std::string& host, std::int32_t port) {
  if (EthConn) EthConn->ToggleConnection(host, port);
}

void TForm1::EthSendData(const std::string& bytes) {
  if (EthConn) EthConn->SendData(bytes);
}

void TForm1::CreateEthernetLink() {
  ethernet::EthConnectionHandlers handlers;
  handlers.window = [this] { return MainWindowHandle; };
  // Data from the device server is the reply as much as data from the serial
  // port is: either cancels the reply timeout.
  handlers.processReceived = [this](const std::string& data, std::size_t count) {
    Timer2->setInterval(0);
    ProcessReceived(data, count);
  };
  // Chunks take the serial port's way: to the fast-write file when it is active.
  handlers.fastWriteActive = [this] { return Capture.fastWriteActive(); };
  handlers.fastWriteData = [this](const std::string& chunk) {
    Timer2->setInterval(0);
    Capture.FastWriteData(chunk);
  };
  handlers.closeCaptureFile = [this] { Capture.CloseCaptureFile(); };
  handlers.attemptFailed = [this](const std::string& address) {
    // After the state the link has posted: the run then stops over a closed link.
    loop().post([this, address] { EthAttemptFailed(address); });
  };
  EthConn = std::make_unique<ethernet::CEthConnection>(loop(), std::move(handlers));
}

// A connection to the device server could not be made: the error line says
// so when error messages are on, and a run that has not reached the server
// since its order began stops.
void TForm1::EthAttemptFailed(const std::string& address) {
  if (!CheckBox2.checked()) Edit2.setText(platform::pl("Błąd: brak połączenia z ") + address);
  if (ConfigOptions.ConnectionKind == config::kEthernetConnection) Sequencer.ethernetUnreachable(address);
}

// Closes an open TCP connection; its last state is posted as usual.
void TForm1::DestroyEthernetLink() {
  EthConn.reset();
}

}  // namespace app
