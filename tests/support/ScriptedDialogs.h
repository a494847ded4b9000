#pragma once
// Dialogs for tests: answers what the test queued, records what was shown.
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/Dialogs.h"

namespace testing_support {

class ScriptedDialogs : public ui::Dialogs {
 public:
  struct Message {
    std::string text;
    std::string title;
    ui::MessageIcon icon;
    unsigned buttons;
  };

  ui::ModalResult messageBox(const std::string& text, const std::string& title, ui::MessageIcon icon,
                             unsigned buttons) override;
  std::optional<std::string> openFileName(const ui::FileDialogRequest& request) override;
  std::optional<std::string> saveFileName(const ui::FileDialogRequest& request) override;
  ui::ModalResult showModal(ui::Form& form) override;
  void showError(const std::string& message) override { errors.push_back(message); }

  // Answers, taken in order; when none is queued a message box answers Ok and a
  // file dialog is cancelled.
  std::deque<ui::ModalResult> messageAnswers;
  std::deque<std::optional<std::string>> fileAnswers;
  // Runs while a modal form is "shown"; its result is the form's result.
  std::function<ui::ModalResult(ui::Form&)> onModal;
  // Runs while a message box is "shown" (a test may look at the world then).
  std::function<void(const Message&)> onMessage;

  std::vector<Message> messages;
  std::vector<ui::FileDialogRequest> fileRequests;
  std::vector<std::string> modalForms;
  std::vector<std::string> errors;
};

}  // namespace testing_support
