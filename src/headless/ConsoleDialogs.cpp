#include "headless/ConsoleDialogs.h"

namespace headless {

ui::ModalResult ConsoleDialogs::messageBox(const std::string& text, const std::string& title, ui::MessageIcon,
                                           ui::MessageButton buttons) {
  console_.tell(title.empty() ? text : title + ": " + text);
  if (buttons & ui::MessageButton::Ok) return ui::ModalResult::Ok;
  if (buttons & ui::MessageButton::Yes) return ui::ModalResult::Yes;
  if (buttons & ui::MessageButton::No) return ui::ModalResult::No;
  return ui::ModalResult::Cancel;
}

void ConsoleDialogs::showError(const std::string& message) {
  console_.tell(message);
}

}  // namespace headless
