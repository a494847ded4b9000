// The real main window on the offscreen platform: captions, the menu's option
// toggles across activations, the way out by "Koniec", the orders file's item
// and the Alt keys.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>

#include "app/TForm1.h"
#include "automatic/TForm2.h"
#include "config/TConnectionForm.h"
#include "platform/Cp1250.h"
#include "platform/qt/QtEventLoop.h"
#include "serial/ComSetupForm.h"
#include "support/Pty.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "ui/qt/Application.h"
#include "ui/qt/FormDialog.h"
#include "ui/qt/FormWindow.h"

namespace {

QString u(const char* utf8) {
  return QString::fromUtf8(utf8);
}

QString shownText(QWidget* w) {
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  return {};
}

struct MainWindowView : ::testing::Test {
  ~MainWindowView() override {
    window.reset();
    form1.reset();
  }

  // The main window as the program builds it, shown and activated.
  void start(std::function<void()> terminate = [] {}) {
    form1 = std::make_unique<app::TForm1>(
        app::MainWindowServices{loop, dialogs, dir.path(), std::move(terminate)});
    form1->FormCreate();
    window = std::make_unique<ui::qt::FormWindow>(*form1, loop);
    window->show();
    QApplication::processEvents();
    activate();
  }

  // The window gets the focus back, as after a dialog.
  void activate() {
    QEvent event(QEvent::WindowActivate);
    QApplication::sendEvent(window.get(), &event);
    QApplication::processEvents();
  }

  QWidget* widget(const ui::Control& control) { return window->widgetFor(control); }

  // Serves the Qt loop until done (a button's key click lands after its
  // animation); the limit only bounds a failing test.
  static bool serveUntil(const std::function<bool()>& done) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < 5000) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return done();
  }

  platform::QtEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
  testing_support::TempDir dir;
  std::unique_ptr<app::TForm1> form1;
  std::unique_ptr<ui::qt::FormWindow> window;
};

TEST_F(MainWindowView, ShowsEveryCaptionAndTheTitle) {
  start();
  app::TForm1& form = *form1;
  {
    ui::qt::FormWindow& window = *this->window;

    EXPECT_EQ(window.windowTitle(), u("Komunikacja przez złącze szeregowe RS-232 v9E"));

    const std::pair<const ui::Control*, const char*> captions[] = {
        {&form.StaticText1, "ASCII"},
        {&form.StaticText2, "HEX"},
        {&form.StaticText3, "Znaki do wysłania"},
        {&form.btnWyslij, "Wyślij z&naki"},
        {&form.CheckBox1, "CR/LF"},
        {&form.btnOpenPort, "&Otwórz port"},
        {&form.StaticText4, "Komunikaty o błędach"},
        {&form.CheckBox2, "Wyłączone"},
        {&form.CheckBox3, "Włączony czas odpowiedzi"},
        {&form.Button3, "&Wyczyść okna"},
        {&form.Button4, "&Tylko ASCII"},
        {&form.Button5, "Minimalizuj okna"},
        {&form.Button6, "Stop"},
        {&form.LabelFileName, "Nie wybrano pliku"},
        {&form.rgWindRowsString, "Ciąg zawijania wierszy"},
        {&form.btnTibboON, "Włącz Tibbo"},
        {&form.btnTibboOFF, "Wyłącz Tibbo"},
        {&form.Label1, "-"},
    };
    for (const auto& [control, caption] : captions) {
      QWidget* w = window.widgetFor(*control);
      ASSERT_NE(w, nullptr) << control->name();
      EXPECT_EQ(shownText(w), u(caption)) << control->name();
    }
    // The state display has replaced the design-time "LabelConnection".
    EXPECT_EQ(shownText(window.widgetFor(form.LabelConnection)),
              QString::fromUtf8(platform::cp1250ToUtf8(form.LabelConnection.caption()).c_str()));

    auto* group = window.widgetFor(form.rgWindRowsString);
    const auto radios = group->findChildren<QRadioButton*>();
    ASSERT_EQ(radios.size(), 2);
    EXPECT_EQ(radios[0]->text(), u("znak początku wiersza"));
    EXPECT_EQ(radios[1]->text(), u("znak końca wiersza"));
    EXPECT_TRUE(radios[0]->isChecked());

    EXPECT_FALSE(window.widgetFor(form.Button6)->isVisibleTo(&window));
    EXPECT_TRUE(window.widgetFor(form.Memo2)->isVisibleTo(&window));

    const std::tuple<const ui::MenuItem*, const char*, const char*> items[] = {
        {&form.Plik1, "&Plik", ""},
        {&form.Koniec1, "Koniec", "Ctrl+X"},
        {&form.DrukujASCII1, "Drukuj  ", "Ctrl+D"},
        {&form.DrukujHEX1, "Zapisz wszystko", "Ctrl+S"},
        {&form.Otwrz1, "Otwórz", "Ctrl+O"},
        {&form.Importuj1, "Importuj", "Ctrl+I"},
        {&form.WindRows, "Zawijaj wiersze", ""},
        {&form.ZapiszASCII, "Zapisz ASCII", ""},
        {&form.InsertTime, "Wstawiaj czas", ""},
        {&form.ChangePointToColon, "Zamieniaj '.' na ','", ""},
        {&form.FastWrite, "Szybki zapis", ""},
        // The buttons "&Otwórz port" and "&Tylko ASCII" take Alt+O and Alt+T.
        {&form.Terso1, "Połączenie", ""},
        {&form.Tryb1, "Tryb", ""},
        {&form.Ustaw1, "Ustaw", "Ctrl+U"},
        {&form.Automatyczny1, "Pomiar Automatyczny", "Ctrl+A"},
        {&form.PomiarRczny1, "Pomiar Ręczny", "Ctrl+R"},
    };
    for (const auto& [item, caption, shortcut] : items) {
      QAction* action = window.actionFor(*item);
      ASSERT_NE(action, nullptr) << item->name();
      EXPECT_EQ(action->text(), u(caption)) << item->name();
      EXPECT_EQ(action->shortcut().toString(), u(shortcut)) << item->name();
    }
    EXPECT_TRUE(window.actionFor(form.ZapiszASCII)->isChecked());
  }
}

