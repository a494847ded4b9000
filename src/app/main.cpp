// The terminal's entry point: the application object, the main window, and the
// message loop until the window closes.
#include <QApplication>

#include "app/TForm1.h"
#include "automatic/TForm2.h"
#include "platform/ProgramDir.h"
#include "platform/qt/QtEventLoop.h"
#include "ui/qt/FormWindow.h"
#include "ui/qt/QtDialogs.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  platform::QtEventLoop loop;
  ui::qt::QtDialogs dialogs;
  ui::qt::installErrorReport(loop, dialogs);

  app::TForm1 form1({loop, dialogs, platform::settingsDirectory(platform::executableDirectory()), [] { QApplication::quit(); }});
  form1.FormCreate();
  // The orders editor loads the orders file named in config.xml.
  automatic::TForm2 form2(form1);
  // Qt's cursor flash time is a whole period: shown, then hidden as long.
  form2.GetCaretBlinkTime = [] { return QApplication::cursorFlashTime() / 2; };
  form2.SetCaretBlinkTime = [](int ms) { QApplication::setCursorFlashTime(ms * 2); };
  form2.FormCreate();
  ui::qt::FormWindow window(form1, loop);
  window.show();
  return QApplication::exec();
}
