// Sending the send line: checked whole, then its escapes decoded, over the
// serial port one write per character or escape, over Ethernet as one byte
// string; then the send is counted and the reply timeout armed.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "app/Escapes.h"
#include "app/TForm1.h"
#include "platform/Counters.h"
#include "platform/WholeNumbers.h"

namespace app {

namespace {

// The two fixed commands of the device server's relay.
constexpr const char* kTibboOn = "$FF$02PS00";
constexpr const char* kTibboOff = "$FF$02PS01";

}  // namespace

void TForm1::btnWyslijClick() {
  const std::string text = Edit1.text();
  if (text.empty()) return;

  Bytes.awaitReply();
  Edit2.setText({});
  if (LinkState == LinkClosed) btnOpenPort.click();
  // A link that could not be opened, or an Ethernet connection only just
  // started: nothing is sent now.
  if (LinkState == LinkClosed) return;

  // A line with an invalid escape sends nothing on either link: half an order
  // would be glued to the next one on the instrument. The conversion error
  // goes to the error report; nothing is counted, no timeout armed.
  const bool serial = ConfigOptions.ConnectionKind == config::kSerialConnection;
  if (serial) ClearLineErrorFlags();
  CheckSendLine(text);

  if (serial) {
    // A failed write ends the send here: the send is not counted and the
    // reply timeout is not armed.
    WriteSendLine(text, [this](const std::string& piece) { ComPort1.WriteText(piece); });
    if (CheckBox1.checked()) {
      ComPort1.WriteText("\r");
      ComPort1.WriteText("\n");
    }
  } else {
    std::string bytes = SendLineBytes(text);
    if (CheckBox1.checked()) bytes += "\r\n";
    SendOrder(bytes);
  }

  SentCount = platform::plusOne(SentCount);
  Readings.sent(
      std::chrono::duration_cast<std::chrono::milliseconds>(services_.loop.now().time_since_epoch()).count());
  // A running timeout is not restarted: it fires 3 s after the send that armed it.
  if (CheckBox3.checked()) Timer2->setInterval(kReplyTimeoutMs);
}

void TForm1::Edit1KeyDown(ui::Key key) {
  if (key == ui::kKeyReturn) btnWyslij.click();
}

// F1 to F12 send the orders numbered 1 to 12: the first row of the order list
// with that number wins. A number cell that is no whole number stops the
// search with the conversion error.
void TForm1::FormKeyDown(ui::Key key) {
  if (key < ui::kKeyF1 || key > ui::kKeyF12) return;
  const std::vector<OrderKeyRow> rows = orderListRows ? orderListRows() : std::vector<OrderKeyRow>{{}};
  for (const OrderKeyRow& row : rows) {
    if (std::int64_t{platform::parseInteger(row.number)} + 111 == key) {
      Edit1.setText(row.order);
      btnWyslijClick();
      return;
    }
  }
}

void TForm1::btnTibboONClick() {
  Edit1.setText(kTibboOn);
  btnWyslij.click();
}

void TForm1::btnTibboOFFClick() {
  Edit1.setText(kTibboOff);
  btnWyslij.click();
}

void TForm1::SendOrder(const std::string& bytes) {
  EthSendData(bytes);
}

}  // namespace app
