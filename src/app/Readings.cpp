// The readings window, from the main menu.
#include "app/TForm1.h"
#include "readings/TResultsForm.h"

namespace app {

void TForm1::Wyniki1Click() {
  if (ResultsForm) ResultsForm->ShowResults();
}

}  // namespace app
