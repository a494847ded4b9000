#pragma once
// The orders editor: the order list in its grid, the orders file kept in
// memory as an XML document, and the choice of the capture file. Created once
// at start-up after the main window, shown modally from its menu.
#include <functional>
#include <string>

#include "automatic/EditorHost.h"
#include "platform/XmlDocument.h"
#include "ui/Control.h"
#include "ui/Dialogs.h"
#include "ui/Form.h"
#include "ui/Image.h"
#include "ui/StringGrid.h"

namespace automatic {

// Columns of the order list.
enum OrderColumn : int {
  colNumber = 0,  // "Nr/F"
  colOrder,       // "Rozkaz"
  colTime,        // "Czas"
  colUnit,        // "Jedn."
  colRepeats,     // "L.pom."
  colLink,        // "COM/Adres IP"
  colSpeed,       // "Prędk./Port"
  kOrderColumns
};

class TForm2 : public ui::Form {
 public:
  // Wires itself to the main window: its F1 to F12 read this grid, its menu
  // opens this window. The main window must outlive it.
  explicit TForm2(EditorHost& host);
  ~TForm2() override;

  // Window handlers.
  void FormCreate();
  void FormShow();
  void FormClose();
  void Button1Click();
  void Button2Click();
  void SpeedButtonOpenClick();
  void SpeedButtonSaveClick();
  void BitBtnSaveToFileClick();
  void BitBtnClearFileClick();
  void SpeedButton1Click();
  void StringGrid1SetEditText(int col, int row, const std::string& text);
  void StringGrid1Exit();

  // The order list (OrderList.cpp).
  // Adds an order with the defaults, appended or inserted below the current
  // row; the new RowCount - 1, or -1 on failure.
  int AddStringGridRow(bool insert);
  void DeleteStringGridRow();
  // True when every order is valid; otherwise the first invalid cell becomes
  // the current one.
  bool CheckOrders();
  void BitBtnAddClick();
  void BitBtnDeleteClick();
  void BitBtnUpClick();
  void BitBtnDownClick();
  void BitBtn1Click();

  // The orders file (OrdersFile.cpp). Names are Windows-1250 texts; neither
  // reports a failure to its caller.
  void LoadXMLOrders(const std::string& name);
  void SaveXMLOrders(const std::string& name);

  // Texts of the window.
  static std::string OrdersFilter();
  static std::string CaptureFilter();
  static std::string HelpText();

  // Controls, in the order they are created.
  ui::StringGrid StringGrid1{"StringGrid1", kOrderColumns, 2};
  ui::BitBtn BitBtnAdd{"BitBtnAdd", "add"};
  ui::BitBtn BitBtnDelete{"BitBtnDelete", "delete"};
  ui::BitBtn BitBtnUp{"BitBtnUp", "up"};
  ui::BitBtn BitBtnDown{"BitBtnDown", "down"};
  ui::BitBtn SpeedButtonOpen{"SpeedButtonOpen", "open"};
  ui::BitBtn SpeedButtonSave{"SpeedButtonSave", "save"};
  ui::Button Button1{"Button1"};
  ui::Button Button2{"Button2"};
  ui::Label LabelOrdersFileName{"LabelOrdersFileName"};
  ui::Image Image1{"Image1", "file"};
  ui::BitBtn BitBtnSaveToFile{"BitBtnSaveToFile", "save"};
  ui::BitBtn BitBtnClearFile{"BitBtnClearFile", "clear"};
  ui::Label LabelFileName{"LabelFileName"};
  ui::BitBtn SpeedButton1{"SpeedButton1", "help"};
  ui::Button BitBtn1{"BitBtn1"};

  // The orders document, kept between loads and saves.
  platform::XmlDocument XMLOrders;
  // The file dialogs; each keeps the last name chosen in it.
  ui::FileDialogRequest OpenDialog1;
  ui::FileDialogRequest SaveDialog1;

  // The caret blink time in milliseconds (the time the caret stays shown,
  // and hidden): read and set by the program around the window. Unset, the
  // editor leaves it alone.
  std::function<int()> GetCaretBlinkTime;
  std::function<void(int)> SetCaretBlinkTime;

 private:
  void buildControls();
  ui::Dialogs& dialogs();
  // "COM/Adres IP" of a new order: the serial port's current number.
  std::string currentPortNumber() const;
  std::vector<std::string> newOrder(int number) const;
  void setNumber(int row, int number);
  void focusGrid() noexcept;
  // Names the invalid cell CheckOrders left current: its field and order.
  std::string invalidCellText() const;
  void restoreCaretBlinkTime();
  // Before a file that could not be read is replaced, its content is kept
  // beside it; false when that copy could not be made.
  bool keepUnreadableFile(const std::string& path);
  // Makes name the orders file in use and shows it.
  void setOrdersFileName(const std::string& name);
  // Says that a file could not be read and where the next save keeps it.
  void tellUnreadable(const std::string& path);
  // The capture file chosen here (empty: none), shown in LabelFileName.
  void showFileChoice(const std::string& name);

  EditorHost& host_;
  // The capture file as shown here, and whether the operator chose it here:
  // the main window takes it over when this window closes.
  std::string fileName_;
  bool fileChosen_ = false;
  // The unreadable orders file the operator was last told of.
  std::string unreadableTold_;
  // The caret blink time before editing began; set while it is changed.
  bool caretBlinkChanged_ = false;
  int savedCaretBlinkTime_ = 0;
};

}  // namespace automatic