// Each toggle keeps its new state through any later activation (a dialog
// closed, a message box answered) and the close saves it; so do the wrap
// character and position.
TEST_F(MainWindowView, OptionChangesOutliveActivationAndReachConfigXml) {
  start();
  app::TForm1& form = *form1;
  for (const ui::MenuItem* item :
       {&form.WindRows, &form.ZapiszASCII, &form.InsertTime, &form.ChangePointToColon, &form.FastWrite})
    window->actionFor(*item)->trigger();
  auto* wrapChar = qobject_cast<QLineEdit*>(widget(form.EditWindRowsString));
  ASSERT_NE(wrapChar, nullptr);
  wrapChar->selectAll();
  QTest::keyClicks(wrapChar, "#");
  const auto radios = widget(form.rgWindRowsString)->findChildren<QRadioButton*>();
  ASSERT_EQ(radios.size(), 2);
  QTest::mouseClick(radios[1], Qt::LeftButton);
  QApplication::processEvents();

  activate();
  activate();
  const std::pair<const ui::MenuItem*, bool> marks[] = {{&form.WindRows, true},
                                                        {&form.ZapiszASCII, false},
                                                        {&form.InsertTime, true},
                                                        {&form.ChangePointToColon, true},
                                                        {&form.FastWrite, true}};
  for (const auto& [item, checked] : marks) {
    EXPECT_EQ(item->checked(), checked) << item->name();
    EXPECT_EQ(window->actionFor(*item)->isChecked(), checked) << item->name();
  }
  EXPECT_EQ(wrapChar->text(), "#");
  EXPECT_TRUE(radios[1]->isChecked());
  // Time stamps still start the rows.
  form.ProcessReceived("7\n", 2);
  EXPECT_EQ(form.Memo1.text().find(':'), 2u) << form.Memo1.text();

  window->close();
  QApplication::processEvents();
  const std::string saved = testing_support::TempDir::read(dir / "config.xml");
  for (const char* element :
       {"<WindRow>Yes<", "<SaveASCII>No<", "<InsertTime>Yes<", "<ChangePointToColon>Yes<", "<FastWrite>Yes<",
        "<WindRowChar>#<", "<WindRowMode>1<"})
    EXPECT_NE(saved.find(element), std::string::npos) << element << "\n" << saved;
}

