#include "app/HeadlessRun.h"

#include <cstdio>
#include <fstream>
#include <memory>

#include "app/TForm1.h"
#include "automatic/DecimalNumbers.h"
#include "automatic/TForm2.h"
#include "automatic/TRemainingForm.h"
#include "headless/Console.h"
#include "headless/ConsoleDialogs.h"
#include "headless/RunReport.h"
#include "platform/Console.h"
#include "platform/Cp1250.h"
#include "platform/PathText.h"
#include "platform/ProgramDir.h"
#include "platform/Sound.h"
#include "platform/StopSignals.h"
#include "platform/SystemEventLoop.h"
#include "platform/XmlDocument.h"
#include "readings/PlantLink.h"
#include "readings/PlantLinkSettings.h"
#include "readings/ReadingsText.h"
#include "serial/EComPort.h"

namespace app {
using namespace headless;
namespace {

// A stopped run still takes the replies already on their way; the program
// ends within a second of Ctrl+C.
constexpr int kStoppedGraceMs = 300;
// At the end the plant link has this long to publish the run's readings;
// what it has not, stays unpublished in the journal for the next link.
constexpr int kPublishGraceMs = 5000;

// The plant link's settings of --mqtt and --station; nothing without --mqtt,
// and the reason (UTF-8) for settings that cannot work.
std::optional<readings::PlantLinkSettings> plantLinkSettings(const CommandLine& line, std::string& error) {
  if (line.mqtt.empty() && line.station.empty()) return std::nullopt;
  if (line.mqtt.empty()) {
    error = "opcja --station działa tylko z --mqtt";
    return std::nullopt;
  }
  readings::PlantLinkSettings base;
  base.station = platform::utf8ToCp1250(line.station);
  std::string why;
  std::optional<readings::PlantLinkSettings> settings =
      readings::parseMqttUrl(platform::utf8ToCp1250(line.mqtt), base, &why);
  if (settings) {
    if (std::optional<std::string> problem = readings::checkPlantLinkSettings(*settings)) why = *problem;
  }
  if (!why.empty()) {
    error = platform::cp1250ToUtf8(why);
    return std::nullopt;
  }
  return settings;
}

// Runs the loop until done() or ms have passed.
void runAtMost(platform::SystemEventLoop& loop, int ms, const std::function<bool()>& done) {
  const std::unique_ptr<platform::Timer> limit = loop.createTimer();
  bool over = false;
  limit->setOnTimer([&over] { over = true; });
  limit->setInterval(ms);
  loop.run([&] { return over || done(); });
}

void writeOut(std::FILE* file, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), file);
  std::fflush(file);
}

// Where the readings go: standard output with "\n" rows, for tools that read
// lines as they come; a --csv file as the window writes CSV files (CR LF).
class ReadingsSink {
 public:
  bool open(const std::string& csvPath) {
    if (csvPath.empty()) return true;
    file_.open(platform::pathFromUtf8(csvPath), std::ios::binary | std::ios::trunc);
    return file_.is_open();
  }
  const char* rowEnd() const { return file_.is_open() ? nullptr : "\n"; }
  void write(const std::string& cp1250) {
    const std::string text = platform::cp1250ToUtf8(cp1250);
    if (!file_.is_open()) return writeOut(stdout, text);
    file_ << text;
    file_.flush();
  }

 private:
  std::ofstream file_;
};

