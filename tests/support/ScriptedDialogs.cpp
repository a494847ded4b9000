#include "support/ScriptedDialogs.h"

#include "ui/Form.h"

namespace testing_support {

ui::ModalResult ScriptedDialogs::messageBox(const std::string& text, const std::string& title,
                                            ui::MessageIcon icon, unsigned buttons) {
  messages.push_back({text, title, icon, buttons});
  if (onMessage) onMessage(messages.back());
  if (messageAnswers.empty()) return ui::ModalResult::Ok;
  auto answer = messageAnswers.front();
  messageAnswers.pop_front();
  return answer;
}

std::optional<std::string> ScriptedDialogs::openFileName(const ui::FileDialogRequest& request) {
  fileRequests.push_back(request);
  if (fileAnswers.empty()) return std::nullopt;
  auto answer = fileAnswers.front();
  fileAnswers.pop_front();
  return answer;
}

std::optional<std::string> ScriptedDialogs::saveFileName(const ui::FileDialogRequest& request) {
  return openFileName(request);
}

ui::ModalResult ScriptedDialogs::showModal(ui::Form& form) {
  modalForms.push_back(form.name());
  return onModal ? onModal(form) : ui::ModalResult::Cancel;
}

}  // namespace testing_support
