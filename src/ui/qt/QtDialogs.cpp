#include "ui/qt/QtDialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QStringDecoder>
#include <algorithm>
#include <stdexcept>

#include "platform/Cp1250.h"
#include "platform/PathText.h"
#include "ui/qt/FileFilter.h"
#include "ui/qt/FormDialog.h"
#include "ui/qt/PrintRenderer.h"
#include "ui/qt/QtText.h"

namespace ui::qt {

namespace {

QMessageBox::Icon qtIcon(ui::MessageIcon icon) {
  switch (icon) {
    case ui::MessageIcon::Information:
      return QMessageBox::Information;
    case ui::MessageIcon::Warning:
      return QMessageBox::Warning;
    case ui::MessageIcon::Error:
      return QMessageBox::Critical;
    case ui::MessageIcon::Question:
      return QMessageBox::Question;
    case ui::MessageIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

// The system's own messages are Windows-1250; those of the operating system
// and the libraries (a path in a file error) are UTF-8. A text with multibyte
// sequences that all decode is taken as UTF-8: Polish Windows-1250 text is not
// valid UTF-8.
QString errorText(const std::string& message) {
  QStringDecoder utf8(QStringDecoder::Utf8);
  const QString decoded = utf8(QByteArray::fromStdString(message));
  const bool multibyte = std::any_of(message.begin(), message.end(), [](char c) { return c & 0x80; });
  if (multibyte && !utf8.hasError()) return decoded;
  return toQt(message);
}

}  // namespace

QWidget* QtDialogs::parentWindow() {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return QApplication::activeWindow();
}

ui::ModalResult QtDialogs::messageBox(const std::string& text, const std::string& title, ui::MessageIcon icon,
                                      ui::MessageButton buttons) {
  QMessageBox box(qtIcon(icon), toQt(title), toQt(text), QMessageBox::NoButton, parentWindow());
  QMessageBox::StandardButtons qtButtons;
  if (buttons & ui::MessageButton::Ok) qtButtons |= QMessageBox::Ok;
  if (buttons & ui::MessageButton::Yes) qtButtons |= QMessageBox::Yes;
  if (buttons & ui::MessageButton::No) qtButtons |= QMessageBox::No;
  if (buttons & ui::MessageButton::Cancel) qtButtons |= QMessageBox::Cancel;
  if (!qtButtons) qtButtons = QMessageBox::Ok;
  box.setStandardButtons(qtButtons);
  switch (box.exec()) {
    case QMessageBox::Ok:
      return ui::ModalResult::Ok;
    case QMessageBox::Yes:
      return ui::ModalResult::Yes;
    case QMessageBox::No:
      return ui::ModalResult::No;
    default:
      return ui::ModalResult::Cancel;
  }
}

std::optional<std::string> QtDialogs::openFileName(const ui::FileDialogRequest& request) {
  return fileName(request, false);
}

std::optional<std::string> QtDialogs::saveFileName(const ui::FileDialogRequest& request) {
  return fileName(request, true);
}

std::optional<ui::SaveChoice> QtDialogs::saveFileChoice(const ui::FileDialogRequest& request) {
  int filter = 0;
  std::optional<std::string> path = fileName(request, true, &filter);
  if (!path) return std::nullopt;
  return ui::SaveChoice{*path, filter};
}

void QtDialogs::setClipboardText(const std::string& text) {
  QApplication::clipboard()->setText(toQt(text));
}

std::optional<std::string> QtDialogs::fileName(const ui::FileDialogRequest& request, bool save,
                                               int* chosenFilter) {
  QFileDialog dialog(parentWindow(), toQt(request.title));
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  // The question about replacing a file is asked below, in the program's language.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  const QString filter = qtFileFilter(request.filter);
  if (!filter.isEmpty()) dialog.setNameFilters(filter.split(QStringLiteral(";;")));
  if (!request.initialDir.empty()) dialog.setDirectory(toQt(request.initialDir));
  if (!request.defaultExt.empty()) dialog.setDefaultSuffix(toQt(request.defaultExt));
  if (!request.fileName.empty()) dialog.selectFile(toQt(request.fileName));
  for (;;) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    const QString chosen = dialog.selectedFiles().first();
    if (save && request.confirmOverwrite && QFileInfo::exists(chosen)) {
      const std::string question =
          fromQt(QFileInfo(chosen).fileName()) + platform::pl(" już istnieje.\r\nCzy chcesz go zamienić?");
      if (messageBox(question, platform::pl("Potwierdzanie zapisywania jako"), ui::MessageIcon::Warning,
                     ui::MessageButton::Yes | ui::MessageButton::No) != ui::ModalResult::Yes) {
        dialog.selectFile(chosen);
        continue;
      }
    }
    if (chosenFilter)
      *chosenFilter =
          std::max(0, static_cast<int>(dialog.nameFilters().indexOf(dialog.selectedNameFilter())));
    // Qt answers with '/' on every system.
    return platform::shownPath(fromQt(chosen));
  }
}

ui::ModalResult QtDialogs::showModal(ui::Form& form) {
  if (!loop_) throw std::logic_error("QtDialogs: no event loop for modal forms");
  FormDialog dialog(form, *loop_, parentWindow());
  return dialog.run();
}

void QtDialogs::showError(const std::string& message) {
  if (errorShown_) {
    if (pendingErrors_.empty() || pendingErrors_.back() != message) pendingErrors_.push_back(message);
    return;
  }
  errorShown_ = true;
  std::string next = message;
  for (;;) {
    QMessageBox box(QMessageBox::Critical, toQt(platform::pl("Błąd")), errorText(next), QMessageBox::Ok,
                    parentWindow());
    box.exec();
    if (pendingErrors_.empty()) break;
    next = std::move(pendingErrors_.front());
    pendingErrors_.pop_front();
  }
  errorShown_ = false;
}

bool QtDialogs::print(const ui::PrintComposer& compose) {
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog dialog(&printer, parentWindow());
  if (dialog.exec() != QDialog::Accepted) return false;
  printComposed(printer, compose);
  return true;
}

void installErrorReport(platform::EventLoop& loop, QtDialogs& dialogs) {
  dialogs.useEventLoop(loop);
  loop.setErrorReport([&dialogs](const std::string& message) { dialogs.showError(message); });
}

}  // namespace ui::qt
