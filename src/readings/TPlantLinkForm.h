#pragma once
// The plant link's settings dialog: whether readings go to a broker, its
// address and port, the station's name and the topic prefix, the user and
// password, TLS with the CA's certificate. "Zapisz" checks the settings and
// says in a message what cannot work, the dialog staying open.
#include <optional>

#include "readings/PlantLinkSettings.h"
#include "ui/Control.h"
#include "ui/Dialogs.h"
#include "ui/Form.h"

namespace readings {

class TPlantLinkForm : public ui::Form {
 public:
  explicit TPlantLinkForm(ui::Dialogs& dialogs);

  // Shows the dialog with `current`; the settings the operator saved, or
  // nothing when they cancelled. The caller saves them
  // (savePlantLinkSettings) and restarts the link (PlantLink::start).
  std::optional<PlantLinkSettings> Edit(const PlantLinkSettings& current);

  void btnSaveClick();
  void btnCancelClick();
  void btnCaFileClick();
  void cbTlsClick();

  // What the dialog shows, and after "Zapisz" what it holds.
  PlantLinkSettings Settings;

  ui::CheckBox cbEnabled{"cbEnabled"};
  ui::Label LabelHost{"LabelHost"};
  ui::Edit EditHost{"EditHost"};
  ui::Label LabelPort{"LabelPort"};
  ui::Edit EditPort{"EditPort"};
  ui::Label LabelStation{"LabelStation"};
  ui::Edit EditStation{"EditStation"};
  ui::Label LabelPrefix{"LabelPrefix"};
  ui::Edit EditPrefix{"EditPrefix"};
  ui::Label LabelUser{"LabelUser"};
  ui::Edit EditUser{"EditUser"};
  ui::Label LabelPassword{"LabelPassword"};
  ui::Edit EditPassword{"EditPassword"};
  ui::CheckBox cbTls{"cbTls"};
  ui::Label LabelCaFile{"LabelCaFile"};
  ui::Edit EditCaFile{"EditCaFile"};
  ui::Button btnCaFile{"btnCaFile"};
  ui::Button btnSave{"btnSave"};
  ui::Button btnCancel{"btnCancel"};

 private:
  void buildControls();
  void showSettings();

  ui::Dialogs& dialogs_;
};

}  // namespace readings
