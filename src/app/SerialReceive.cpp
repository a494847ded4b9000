// The serial port's receive event: the bytes waiting go to the byte
// processor, or straight to the capture file in fast-write mode.
#include "app/TForm1.h"
#include "serial/EComPort.h"

namespace app {

void TForm1::ComPort1RxChar(serial::TCustomComPort& Sender, int Count) {
  std::string s;
  try {
    s = Sender.ReadText(Count);
  } catch (const serial::EComPort&) {
    // A failed read leaves nothing to show; the next event reads again.
  }
  if (s.empty()) return;
  Timer2->setInterval(0);  // the reply has come: no reply timeout
  if (Capture.fastWriteActive()) {
    Capture.FastWriteData(s);
    return;
  }
  ProcessReceived(s, s.size());
}

}  // namespace app
