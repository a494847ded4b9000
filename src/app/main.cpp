// The terminal's entry point: the application object, the main window, and the
// message loop until the window closes. The command line is read first: a
// run without a window, the help and the version need no display.
#include <QApplication>
#include <string>
#include <vector>

#include "app/TForm1.h"
#include "automatic/DecimalNumbers.h"
#include "automatic/TForm2.h"
#include "automatic/TRemainingForm.h"
#include "config/TConnectionForm.h"
#include "headless/CommandLine.h"
#include "app/HeadlessRun.h"
#include "platform/PathText.h"
#include "platform/ProgramDir.h"
#include "platform/Sound.h"
#include "platform/StopSignals.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtSessionEnd.h"
#include "readings/TResultsForm.h"
#include "serial/EComPort.h"
#include "ui/qt/Application.h"
#include "ui/qt/FormWindow.h"
#include "ui/qt/QtDialogs.h"
#include "ui/qt/WindowFront.h"

int main(int argc, char** argv) {
  const headless::CommandLine line =
      headless::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), true);
  if (line.action != headless::CommandLine::Action::Window) return app::Execute(line, "terso");
  QApplication application(argc, argv);
  // Order times are read with the user's decimal separator, read once here.
  automatic::useLocaleDecimalSeparator();
  ui::qt::loadPolishTranslations();
  // The serial texts' catalogs; QApplication has already taken the user's
  // locale, so they are Polish when the locale is.
  serial::SetupComErrorMessages(
      platform::utf8Path(platform::catalogDirectory(platform::executableDirectory())));
  platform::QtEventLoop loop;
  ui::qt::QtDialogs dialogs;
  ui::qt::installErrorReport(loop, dialogs);

  app::TForm1 form1(
      {loop, dialogs, platform::settingsDirectory(platform::executableDirectory()), ui::qt::endMessageLoop});
  form1.FormCreate();
  // The orders editor loads the orders file named in config.xml.
  automatic::TForm2 form2(form1);
  // Qt's cursor flash time is a whole period: shown, then hidden as long.
  form2.GetCaretBlinkTime = [] { return QApplication::cursorFlashTime() / 2; };
  form2.SetCaretBlinkTime = [](int ms) { QApplication::setCursorFlashTime(ms * 2); };
  form2.FormCreate();
  // The notification window of a "beep" order: a small dialog-style window on
  // white, hidden until an order shows it.
  platform::SetBeep([] { QApplication::beep(); });
  automatic::TRemainingForm remainingForm(form1);
  ui::qt::FormWindow remainingWindow(remainingForm, loop);
  remainingWindow.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  QPalette white = remainingWindow.palette();
  white.setColor(QPalette::Window, Qt::white);
  remainingWindow.setPalette(white);
  remainingForm.BringToFront = [&remainingWindow] {
    remainingWindow.raise();
    remainingWindow.activateWindow();
  };
  // The connection settings dialog, shown from the main menu.
  config::TConnectionForm connectionForm(form1.ConfigOptions, form1.ComPort1, form1.btnOpenPort, dialogs);
  form1.ConnectionForm = &connectionForm;
  // The readings window ("Tryb" -> "Wyniki"), hidden until asked for.
  readings::TResultsForm resultsForm(form1.Readings, loop, dialogs);
  resultsForm.FastWriteActive = [&form1] { return form1.Capture.fastWriteActive(); };
  form1.ResultsForm = &resultsForm;
  resultsForm.attach(form1.ReadingsJournal.get(), form1.Settings.get(), form1.ReadingsPlantLink.get());
  ui::qt::FormWindow resultsWindow(resultsForm, loop);
  resultsForm.BringToFront = [&resultsWindow] { ui::qt::bringToFront(resultsWindow); };
  ui::qt::FormWindow window(form1, loop);
  // A signal or the end of the Windows session ends the program as "Koniec"
  // does: the capture file flushed and closed, the readings committed.
  platform::StopSignals sessionEnd(loop, [&form1] { form1.EndSession(); });
  platform::QtSessionEnd windowsSessionEnd([&form1] { form1.EndSession(); });
  window.show();
  return QApplication::exec();
}
