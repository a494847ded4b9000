#pragma once
// What the orders editor and the notification window need of the main
// window: to be known to it, its dialogs, the capture file,
// and the serial port a new order row goes to. The main window implements it.
#include <functional>
#include <string>
#include <vector>

#include "ui/Control.h"
#include "ui/Dialogs.h"

namespace automatic {

class TForm2;
class TRemainingForm;

// One row of the orders editor's list as F1 to F12 read it.
struct OrderKeyRow {
  std::string number;  // "Nr/F"
  std::string order;   // "Rozkaz"
};

class EditorHost {
 public:
  // The orders editor makes itself known with the reader of its rows; a null
  // editor and reader take it back.
  virtual void setOrdersEditor(TForm2* editor, std::function<std::vector<OrderKeyRow>()> rows) = 0;
  virtual TForm2* ordersEditor() const = 0;
  virtual void setNotificationWindow(TRemainingForm* window) = 0;
  virtual TRemainingForm* notificationWindow() const = 0;

  virtual ui::Dialogs& dialogs() = 0;
  // The capture file's name (empty: none) and the colour the main window
  // shows it in.
  virtual std::string captureFileName() const = 0;
  virtual ui::Rgb captureFileColor() const = 0;
  // The operator chose the capture file here (empty: none).
  virtual void chooseCaptureFile(const std::string& name) = 0;
  // The orders file of the options, which the editor loads and saves.
  virtual std::string& ordersFileName() = 0;
  virtual std::string serialPortName() const = 0;

 protected:
  ~EditorHost() = default;
};

}  // namespace automatic