// Ctrl+X, typed in the send line, ends the program as its main does: the
// message loop returns and neither config.xml nor "Kestrel.ini" is written,
// whether they were there or not.
TEST_F(MainWindowView, KoniecEndsTheLoopWritingNeitherFile) {
  for (const bool filesThere : {true, false}) {
    SCOPED_TRACE(filesThere ? "files there" : "no files");
    const auto config = dir / "config.xml";
    const auto ini = dir / "Kestrel.ini";
    std::filesystem::remove(config);
    std::filesystem::remove(ini);
    if (filesThere) {
      testing_support::TempDir::write(config, "<?xml version=\"1.0\"?>\n<TersoConfig/>\n");
      testing_support::TempDir::write(ini, "[ComPort1]\r\nBaudRate=19200\r\n");
    }
    start(ui::qt::endMessageLoop);
    window->actionFor(form1->InsertTime)->trigger();
    QWidget* sendLine = widget(form1->Edit1);
    sendLine->setFocus();
    QTimer::singleShot(0, sendLine,
                       [sendLine] { QTest::keyClick(sendLine, Qt::Key_X, Qt::ControlModifier); });
    // Bounds a failing run only.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    guard.start(10000);
    EXPECT_EQ(QApplication::exec(), 0);
    // As main goes on: the windows are destroyed, never closed.
    window.reset();
    form1.reset();
    QApplication::processEvents();
    if (filesThere) {
      EXPECT_EQ(testing_support::TempDir::read(config), "<?xml version=\"1.0\"?>\n<TersoConfig/>\n");
      EXPECT_EQ(testing_support::TempDir::read(ini), "[ComPort1]\r\nBaudRate=19200\r\n");
    } else {
      EXPECT_FALSE(std::filesystem::exists(config));
      EXPECT_FALSE(std::filesystem::exists(ini));
    }
  }
}

// The orders file's item on the menu bar shows its picture and the name,
// ampersand and all, and a click on it runs the item.
TEST_F(MainWindowView, OrdersFileItemShowsItsPictureAndTheFileName) {
  start();
  form1->ConfigOptions.OrdersFileName = "a&b zlecenia.xml";
  activate();
  QAction* item = window->actionFor(form1->Plikrozkazow1);
  ASSERT_NE(item, nullptr);
  EXPECT_FALSE(item->icon().isNull());
  EXPECT_EQ(item->text(), "a&&b zlecenia.xml");
  QMenuBar* bar = window->menuBar();
  const QRect place = bar->actionGeometry(item);
  EXPECT_GT(place.width(), bar->fontMetrics().horizontalAdvance("a&b zlecenia.xml") + 16);
  EXPECT_EQ(bar->actionAt(place.center()), item);
  // The caption and the picture are painted: the item's area holds more than
  // the picture's colours.
  const QImage shot = bar->grab(place).toImage();
  std::set<QRgb> colours;
  for (int x = place.width() / 2; x < shot.width(); ++x)
    for (int y = 0; y < shot.height(); ++y) colours.insert(shot.pixel(x, y));
  EXPECT_GT(colours.size(), 2u) << "no caption drawn right of the picture";

  int opened = 0;
  form1->Ustaw1.onClick = [&] { ++opened; };
  QTest::mouseClick(bar, Qt::LeftButton, {}, place.center());
  QApplication::processEvents();
  EXPECT_EQ(opened, 1);
}

