// The orders editor window opened from the main window's menu: saving with
// validation, cancelling, opening another orders file, the capture file
// handed back on closing, the help text, the caret blink time and F1 to F12.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/TForm1.h"
#include "automatic/EditorFixture.h"
#include "platform/Cp1250.h"
#include "platform/WholeNumbers.h"

namespace automatic_test {
namespace {

using platform::pl;
// The editor on the main window, whose serial port is COM3.
struct OrdersEditorTest : EditorFixtureOn<app::TForm1> {
  OrdersEditorTest() { form1.ComPort1.setPort("COM3"); }
};

const std::string kTwoOrders =
    "<Rozkazy><Rozkaz><Rozkaz>A</Rozkaz><Czas>1</Czas></Rozkaz>"
    "<Rozkaz><Rozkaz>B</Rozkaz><Czas>2</Czas></Rozkaz></Rozkazy>";

TEST_F(OrdersEditorTest, CreationWritesTheTitlesAndLoadsTheConfiguredFile) {
  write("orders.xml", kTwoOrders);
  form1.ConfigOptions.OrdersFileName = path("orders.xml");
  form2.FormCreate();
  EXPECT_EQ(form2.StringGrid1.rowCells(0),
            (Row{"Nr/F", "Rozkaz", "Czas", "Jedn.", "L.pom.", "COM/Adres IP", pl("Prędk./Port")}));
  EXPECT_EQ(rows(),
            (std::vector<Row>{{"1", "A", "1", "s", "1", "3", ""}, {"2", "B", "2", "s", "1", "3", ""}}));
  EXPECT_EQ(form2.LabelOrdersFileName.caption(), path("orders.xml"));
  EXPECT_EQ(form2.StringGrid1.colWidth(1), 172);
  EXPECT_EQ(form2.StringGrid1.defaultRowHeight(), 18);
}

TEST_F(OrdersEditorTest, ZapiszValidatesSavesAndClosesAndTheListComesBackNumberedByPosition) {
  write("orders.xml", kTwoOrders);
  form1.ConfigOptions.OrdersFileName = path("orders.xml");
  form2.FormCreate();

  // An invalid cell keeps the window open on it.
  dialogs.onModal = [&](ui::Form&) {
    form2.StringGrid1.setCell(automatic::colUnit, 2, "min");
    form2.Button1.click();
    EXPECT_EQ(form2.modalResult(), ui::ModalResult::None);
    EXPECT_EQ(form2.StringGrid1.row(), 2);
    EXPECT_EQ(form2.StringGrid1.col(), automatic::colUnit);
    // Renumbered by hand, then saved.
    form2.StringGrid1.setCell(automatic::colUnit, 2, "h");
    form2.StringGrid1.setCell(automatic::colNumber, 1, "7");
    form2.StringGrid1.setCell(automatic::colNumber, 2, "3");
    form2.Button1.click();
    EXPECT_EQ(form2.modalResult(), ui::ModalResult::Ok);
    return ui::ModalResult::Cancel;
  };
  form1.Ustaw1.click();
  ASSERT_EQ(dialogs.messages.size(), 1u);
  // The message names the field by its title and the order by its number.
  EXPECT_EQ(dialogs.messages[0].text,
            pl("Jedno z pól zawiera błędną wartość.") + "\r\n" + pl("Pole „Jedn.” rozkazu nr 2."));
  EXPECT_EQ(dialogs.messages[0].title, pl("Błędna wartość"));
  EXPECT_EQ(dialogs.messages[0].icon, ui::MessageIcon::Information);
  EXPECT_EQ(dialogs.messages[0].buttons, ui::MessageButton::Ok);
  EXPECT_EQ(dialogs.modalForms, std::vector<std::string>{"Form2"});
  // The blank speeds were saved as 4800.
  EXPECT_EQ(rows(), (std::vector<Row>{{"1", "A", "1", "s", "1", "3", "4800"},
                                      {"2", "B", "2", "h", "1", "3", "4800"}}));
  EXPECT_NE(read("orders.xml").find("<Jedn.>h</Jedn.>"), std::string::npos);
  EXPECT_EQ(form1.Plikrozkazow1.caption(), path("orders.xml"));
}

TEST_F(OrdersEditorTest, AnulujDropsTheEditsAndAnOpenedFileStaysTheOrdersFile) {
  write("orders.xml", kTwoOrders);
  write("other.xml", "<Rozkazy><Rozkaz><Rozkaz>Z</Rozkaz></Rozkaz></Rozkazy>");
  form1.ConfigOptions.OrdersFileName = path("orders.xml");
  form2.FormCreate();

  dialogs.onModal = [&](ui::Form&) {
    form2.StringGrid1.setCell(automatic::colOrder, 1, "edited");
    form2.BitBtnAdd.click();
    form2.Button2.click();
    return ui::ModalResult::Cancel;
  };
  form1.Ustaw1.click();
  EXPECT_EQ(rows(),
            (std::vector<Row>{{"1", "A", "1", "s", "1", "3", ""}, {"2", "B", "2", "s", "1", "3", ""}}));

  dialogs.fileAnswers = {path("other.xml")};
  dialogs.onModal = [&](ui::Form&) {
    form2.SpeedButtonOpen.click();
    EXPECT_EQ(rows(), (std::vector<Row>{{"1", "Z", "5", "s", "1", "3", ""}}));
    return ui::ModalResult::Cancel;  // the close box
  };
  form1.Plikrozkazow1.click();
  ASSERT_EQ(dialogs.fileRequests.size(), 1u);
  EXPECT_EQ(dialogs.fileRequests[0].filter, pl("Plik rozkazów (*.xml)|*.xml|Wszystkie pliki (*.*)|*.*"));
  EXPECT_EQ(dialogs.fileRequests[0].defaultExt, "xml");
  EXPECT_EQ(form1.ConfigOptions.OrdersFileName, path("other.xml"));
  EXPECT_EQ(form1.Plikrozkazow1.caption(), path("other.xml"));
  EXPECT_EQ(rows(), (std::vector<Row>{{"1", "Z", "5", "s", "1", "3", ""}}));
}

TEST_F(OrdersEditorTest, TheSaveIconRefusesAnEmptyListAndSavesUnderANewNameWithoutValidating) {
  form2.FormCreate();  // no orders file configured
  dialogs.onModal = [&](ui::Form&) {
    form2.SpeedButtonSave.click();
    form2.Button1.click();  // the blank list is invalid too
    form2.BitBtnAdd.click();
    form2.StringGrid1.setCell(automatic::colUnit, 1, "x");
    dialogs.fileAnswers = {path("saved.xml")};
    form2.SpeedButtonSave.click();
    return ui::ModalResult::Cancel;
  };
  form1.Ustaw1.click();
  ASSERT_EQ(dialogs.messages.size(), 2u);
  EXPECT_EQ(dialogs.messages[0].text, pl("Brak rozkazów do zapisu"));
  EXPECT_EQ(dialogs.messages[0].title, "Uwaga");
  // An order without a number is named by its row.
  EXPECT_EQ(dialogs.messages[1].text,
            pl("Jedno z pól zawiera błędną wartość.") + "\r\n" + pl("Pole „Nr/F” w wierszu 1."));
  EXPECT_EQ(dialogs.fileRequests.size(), 1u);
  EXPECT_NE(read("saved.xml").find("<Jedn.>x</Jedn.>"), std::string::npos);
  EXPECT_EQ(form1.ConfigOptions.OrdersFileName, path("saved.xml"));
  // Closing reloaded the saved file.
  EXPECT_EQ(rows(), (std::vector<Row>{{"1", "SI", "5", "x", "1", "3", "4800"}}));
}

TEST_F(OrdersEditorTest, TheCaptureFileChosenHereReachesTheMainWindowOnClosing) {
  form2.FormCreate();
  form1.Capture.choose("C:\\stary.txt");
  form1.LabelFileName.setFontColor(ui::Color::Green);
  dialogs.fileAnswers = {std::string("C:\\pomiary\\wynik.csv")};
  dialogs.onModal = [&](ui::Form&) {
    EXPECT_EQ(form2.LabelFileName.caption(), "C:\\stary.txt");
    EXPECT_EQ(form2.LabelFileName.font().color, ui::Color::Green);
    form2.BitBtnSaveToFile.click();
    // Not yet in the main window.
    EXPECT_EQ(form1.LabelFileName.caption(), "C:\\stary.txt");
    return ui::ModalResult::Cancel;
  };
  form1.Ustaw1.click();
  ASSERT_EQ(dialogs.fileRequests.size(), 1u);
  EXPECT_EQ(dialogs.fileRequests[0].fileName, "C:\\stary.txt");
  EXPECT_EQ(dialogs.fileRequests[0].defaultExt, "txt");
  EXPECT_EQ(dialogs.fileRequests[0].filter, "pliki tekstowe|*.txt|wszystkie pliki|*.*");
  EXPECT_EQ(form1.LabelFileName.caption(), "C:\\pomiary\\wynik.txt");
  EXPECT_EQ(form1.LabelFileName.font().color, ui::Color::Black);

  // A name that starts with "." chooses none; the orders filter comes back
  // for the save icon, with the last name the dialog was given.
  dialogs.fileAnswers = {std::string(".txt")};
  dialogs.onModal = [&](ui::Form&) {
    form2.BitBtnSaveToFile.click();
    form2.BitBtnAdd.click();
    form2.SpeedButtonSave.click();
    return ui::ModalResult::Cancel;
  };
  form1.Ustaw1.click();
  EXPECT_EQ(form1.LabelFileName.caption(), "Nie wybrano pliku");
  EXPECT_EQ(form1.LabelFileName.font().color, ui::Color::Red);
  ASSERT_EQ(dialogs.fileRequests.size(), 3u);
  EXPECT_EQ(dialogs.fileRequests[2].fileName, ".txt");
  EXPECT_EQ(dialogs.fileRequests[2].defaultExt, "xml");

  form1.Capture.choose("C:\\a.txt");
  dialogs.onModal = [&](ui::Form&) {
    form2.BitBtnClearFile.click();
    return ui::ModalResult::Cancel;
  };
  form1.Ustaw1.click();
  EXPECT_EQ(form1.LabelFileName.caption(), "Nie wybrano pliku");
}

TEST_F(OrdersEditorTest, TheHelpTextIsTwentySixLinesEachEndedByCrLf) {
  form2.SpeedButton1.click();
  ASSERT_EQ(dialogs.messages.size(), 1u);
  const auto& m = dialogs.messages[0];
  EXPECT_EQ(m.title, "Rozkazy specjalne i parametry");
  EXPECT_EQ(m.icon, ui::MessageIcon::Information);
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t end; (end = m.text.find("\r\n", from)) != std::string::npos; from = end + 2)
    lines.push_back(m.text.substr(from, end - from));
  EXPECT_EQ(from, m.text.size());
  ASSERT_EQ(lines.size(), 26u);
  EXPECT_EQ(lines[0], pl("Lista rozkazów specjalnych i parametrów."));
  EXPECT_EQ(lines[2], pl("    - Nr/F - numer porządkowy rozkazu "));
  EXPECT_EQ(lines[3], pl("    - Rozkaz - ciąg rozkazu "));
  EXPECT_EQ(lines[8], pl("    - Prędkosć - prędkość COM, możliwe wartości:"));
  EXPECT_EQ(lines[9], "        4800,9600,19200,38400,57600,115200");
  EXPECT_EQ(lines[10], "");
  EXPECT_EQ(lines[16], pl("repeat - powtarza sekwencję rozkazów zadaną ilośc razy"));
  EXPECT_EQ(lines[25], pl("    - L.pom. - liczba generowanych sygnałów"));
}

TEST_F(OrdersEditorTest, EditingSetsTheCaretBlinkTimeAndLeavingTheGridPutsItBack) {
  int blink = 265;
  std::vector<int> set;
  form2.GetCaretBlinkTime = [&] { return blink; };
  form2.SetCaretBlinkTime = [&](int ms) {
    set.push_back(ms);
    blink = ms;
  };
  // Leaving without an edit touches nothing.
  form2.StringGrid1.exit();
  EXPECT_TRUE(set.empty());
  form2.StringGrid1.editCell(1, 1, "S");
  form2.StringGrid1.editCell(1, 1, "SI");
  form2.StringGrid1.exit();
  EXPECT_EQ(set, (std::vector<int>{500, 500, 265}));
  EXPECT_EQ(blink, 265);
  // Closing the window while editing puts it back too.
  form2.StringGrid1.editCell(1, 1, "SIX");
  form2.FormClose();
  EXPECT_EQ(blink, 265);
}

TEST_F(OrdersEditorTest, FunctionKeysOfTheMainWindowReadTheGrid) {
  fill({{"12", "A", "5", "s", "1", "", ""}, {"2", "B", "5", "s", "1", "", ""}});
  std::vector<app::TForm1::OrderKeyRow> keyRows = form1.orderListRows();
  ASSERT_EQ(keyRows.size(), 2u);
  EXPECT_EQ(keyRows[0].number, "12");
  EXPECT_EQ(keyRows[1].order, "B");
  // An empty list: the empty number is no whole number.
  fill({});
  EXPECT_THROW(form1.FormKeyDown(ui::kKeyF1), platform::ConversionError);
}

TEST(OrdersEditorWiringTest, TheEditorUnwiresItselfWhenItGoes) {
  platform::ManualEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
  testing_support::TempDir dir;
  app::TForm1 form1{app::MainWindowServices{loop, dialogs, dir.path(), [] {}}};
  {
    automatic::TForm2 form2{form1};
    EXPECT_EQ(form1.Form2, &form2);
  }
  EXPECT_EQ(form1.Form2, nullptr);
  EXPECT_FALSE(form1.orderListRows);
  form1.Ustaw1.click();
  EXPECT_TRUE(dialogs.modalForms.empty());
}

}  // namespace
}  // namespace automatic_test
