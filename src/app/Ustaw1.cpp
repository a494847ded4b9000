// The main window's menu item "Ustaw": the orders editor, shown modally.
#include "app/TForm1.h"
#include "automatic/TForm2.h"

namespace app {

void TForm1::Ustaw1Click() {
  if (Form2) dialogs().showModal(*Form2);
  // The editor may have opened or saved another orders file.
  Plikrozkazow1.setCaption(ConfigOptions.OrdersFileName);
}

}  // namespace app
