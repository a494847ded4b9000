// The readings window, from the main menu, and the journal the readings
// are kept in.
#include "app/TForm1.h"
#include "config/ConfigOptions.h"
#include "platform/Cp1250.h"
#include "platform/PathText.h"
#include "readings/PlantLink.h"
#include "readings/TResultsForm.h"

namespace app {

void TForm1::Wyniki1Click() {
  if (ResultsForm) ResultsForm->ShowResults();
}

std::string TForm1::ReadingsLinkName() const {
  const config::TConfigOptions& options = ConfigOptions;
  if (options.ConnectionKind == config::kSerialConnection) return ComPort1.port();
  return options.Host + ":" + std::to_string(options.Port);
}

void TForm1::OpenReadingsJournal() {
  // A window without a settings folder (a benchmark's) keeps its readings in
  // memory only.
  const std::string folder = programDir().empty() ? std::string() : platform::utf8Path(programDir());
  Settings = std::make_unique<readings::ProgramSettings>(folder);
  Readings.setEveryRow(Settings->readingsFromEveryRow());
  Readings.linkName = [this] { return ReadingsLinkName(); };
  if (folder.empty()) return;
  // Told once the loop runs: also from the journal's own thread.
  platform::EventLoop& loop = this->loop();
  ui::Dialogs& dialogs = this->dialogs();
  auto tell = [&loop, &dialogs](const std::string& message) {
    loop.post([&dialogs, message] {
      dialogs.messageBox(message, platform::pl("Odczyty"), ui::MessageIcon::Warning, ui::MessageButton::Ok);
    });
  };
  if (!Settings->problem().empty()) tell(Settings->problem());
  // The old journal's last commit may still wake the stopped link.
  StopPlantLink();
  ReadingsJournal.reset();
  ReadingsPlantLink.reset();
  ReadingsJournal = std::make_unique<readings::Journal>(folder, tell);
  Readings.setJournal(ReadingsJournal.get());
  // The link's connect and publishes run on its own threads; each commit of
  // the journal wakes it, so nothing polls.
  ReadingsPlantLink = std::make_unique<readings::PlantLink>(*ReadingsJournal, loop);
  ReadingsJournal->onCommitted = [link = ReadingsPlantLink.get()] { link->wake(); };
  ReadingsPlantLink->start(Settings->plantLink());
}

void TForm1::StopPlantLink() noexcept {
  // Says "offline" to the broker when it can.
  if (ReadingsPlantLink) ReadingsPlantLink->stop();
}

}  // namespace app
