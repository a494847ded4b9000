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
    ui::MessageButton buttons;
  };

  ui::ModalResult messageBox(const std::string& text, const std::string& title, ui::MessageIcon icon,
                             ui::MessageButton buttons) override;
  std::optional<std::string> openFileName(const ui::FileDialogRequest& request) override;
  std::optional<std::string> saveFileName(const ui::FileDialogRequest& request) override;
  ui::ModalResult showModal(ui::Form& form) override;
  void showError(const std::string& message) override { errors.push_back(message); }
  // Confirmed, the job is laid out for printPageSize and kept in printJobs,
  // or handed to onPrint (a test may draw it into a PDF file).
  bool print(const ui::PrintComposer& compose) override;
  // The file from fileAnswers, the filter from filterAnswers (0 when none).
  std::optional<ui::SaveChoice> saveFileChoice(const ui::FileDialogRequest& request) override;
  void setClipboardText(const std::string& text) override { clipboard = text; }

  // Answers, taken in order; when none is queued a message box answers Ok and a
  // file dialog is cancelled.
  std::deque<ui::ModalResult> messageAnswers;
  std::deque<std::optional<std::string>> fileAnswers;
  // Runs while a modal form is "shown" (between its onShow and onClose); its
  // answer is the form's result unless a handler of the form set one.
  std::function<ui::ModalResult(ui::Form&)> onModal;
  // Runs while a message box is "shown" (a test may look at the world then).
  std::function<void(const Message&)> onMessage;

  // Answers of the print dialog; when none is queued it is cancelled.
  std::deque<bool> printAnswers;
  ui::PrintPageSize printPageSize{4800, 6600};
  std::function<void(const ui::PrintComposer&)> onPrint;

  std::vector<Message> messages;
  std::deque<int> filterAnswers;
  std::string clipboard;
  std::vector<ui::FileDialogRequest> fileRequests;
  std::vector<std::string> modalForms;
  std::vector<std::string> errors;
  int printDialogs = 0;
  std::vector<ui::PrintJob> printJobs;
};

}  // namespace testing_support
