#include "automatic/TForm2.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "automatic/CaptureFileName.h"
#include "platform/Cp1250.h"
#include "platform/WholeNumbers.h"

namespace automatic {

using platform::pl;

namespace {

// The caret blink time while a cell is edited.
constexpr int kEditingCaretBlinkTime = 500;

}  // namespace

TForm2::TForm2(EditorHost& host) : ui::Form("Form2"), host_(host) {
  setCaption(pl("Ustawienia trybu automatycznego"));
  buildControls();
  onShow = [this] { FormShow(); };
  onClose = [this] { FormClose(); };

  // F1 to F12 of the main window read the order list straight from the grid.
  host_.setOrdersEditor(this, [this] {
    std::vector<OrderKeyRow> rows;
    for (int r = 1; r < StringGrid1.rowCount(); ++r)
      rows.push_back({StringGrid1.cell(colNumber, r), StringGrid1.cell(colOrder, r)});
    return rows;
  });
}

TForm2::~TForm2() {
  if (host_.ordersEditor() == this) host_.setOrdersEditor(nullptr, nullptr);
}

std::string TForm2::OrdersFilter() {
  return pl("Plik rozkazów (*.xml)|*.xml|Wszystkie pliki (*.*)|*.*");
}
std::string TForm2::CaptureFilter() {
  return pl("pliki tekstowe|*.txt|wszystkie pliki|*.*");
}

std::string TForm2::HelpText() {
  static const char* const lines[] = {
      "Lista rozkazów specjalnych i parametrów.",
      "Parametry rozkazu wagi:",
      "    - Nr/F - numer porządkowy rozkazu ",
      "    - Rozkaz - ciąg rozkazu ",
      "    - Czas - czas oczekiwania przed wysłaniem rozkazu",
      "    - Jedn. - jednostka czasu oczekiwania",
      "    - L.pom. - liczba powtórzeń rozkazu",
      "    - COM - port COM, na który wysłany będzie rozkaz",
      "    - Prędkosć - prędkość COM, możliwe wartości:",
      "        4800,9600,19200,38400,57600,115200",
      "",
      "Rozkazy specjalne:",
      "wait - czeka zadaną ilość czasu",
      "    - Czas - czas oczekiwania",
      "    - Jedn. - jednostka czasu oczekiwania",
      "    - L.pom. - liczba powtórzeń rozkazu",
      "repeat - powtarza sekwencję rozkazów zadaną ilośc razy",
      "    - Czas - numer pierwszego rozkazu w sekwencji",
      "    - L.pom. - liczba powtórzeń sekwencji",
      "file - wybiera plik do zapisu",
      "    - COM - nazwa pliku do zapisu",
      "    * wspólna ścieżka dla plików wybierana jest ręcznie",
      "beep - wyświetla powiadomienie i generuje krótki sygnał dźwiękowy",
      "    - Czas - czas oczekiwania na sygnał",
      "    - Jedn. - jednostka czasu oczekiwania",
      "    - L.pom. - liczba generowanych sygnałów",
  };
  std::string text;
  for (const char* line : lines) {
    text += pl(line);
    text += "\r\n";
  }
  return text;
}

ui::Dialogs& TForm2::dialogs() {
  return host_.dialogs();
}

void TForm2::buildControls() {
  // The grid at the top left, the buttons in a column to its right, the
  // orders file label under it, the capture file and "PORT" at the bottom.
  StringGrid1.setBounds(8, 8, 561, 225);
  StringGrid1.setDefaultRowHeight(18);
  int col = 0;
  for (int width : {32, 172, 53, 35, 41, 134, 64}) StringGrid1.setColWidth(col++, width);
  StringGrid1.setFixedRows(1);
  StringGrid1.setEditing(true);
  StringGrid1.setAlwaysShowEditor(true);
  StringGrid1.setRowSizing(true);
  StringGrid1.setColSizing(true);

  const int column = 577, buttonWidth = 81, buttonHeight = 25;
  BitBtnAdd.setCaption("Wstaw");
  BitBtnAdd.setBounds(column, 8, buttonWidth, buttonHeight);
  BitBtnDelete.setCaption(pl("Usuń"));
  BitBtnDelete.setBounds(column, 40, buttonWidth, buttonHeight);
  BitBtnUp.setCaption(pl("Góra"));
  BitBtnUp.setBounds(column, 72, buttonWidth, buttonHeight);
  BitBtnDown.setCaption(pl("Dół"));
  BitBtnDown.setBounds(column, 104, buttonWidth, buttonHeight);
  SpeedButtonOpen.setBounds(column, 140, 25, 25);
  SpeedButtonSave.setBounds(column + 28, 140, 25, 25);
  Button1.setCaption("Zapisz");
  Button1.setBounds(column, 176, buttonWidth, buttonHeight);
  Button2.setCaption("Anuluj");
  Button2.setBounds(column, 208, buttonWidth, buttonHeight);

  LabelOrdersFileName.setColor(ui::Color::InfoBackground);
  LabelOrdersFileName.setBounds(28, 240, 541, 17);
  Image1.setBounds(8, 240, 16, 16);
  BitBtnSaveToFile.setBounds(8, 266, 25, 25);
  BitBtnClearFile.setBounds(36, 266, 25, 25);
  LabelFileName.setCaption(noCaptureFileText());
  LabelFileName.setFont(ui::Font{"MS Sans Serif", 7, false, ui::Color::Red});
  LabelFileName.setBounds(68, 271, 400, 15);
  BitBtn1.setCaption("PORT");
  BitBtn1.setBounds(column, 266, 50, buttonHeight);
  SpeedButton1.setBounds(column + 56, 266, 25, 25);
  // The window fits its controls.
  setBounds(0, 0, column + buttonWidth + 8, 266 + buttonHeight + 8);

  for (ui::Control* c : std::initializer_list<ui::Control*>{
           &StringGrid1, &BitBtnAdd, &BitBtnDelete, &BitBtnUp, &BitBtnDown, &SpeedButtonOpen,
           &SpeedButtonSave, &Button1, &Button2, &LabelOrdersFileName, &Image1, &BitBtnSaveToFile,
           &BitBtnClearFile, &LabelFileName, &SpeedButton1, &BitBtn1})
    addControl(*c);
  setInitialFocus(StringGrid1);

  OpenDialog1.defaultExt = "xml";
  OpenDialog1.filter = OrdersFilter();
  SaveDialog1.defaultExt = "xml";
  SaveDialog1.filter = OrdersFilter();

  StringGrid1.onSetEditText = [this](int c, int r, const std::string& text) {
    StringGrid1SetEditText(c, r, text);
  };
  StringGrid1.onExit = [this] { StringGrid1Exit(); };
  BitBtnAdd.onClick = [this] { BitBtnAddClick(); };
  BitBtnDelete.onClick = [this] { BitBtnDeleteClick(); };
  BitBtnUp.onClick = [this] { BitBtnUpClick(); };
  BitBtnDown.onClick = [this] { BitBtnDownClick(); };
  SpeedButtonOpen.onClick = [this] { SpeedButtonOpenClick(); };
  SpeedButtonSave.onClick = [this] { SpeedButtonSaveClick(); };
  Button1.onClick = [this] { Button1Click(); };
  Button2.onClick = [this] { Button2Click(); };
  BitBtnSaveToFile.onClick = [this] { BitBtnSaveToFileClick(); };
  BitBtnClearFile.onClick = [this] { BitBtnClearFileClick(); };
  SpeedButton1.onClick = [this] { SpeedButton1Click(); };
  BitBtn1.onClick = [this] { BitBtn1Click(); };
}

void TForm2::FormCreate() {
  static const char* const titles[] = {"Nr/F",   "Rozkaz",       "Czas",       "Jedn.",
                                       "L.pom.", "COM/Adres IP", "Prędk./Port"};
  try {
    for (int c = 0; c < kOrderColumns; ++c) StringGrid1.setCell(c, 0, pl(titles[c]));
  } catch (const std::out_of_range&) {
    // The titles are decoration.
  }
  LoadXMLOrders(host_.ordersFileName());
}

void TForm2::FormShow() {
  fileName_ = host_.captureFileName();
  fileChosen_ = false;
  LabelFileName.setCaption(fileName_.empty() ? noCaptureFileText() : fileName_);
  LabelFileName.setFontColor(host_.captureFileColor());
}

void TForm2::FormClose() {
  // Unsaved changes go: the grid shows the current orders file again.
  LoadXMLOrders(host_.ordersFileName());
  // The operator may close the window while still editing a cell.
  restoreCaretBlinkTime();
  if (fileChosen_) host_.chooseCaptureFile(fileName_);
}

void TForm2::Button1Click() {
  if (CheckOrders()) {
    SaveXMLOrders(host_.ordersFileName());
    setModalResult(ui::ModalResult::Ok);
    return;
  }
  dialogs().messageBox(pl("Jedno z pól zawiera błędną wartość.") + "\r\n" + invalidCellText(),
                       pl("Błędna wartość"), ui::MessageIcon::Information, ui::MessageButton::Ok);
}

std::string TForm2::invalidCellText() const {
  // CheckOrders left the invalid cell current. The field goes by its column
  // title; the order by its "Nr/F", or by its row when that is no number.
  const ui::StringGrid& grid = StringGrid1;
  const int row = grid.row();
  const std::string field = pl("Pole „") + grid.cell(grid.col(), 0) + pl("” ");
  std::int32_t number = 0;
  if (platform::tryParseInteger(grid.cell(colNumber, row), number))
    return field + "rozkazu nr " + std::to_string(number) + ".";
  return field + "w wierszu " + std::to_string(row) + ".";
}

void TForm2::Button2Click() {
  setModalResult(ui::ModalResult::Cancel);
}

void TForm2::SpeedButtonOpenClick() {
  const std::optional<std::string> chosen = dialogs().openFileName(OpenDialog1);
  if (!chosen) return;
  OpenDialog1.fileName = *chosen;
  LoadXMLOrders(*chosen);
}

void TForm2::SpeedButtonSaveClick() {
  SaveDialog1.defaultExt = "xml";
  SaveDialog1.filter = OrdersFilter();
  if (StringGrid1.cell(colTime, 1).empty()) {
    dialogs().messageBox(pl("Brak rozkazów do zapisu"), "Uwaga", ui::MessageIcon::None,
                         ui::MessageButton::Ok);
    return;
  }
  const std::optional<std::string> chosen = dialogs().saveFileName(SaveDialog1);
  if (!chosen) return;
  SaveDialog1.fileName = *chosen;
  SaveXMLOrders(*chosen);
}

void TForm2::BitBtnSaveToFileClick() {
  if (!fileName_.empty()) SaveDialog1.fileName = fileName_;
  SaveDialog1.defaultExt = "txt";
  SaveDialog1.filter = CaptureFilter();
  const std::optional<std::string> chosen = dialogs().saveFileName(SaveDialog1);
  if (!chosen) return;
  SaveDialog1.fileName = *chosen;
  // The same rule as the main window's choice; the main window takes the
  // name over when this window closes.
  showFileChoice(chosen->empty() || (*chosen)[0] == '.' ? std::string()
                                                        : automatic::captureFileName(*chosen));
}

void TForm2::BitBtnClearFileClick() {
  showFileChoice({});
}

void TForm2::showFileChoice(const std::string& name) {
  fileName_ = name;
  fileChosen_ = true;
  LabelFileName.setCaption(name.empty() ? noCaptureFileText() : name);
  LabelFileName.setFontColor(name.empty() ? ui::Color::Red : ui::Color::Black);
}

void TForm2::SpeedButton1Click() {
  dialogs().messageBox(HelpText(), "Rozkazy specjalne i parametry", ui::MessageIcon::Information,
                       ui::MessageButton::Ok);
}

void TForm2::StringGrid1SetEditText(int, int, const std::string&) {
  if (!caretBlinkChanged_ && GetCaretBlinkTime) {
    savedCaretBlinkTime_ = GetCaretBlinkTime();
    caretBlinkChanged_ = true;
  }
  if (SetCaretBlinkTime) SetCaretBlinkTime(kEditingCaretBlinkTime);
}

void TForm2::StringGrid1Exit() {
  restoreCaretBlinkTime();
}

void TForm2::restoreCaretBlinkTime() {
  // Only a time that editing changed is put back: leaving the grid without
  // an edit must not set a time never read.
  if (!caretBlinkChanged_) return;
  caretBlinkChanged_ = false;
  if (SetCaretBlinkTime) SetCaretBlinkTime(savedCaretBlinkTime_);
}

void TForm2::focusGrid() noexcept {
  try {
    StringGrid1.setFocus();
  } catch (...) {
    // The focus is a convenience after a button, and this runs where nothing
    // may escape: whatever the view raises is ignored.
  }
}

}  // namespace automatic
