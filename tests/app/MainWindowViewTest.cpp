// The real main window on the offscreen platform: every control and menu item
// shows its caption, and the window its title.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "app/ProcessValues.h"
#include "app/TForm1.h"
#include "config/ConfigOptions.h"
#include "platform/Cp1250.h"
#include "platform/qt/QtEventLoop.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "ui/qt/FormWindow.h"

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

QString shownText(QWidget* w) {
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  return {};
}

TEST(MainWindowView, ShowsEveryCaptionAndTheTitle) {
  app::ResetProcessValues();
  config::ConfigOptions = {};
  platform::QtEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
  testing_support::TempDir dir;
  app::TForm1 form({loop, dialogs, dir.path(), [] {}});
  form.FormCreate();
  {
    ui::qt::FormWindow window(form, loop);
    window.show();
    QApplication::processEvents();

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
        {&form.Terso1, "P&ołączenie", ""},
        {&form.Tryb1, "&Tryb", ""},
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

}  // namespace
