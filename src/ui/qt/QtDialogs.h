#pragma once
// The dialogs service on Qt: real message boxes, file dialogs and modal forms,
// and the general error report.
#include <deque>
#include <string>

#include "platform/EventLoop.h"
#include "ui/Dialogs.h"

class QWidget;

namespace ui::qt {

class QtDialogs : public ui::Dialogs {
 public:
  QtDialogs() = default;
  explicit QtDialogs(platform::EventLoop& loop) : loop_(&loop) {}
  // The loop whose dispatch runs the handlers of modal forms.
  void useEventLoop(platform::EventLoop& loop) { loop_ = &loop; }

  ui::ModalResult messageBox(const std::string& text, const std::string& title, ui::MessageIcon icon,
                             ui::MessageButton buttons) override;
  std::optional<std::string> openFileName(const ui::FileDialogRequest& request) override;
  std::optional<std::string> saveFileName(const ui::FileDialogRequest& request) override;
  ui::ModalResult showModal(ui::Form& form) override;
  // Errors that come while one is shown wait for it to be closed, so a
  // failing timer cannot pile up message boxes.
  void showError(const std::string& message) override;
  bool print(const ui::PrintComposer& compose) override;
  std::optional<ui::SaveChoice> saveFileChoice(const ui::FileDialogRequest& request) override;
  void setClipboardText(const std::string& text) override;

 private:
  std::optional<std::string> fileName(const ui::FileDialogRequest& request, bool save,
                                      int* chosenFilter = nullptr);
  static QWidget* parentWindow();

  platform::EventLoop* loop_ = nullptr;
  bool errorShown_ = false;
  std::deque<std::string> pendingErrors_;
};

// Routes the loop's general error report to dialogs.showError (and gives the
// dialogs the loop).
void installErrorReport(platform::EventLoop& loop, QtDialogs& dialogs);

}  // namespace ui::qt
