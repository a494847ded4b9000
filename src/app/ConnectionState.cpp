// The link state shown in the main window. The state display, the open/close
// button and the line error report are built with the connection-state work;
// until then a notification only updates the main window's copy of the state.
#include "app/TForm1.h"

namespace app {

void TForm1::OnUpdatePortMessage(std::intptr_t wParam) {
  LinkState = static_cast<std::uint8_t>(wParam);
  ShowConnectionState();
}

// Not built yet: the state display (LabelConnection, btnOpenPort's caption).
void TForm1::ShowConnectionState() {}

// Not built yet: the line error report in Edit2.
void TForm1::sprawdz_transmisje() {}

// Not built yet: opening and closing the link by its button.
void TForm1::btnOpenPortClick() {}

// Not built yet: the connection settings dialog.
void TForm1::Terso1Click() {}

}  // namespace app
