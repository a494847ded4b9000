// The link state shown in the main window: the open/close button, the
// connection label, the connection settings command and the line error
// report of the serial port in Edit2.
#include <exception>
#include <string>

#include "app/TForm1.h"
#include "config/TConnectionForm.h"
#include "platform/Cp1250.h"
#include "serial/EComPort.h"

namespace app {

using platform::pl;

namespace {

bool serialLink(const config::TConfigOptions& options) {
  return options.ConnectionKind == config::kSerialConnection;
}

std::string speedName(serial::TBaudRate rate) {
  for (const serial::TBaudRate known : serial::kTerminalSpeeds)
    if (known == rate) return std::to_string(serial::BaudRateValue(rate));
  return pl("niestandardowa prędkość");
}

std::string openCaption() {
  return pl("&Otwórz port");
}
std::string closeCaption() {
  return pl("&Zamknij port");
}

}  // namespace

void TForm1::OnUpdatePortMessage(std::intptr_t wParam) {
  LinkState = static_cast<LinkStates>(static_cast<std::uint8_t>(wParam));
  if (LinkState == LinkOpen && !serialLink(ConfigOptions)) Sequencer.ethernetOpened();
  ShowConnectionState();
}

void TForm1::ShowConnectionState() {
  bool open = false;
  std::string caption;
  if (serialLink(ConfigOptions)) {
    // The serial display follows the port itself, not LinkState.
    caption = ComPort1.port() + " " + speedName(ComPort1.baudRate()) + "bps";
    open = ComPort1.connected();
  } else {
    caption = ConfigOptions.Host;
    if (LinkState != LinkClosed && LinkState != LinkOpen) {
      // Connecting or closing: the host alone, the button and colour as they were.
      LabelConnection.setCaption(caption);
      return;
    }
    open = LinkState == LinkOpen;
  }
  btnOpenPort.setCaption(open ? closeCaption() : openCaption());
  LabelConnection.setCaption(caption + (open ? pl(" otwarty") : pl(" zamknięty")));
  LabelConnection.setFontColor(open ? ui::Color::Green : ui::Color::Red);
}

void TForm1::btnOpenPortClick() {
  ++openClicks_;
  if (!serialLink(ConfigOptions)) {
    // The link posts its new state; LinkState and the display follow then.
    EthToggleConnection(ConfigOptions.Host, ConfigOptions.Port);
    return;
  }
  if (LinkState == LinkClosed) {
    try {
      ComPort1.Connect();
      LinkState = LinkOpen;
      btnOpenPort.setCaption(closeCaption());
    } catch (const serial::EComPort&) {
      dialogs().messageBox(pl("Wskazany port COM nie istnieje lub jest zajęty przez inny program"), "Tersov9",
                           ui::MessageIcon::Warning, ui::MessageButton::Ok);
    }
  } else {
    try {
      ComPort1.Disconnect();
    } catch (const serial::EComPort&) {
      // The link counts as closed whatever the close reported.
    }
    LinkState = LinkClosed;
    btnOpenPort.setCaption(openCaption());
  }
  ShowConnectionState();
}

// Also a reopen under a new port name, which closes and opens the device.
void TForm1::ComPort1AfterOpen(serial::TCustomComPort&) {
  if (!serialLink(ConfigOptions)) return;
  LinkState = LinkOpen;
  ShowConnectionState();
}

// The port closed, by the button or by itself when its device went away: the
// next send opens it anew, and an automatic run ends.
void TForm1::ComPort1AfterClose(serial::TCustomComPort& Sender) {
  if (!serialLink(ConfigOptions)) return;
  LinkState = LinkClosed;
  ShowConnectionState();
  if (Sender.DeviceGone()) SerialPortLost();
}

// While the port is closed (an Ethernet link, a device gone) there is nothing
// to query; a failed query counts as no errors, so the received bytes being
// processed are never lost to it.
serial::TComErrors TForm1::QueryLineErrors() {
  if (!ComPort1.connected()) return {};
  try {
    return ComPort1.TakeLineErrors();
  } catch (const std::exception&) {
    return {};
  }
}

void TForm1::sprawdz_transmisje() {
  const serial::TComErrors e = QueryLineErrors();
  if (!e.empty() && !LineErrorShown) {
    LineErrorShown = true;
    Edit2.setText(pl("Błąd:"));
  }
  if (e.contains(serial::ceFrame) && !FrameErrorShown) {
    Edit2.setText(Edit2.text() + "ramki,");
    FrameErrorShown = true;
  }
  if (e.contains(serial::ceRxParity) && !ParityErrorShown) {
    Edit2.setText(Edit2.text() + "parzystosci,");
    ParityErrorShown = true;
  }
  constexpr serial::TComErrors kTransmission{serial::ceOverrun, serial::ceBreak,  serial::ceIO,
                                             serial::ceMode,    serial::ceRxOver, serial::ceTxFull};
  if (!(e & kTransmission).empty() && !TransmissionErrorShown) {
    Edit2.setText(Edit2.text() + "transmisji,");
    TransmissionErrorShown = true;
  }
}

// It may change the link kind, the device server's address and the port's
// name and speed; its buttons re-open the link themselves.
void TForm1::ShowConnectionDialog() {
  if (ConnectionForm) dialogs().showModal(*ConnectionForm);
}

void TForm1::Terso1Click() {
  // Closes the serial port at once; starts closing the Ethernet link.
  if (LinkState != LinkClosed) btnOpenPort.click();
  const unsigned clicksBefore = openClicks_;
  ShowConnectionDialog();
  SavedPort = ComPort1.port();
  // Opens the link as now configured, also after the dialog was closed by
  // its close box. Its buttons have tried already: a port that would not
  // open has said so once, and an Ethernet attempt is under way.
  if (LinkState == LinkClosed && openClicks_ == clicksBefore) btnOpenPort.click();
}

}  // namespace app
