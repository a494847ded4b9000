// The main window's side of the capture file: its label, its two buttons, the
// fast-write toggle and the file notices. The capture file decides; the label
// only shows what it holds.
#include <optional>
#include <string>

#include "app/TForm1.h"
#include "automatic/CaptureFileName.h"
#include "config/ConfigOptions.h"

namespace app {

CaptureOptions TForm1::captureOptions() const {
  return {FastWrite.checked(), InsertTime.checked(), ZapiszASCII.checked(), ChangePointToColon.checked()};
}

void TForm1::showCaptureFile() {
  LabelFileName.setCaption(Capture.chosen() ? Capture.name() : automatic::noCaptureFileText());
  ui::Font font = LabelFileName.font();
  switch (Capture.tone()) {
    case CaptureFile::Tone::Red:
      font.color = ui::Color::Red;
      break;
    case CaptureFile::Tone::Black:
      font.color = ui::Color::Black;
      break;
    case CaptureFile::Tone::Green:
      font.color = ui::Color::Green;
      break;
  }
  font.bold = Capture.bold();
  LabelFileName.setFont(font);
  LabelFileName.setColor(Capture.blinkOn() ? ui::Color::Yellow : ui::Color::ButtonFace);
  LabelFileName.setHint(Capture.note());
}

void TForm1::postFileNotice(int notice) {
  postMessage(UM_UPDATE_FILE, notice);
}

void TForm1::OnUpdateFileMessage(std::intptr_t wParam) {
  Capture.noticeArrived(static_cast<int>(wParam));
}

void TForm1::BitBtnSaveToFileClick() {
  ui::FileDialogRequest request;
  request.filter = FileFilter();
  request.confirmOverwrite = true;
  request.fileName = Capture.name();
  const std::optional<std::string> chosen = dialogs().saveFileName(request);
  if (chosen) Capture.chooseInDialog(*chosen);
}

void TForm1::BitBtnClearFileClick() {
  Capture.clearChoice();
}

void TForm1::FastWriteClick() {
  toggleOption(FastWrite, ConfigOptions.FastWrite);
  Capture.fastWriteSwitched();
}

}  // namespace app