// The Alt keys of the captions, each claimed once in the window: the buttons
// take Alt+O and Alt+T over the menus "Połączenie" and "Tryb", which stay
// reachable by Alt and the arrow keys; an Alt key nothing takes types nothing;
// a long paste is taken whole.
TEST_F(MainWindowView, EachAltKeyDoesOneThing) {
  testing_support::Pty scale;
  testing_support::TempDir::write(dir / "Kestrel.ini", "[Devices]\r\nCOM1=" + scale.slavePath() + "\r\n");
  start();
  app::TForm1& form = *form1;

  QWidget* focused = QApplication::focusWidget();
  ASSERT_EQ(focused, widget(form.btnOpenPort));
  QTest::keyClick(focused, Qt::Key_O, Qt::AltModifier);
  EXPECT_TRUE(serveUntil([&] { return form.ComPort1.connected(); }));
  EXPECT_EQ(form.btnOpenPort.caption(), platform::pl("&Zamknij port"));
  QTest::keyClick(focused, Qt::Key_Z, Qt::AltModifier);
  EXPECT_TRUE(serveUntil([&] { return !form.ComPort1.connected(); }));

  // A long paste goes into the send line whole: nothing is cut.
  auto* sendLine = qobject_cast<QLineEdit*>(widget(form.Edit1));
  ASSERT_NE(sendLine, nullptr);
  sendLine->setFocus();
  QString pasted;
  for (int i = 0; i < 12100; ++i) pasted += QStringLiteral("$53$49$0D");
  pasted += QStringLiteral("0");
  QApplication::clipboard()->setText(pasted);
  QTest::keyClick(sendLine, Qt::Key_V, Qt::ControlModifier);
  QApplication::processEvents();
  EXPECT_EQ(form.Edit1.text().size(), 108901u);
  sendLine->clear();

  // An Alt key that no caption takes types nothing into the send line, with
  // the port closed (Alt+Z) or open (Alt+O); AltGr (Ctrl+Alt on Windows, a
  // group switch on X11) still types Polish letters.
  QTest::keyClicks(sendLine, "SI");
  QTest::keyClick(sendLine, Qt::Key_Z, Qt::AltModifier);
  QTest::keyClick(sendLine, Qt::Key_Q, Qt::AltModifier | Qt::ShiftModifier);
  QTest::sendKeyEvent(QTest::Click, sendLine, Qt::Key_A, u("ą"), Qt::ControlModifier | Qt::AltModifier);
  QTest::sendKeyEvent(QTest::Click, sendLine, Qt::Key_L, u("ł"), Qt::GroupSwitchModifier);
  QApplication::processEvents();
  EXPECT_EQ(sendLine->text(), u("SIął"));
  EXPECT_EQ(form.Edit1.text(), platform::pl("SIął"));
  EXPECT_FALSE(form.ComPort1.connected());
  QTest::keyClick(focused, Qt::Key_O, Qt::AltModifier);
  EXPECT_TRUE(serveUntil([&] { return form.ComPort1.connected(); }));
  QTest::keyClick(sendLine, Qt::Key_O, Qt::AltModifier);
  QApplication::processEvents();
  EXPECT_EQ(sendLine->text(), u("SIął"));
  EXPECT_TRUE(form.ComPort1.connected());
  QTest::keyClick(sendLine, Qt::Key_Z, Qt::AltModifier);
  EXPECT_TRUE(serveUntil([&] { return !form.ComPort1.connected(); }));
  EXPECT_EQ(sendLine->text(), u("SIął"));

  QTest::keyClick(focused, Qt::Key_T, Qt::AltModifier);
  EXPECT_TRUE(serveUntil([&] { return form.Button4.caption() == platform::pl("&ASCII+HEX"); }));
  EXPECT_EQ(window->menuBar()->activeAction(), nullptr);

  // Alt pressed and released, then the arrows: the menus one after another.
  QTest::keyClick(focused, Qt::Key_Alt);
  EXPECT_EQ(window->menuBar()->activeAction(), window->actionFor(form.Plik1));
  QTest::keyClick(window->menuBar(), Qt::Key_Right);
  QTest::keyClick(window->menuBar(), Qt::Key_Right);
  EXPECT_EQ(window->menuBar()->activeAction(), window->actionFor(form.Tryb1));
  QTest::keyClick(window->menuBar(), Qt::Key_Escape);

  // Every window of the program: no Alt key claimed twice.
  automatic::TForm2 editor(form);
  editor.FormCreate();
  config::TConnectionForm connection(form.ConfigOptions, form.ComPort1, form.btnOpenPort, dialogs);
  serial::TComSetupFrm setup("", "");
  ui::qt::FormWindow editorWindow(editor, loop);
  ui::qt::FormDialog connectionDialog(connection, loop);
  ui::qt::FormDialog setupDialog(setup, loop);
  for (QWidget* shown :
       std::initializer_list<QWidget*>{window.get(), &editorWindow, &connectionDialog, &setupDialog}) {
    std::set<int> claimed;
    auto claim = [&](const QString& caption) {
      const QKeySequence key = QKeySequence::mnemonic(caption);
      if (!key.isEmpty()) {
        EXPECT_TRUE(claimed.insert(key[0].toCombined()).second)
            << caption.toStdString() << " in " << shown->objectName().toStdString();
      }
    };
    for (QAbstractButton* b : shown->findChildren<QAbstractButton*>()) claim(b->text());
    for (QMenuBar* bar : shown->findChildren<QMenuBar*>())
      for (QAction* menu : bar->actions()) claim(menu->text());
  }
}

}  // namespace