int runOrders(const CommandLine& line, const std::string& program) {
  Console console(stderr, line.quiet);
  // The orders file must be there and read as XML before anything opens.
  {
    platform::XmlDocument probe;
    if (!probe.load(line.orders)) {
      writeOut(stderr, program + ": nie można odczytać pliku rozkazów " + line.orders + "\n");
      return kWrongCommandLine;
    }
  }
  std::string linkError;
  const std::optional<readings::PlantLinkSettings> linkSettings = plantLinkSettings(line, linkError);
  if (!linkError.empty()) {
    writeOut(stderr, program + ": " + linkError + "\n");
    return kWrongCommandLine;
  }
  ReadingsSink sink;
  if (!sink.open(line.csv)) {
    writeOut(stderr, program + ": nie można utworzyć pliku " + line.csv + "\n");
    return kWrongCommandLine;
  }
  // Order times are read with the user's decimal separator, as in the window.
  automatic::useLocaleDecimalSeparator();
  platform::useUserMessageLanguage();
  serial::SetupComErrorMessages(
      platform::utf8Path(platform::catalogDirectory(platform::executableDirectory())));

  platform::SystemEventLoop loop;
  ConsoleDialogs dialogs(console);
  loop.setErrorReport([&console](const std::string& message) { console.tell(message); });
  // The bell of a "beep" order.
  platform::SetBeep([&console] { console.raw("\a"); });

  app::TForm1 form1({loop, dialogs, platform::settingsDirectory(platform::executableDirectory()), nullptr});
  form1.FormCreate();
  // The options of config.xml reach the menu's marks, which the byte
  // processor and the capture file read.
  form1.FormActivate();
  RunReport report(console);
  form1.WatchRun(&report);

  automatic::TForm2 form2(form1);
  form2.LoadXMLOrders(platform::utf8ToCp1250(line.orders));
  // The notification window of a "beep" order tells its text here; hidden
  // again at once, so that the next "beep" tells it again.
  automatic::TRemainingForm remainingForm(form1);
  remainingForm.BringToFront = [&console, &remainingForm] {
    console.tell(remainingForm.Label1.caption());
    remainingForm.setVisible(false);
  };

  // Each reading as a CSV row, the title row first.
  const readings::ReadingRows rows(readings::TextFlavour::CommaPoint, sink.rowEnd());
  std::string text;
  rows.appendTitle(text);
  sink.write(text);
  form1.Readings.onAdded = [&] {
    const readings::ReadingLog& log = form1.Readings;
    text.clear();
    rows.append(text, readings::FieldsOf(log, log.at(log.size() - 1)));
    sink.write(text);
  };

  // The window's plant link publishes what the journal commits: with the
  // settings of terso.ini, or of --mqtt and --station for this run.
  readings::PlantLink* plantLink = form1.ReadingsPlantLink.get();
  const bool publishing = plantLink && (linkSettings || form1.Settings->plantLink().enabled);
  if (plantLink) {
    plantLink->onStateChanged = [&console](readings::LinkState, const std::string& text) {
      console.progress("MQTT: " + text);
    };
    if (linkSettings) plantLink->start(*linkSettings);
  }

  // Ctrl+C and SIGTERM stop the run as the Stop button does; one before the
  // run has begun stops it too.
  bool stopRequested = false;
  platform::StopSignals stopSignals(loop, [&] {
    stopRequested = true;
    form1.Button6Click();
  });
  loop.post([&] {
    if (!stopRequested) form1.Automatyczny1Click();
  });
  loop.run([&] {
    return report.over() || (stopRequested && form1.Sequencer.state() != automatic::RunState::Running);
  });
  // The run ends with its last send: its reply still has the reply timeout
  // to come. A stopped run keeps only what is on its way now.
  const bool wasStopped = stopRequested;
  runAtMost(loop, report.over() == automatic::RunState::Ended ? app::kReplyTimeoutMs : kStoppedGraceMs,
            [&] { return stopRequested != wasStopped || form1.Bytes.replyCount() >= form1.SentCount; });
  // As "Koniec": the port closed, the capture file flushed and closed, no
  // settings written; the readings committed now, before anything else can
  // end the process (a closing console on Windows).
  form1.EndSession();
  // A stopped run ends at once: what the link has not published waits in the
  // journal.
  if (publishing && !stopRequested) {
    // Every reading is committed; the link publishes them unless stopped.
    // The link marks what the broker acknowledged without a word to the
    // loop: looked at now and then.
    const std::unique_ptr<platform::Timer> look = loop.createTimer();
    look->setOnTimer([] {});
    look->setInterval(50);
    runAtMost(loop, kPublishGraceMs,
              [&] { return stopRequested || form1.ReadingsJournal->unpublishedAfter(0, 1).empty(); });
  }
  form1.StopPlantLink();
  platform::SetBeep(nullptr);
  const bool ended = report.over() == automatic::RunState::Ended;
  return ended ? kRunEnded : kRunStopped;
}

}  // namespace

int Execute(const CommandLine& line, const std::string& program) {
  platform::useUtf8Console();
  switch (line.action) {
    case CommandLine::Action::Help:
      writeOut(stdout, HelpText(program));
      return 0;
    case CommandLine::Action::Version:
      writeOut(stdout, VersionText(program));
      return 0;
    case CommandLine::Action::Run:
      return runOrders(line, program);
    case CommandLine::Action::Window:
    case CommandLine::Action::Refused:
      break;
  }
  writeOut(stderr, program + ": " + line.error + "\n");
  return kWrongCommandLine;
}

}  // namespace app
