// The serial port's receive event. Built with the serial transfers.
#include "app/TForm1.h"

namespace app {

// Not built yet: the port's event thread does not run, so this never fires.
void TForm1::ComPort1RxChar(serial::TCustomComPort&, int) {}

}  // namespace app
