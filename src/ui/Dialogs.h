#pragma once
// The operator is asked and told things only through this service: the Qt one
// shows real dialogs, tests script the answers. Texts are Windows-1250.
#include <optional>
#include <string>

#include "ui/PrintJob.h"

namespace ui {

class Form;

enum class MessageIcon { None, Information, Warning, Error, Question };

// The buttons a message box offers, combined with |.
enum class MessageButton : unsigned { Ok = 1, Cancel = 2, Yes = 4, No = 8 };

constexpr MessageButton operator|(MessageButton a, MessageButton b) {
  return MessageButton(unsigned(a) | unsigned(b));
}
// Whether the set a offers any of the buttons in b.
constexpr bool operator&(MessageButton a, MessageButton b) {
  return (unsigned(a) & unsigned(b)) != 0;
}

enum class ModalResult { None, Ok, Cancel, Yes, No };

struct FileDialogRequest {
  std::string title;
  // "description|pattern|description|pattern", as the system writes filters.
  std::string filter;
  std::string initialDir;
  std::string fileName;
  // A save dialog asks before it replaces an existing file.
  bool confirmOverwrite = true;
  // Added to a typed name that has no extension ("xml", without the dot).
  std::string defaultExt;
};

// A file chosen in a save dialog and which of the request's filters was
// selected (0 for the first).
struct SaveChoice {
  std::string path;
  int filter = 0;
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  virtual ModalResult messageBox(const std::string& text, const std::string& title, MessageIcon icon,
                                 MessageButton buttons) = 0;
  // The chosen path, or nothing when the operator cancelled.
  virtual std::optional<std::string> openFileName(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> saveFileName(const FileDialogRequest& request) = 0;
  // Shows a form as a modal dialog and returns when it is closed.
  virtual ModalResult showModal(Form& form) = 0;
  // The general error report: an error no handler absorbed.
  virtual void showError(const std::string& message) = 0;
  // Runs the print dialog; when the operator confirms, lays the job out with
  // compose for the chosen printer's page and prints it. False when cancelled.
  virtual bool print(const PrintComposer& compose) = 0;
  // A save dialog whose filter decides what is written.
  virtual std::optional<SaveChoice> saveFileChoice(const FileDialogRequest& request) {
    std::optional<std::string> path = saveFileName(request);
    if (!path) return std::nullopt;
    return SaveChoice{*path, 0};
  }
  // Puts text (Windows-1250) on the clipboard.
  virtual void setClipboardText(const std::string& text) { (void)text; }
};

}  // namespace ui
