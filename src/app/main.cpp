// The terminal's entry point: the application object, the main window, and the
// message loop until the window closes.
#include <QApplication>

#include "app/TForm1.h"
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
  ui::qt::FormWindow window(form1, loop);
  window.show();
  return QApplication::exec();
}
