// The long-run driver: the real main window, orders editor and notification
// window on the offscreen platform run an automatic measurement at 10 orders
// a second against a pretend scale (started by scripts/longrun.sh) and capture
// every reply in a file. The panes keep all they are given until cleared, so
// the driver clears them once a minute as an operator would; anything that
// still grows is a leak. At the end it prints the sent and reply counts.
//
//   long_run DEVICE CAPTURE_FILE SECONDS [CLEAR_EVERY_SECONDS (60)]
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/TForm1.h"
#include "automatic/DecimalNumbers.h"
#include "automatic/Sequencer.h"
#include "automatic/TForm2.h"
#include "automatic/TRemainingForm.h"
#include "platform/Sound.h"
#include "platform/qt/QtEventLoop.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "ui/qt/FormWindow.h"

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: long_run DEVICE CAPTURE_FILE SECONDS [CLEAR_EVERY_SECONDS]\n");
    return 2;
  }
  const std::string device = argv[1];
  const std::string capture = argv[2];
  const int seconds = std::atoi(argv[3]);
  const int clearEvery = argc == 5 ? std::atoi(argv[4]) : 60;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);

  automatic::setDecimalSeparator('.');
  platform::SetBeep([] {});
  testing_support::TempDir dir;
  testing_support::TempDir::write(dir / "Kestrel.ini", "[Devices]\r\nCOM7=" + device + "\r\n");
  platform::QtEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
  loop.setErrorReport([&](const std::string& m) { dialogs.showError(m); });

  // The orders file, saved by an editor as the operator would: the capture
  // file, then "SI" every 100 ms until stopped.
  const std::string orders = (dir / "rozkazy.xml").string();
  {
    app::TForm1 scratch({loop, dialogs, dir.path(), [] {}});
    automatic::TForm2 editor(scratch);
    editor.FormCreate();
    const std::vector<std::vector<std::string>> rows = {{"1", "file", "0.1", "s", "1", capture, ""},
                                                        {"2", "SI", "0.1", "s", "1", "7", "9600"},
                                                        {"3", "repeat", "2", "s", "0", "", ""}};
    editor.StringGrid1.setRowCount(static_cast<int>(rows.size()) + 1);
    for (std::size_t i = 0; i < rows.size(); ++i)
      editor.StringGrid1.setRowCells(static_cast<int>(i) + 1, rows[i]);
    editor.SaveXMLOrders(orders);
  }

  app::TForm1 form1({loop, dialogs, dir.path(), [] {}});
  form1.FormCreate();
  form1.ConfigOptions.OrdersFileName = orders;
  automatic::TForm2 form2(form1);
  form2.FormCreate();
  automatic::TRemainingForm remaining(form1);
  ui::qt::FormWindow remainingWindow(remaining, loop);
  remaining.BringToFront = [] {};
  ui::qt::FormWindow window(form1, loop);
  window.show();

  form1.Automatyczny1.click();
  QTimer clearPanes;
  QObject::connect(&clearPanes, &QTimer::timeout, [&] { form1.Button3.click(); });
  clearPanes.start(std::max(clearEvery, 1) * 1000);
  // Stop, then a second for the last reply to arrive and be written.
  QTimer::singleShot(seconds * 1000, [&] {
    form1.Button6.click();
    QTimer::singleShot(1000, [] { QApplication::quit(); });
  });
  QApplication::exec();

  std::printf("sent %d replies %d errors %zu messages %zu\n", static_cast<int>(form1.SentCount),
              static_cast<int>(form1.Bytes.replyCount()), dialogs.errors.size(), dialogs.messages.size());
  for (const auto& e : dialogs.errors) std::printf("error: %s\n", e.c_str());
  for (const auto& m : dialogs.messages) std::printf("message: %s\n", m.text.c_str());
  std::fflush(stdout);
  return 0;
}
