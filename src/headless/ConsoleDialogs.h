#pragma once
// The dialogs of a run without a window: a message box becomes a line on the
// console and is answered at once (its first button); nothing is chosen in
// a file dialog, no window is shown and nothing is printed.
#include "headless/Console.h"
#include "ui/Dialogs.h"

namespace headless {

class ConsoleDialogs final : public ui::Dialogs {
 public:
  explicit ConsoleDialogs(Console& console) : console_(console) {}

  ui::ModalResult messageBox(const std::string& text, const std::string& title, ui::MessageIcon icon,
                             ui::MessageButton buttons) override;
  std::optional<std::string> openFileName(const ui::FileDialogRequest&) override { return std::nullopt; }
  std::optional<std::string> saveFileName(const ui::FileDialogRequest&) override { return std::nullopt; }
  ui::ModalResult showModal(ui::Form&) override { return ui::ModalResult::Cancel; }
  void showError(const std::string& message) override;
  bool print(const ui::PrintComposer&) override { return false; }

 private:
  Console& console_;
};

}  // namespace headless
