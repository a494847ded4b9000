#include "support/ScriptedDialogs.h"

#include "ui/Form.h"

namespace testing_support {

ui::ModalResult ScriptedDialogs::messageBox(const std::string& text, const std::string& title,
                                            ui::MessageIcon icon, ui::MessageButton buttons) {
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

std::optional<ui::SaveChoice> ScriptedDialogs::saveFileChoice(const ui::FileDialogRequest& request) {
  std::optional<std::string> path = openFileName(request);
  int filter = 0;
  if (!filterAnswers.empty()) {
    filter = filterAnswers.front();
    filterAnswers.pop_front();
  }
  if (!path) return std::nullopt;
  return ui::SaveChoice{*path, filter};
}

ui::ModalResult ScriptedDialogs::showModal(ui::Form& form) {
  modalForms.push_back(form.name());
  // As on screen: the result starts afresh, onShow runs first and onClose
  // last; a form that set no result was closed by its close box.
  form.setModalResult(ui::ModalResult::None);
  if (form.onShow) form.onShow();
  const ui::ModalResult answer = onModal ? onModal(form) : ui::ModalResult::Cancel;
  if (form.modalResult() == ui::ModalResult::None) form.setModalResult(answer);
  if (form.onClose) form.onClose();
  return form.modalResult();
}

bool ScriptedDialogs::print(const ui::PrintComposer& compose) {
  ++printDialogs;
  const bool confirmed = !printAnswers.empty() && printAnswers.front();
  if (!printAnswers.empty()) printAnswers.pop_front();
  if (!confirmed) return false;
  if (onPrint)
    onPrint(compose);
  else
    printJobs.push_back(compose(printPageSize));
  return true;
}

}  // namespace testing_support
