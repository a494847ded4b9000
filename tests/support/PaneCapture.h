#pragma once
// The capture file with no main window, wired as the window wires it: a view
// with the menu's options as the caller sets them, which keeps what the
// window's label would show each time the file asks to be shown and hands
// the posted notices back through the loop; and the byte processor, whose
// finished rows go into the file while one is chosen.
#include <filesystem>
#include <string>

#include "app/CaptureFile.h"
#include "platform/Cp1250.h"
#include "platform/EventLoop.h"
#include "platform/PathText.h"
#include "support/PaneProcessor.h"

namespace testing_support {

class FakeCaptureView : public app::CaptureFileView {
 public:
  // What the label shows of the capture file.
  struct Label {
    std::string name;
    app::CaptureFile::Tone tone = app::CaptureFile::Tone::Red;
    bool bold = false;
    bool blinkOn = false;
    std::string note;
  };

  explicit FakeCaptureView(platform::EventLoop& loop) : loop_(loop) {}
  void attach(app::CaptureFile& file) { file_ = &file; }

  app::CaptureOptions captureOptions() const override { return options; }
  void showCaptureFile() override {
    label = {file_->name(), file_->tone(), file_->bold(), file_->blinkOn(), file_->note()};
  }
  void postFileNotice(int notice) override {
    loop_.post([this, notice] { file_->noticeArrived(notice); });
  }

  app::CaptureOptions options;
  // As of the last time the file asked to be shown.
  Label label;

 private:
  platform::EventLoop& loop_;
  app::CaptureFile* file_ = nullptr;
};

struct PaneCapture {
  explicit PaneCapture(platform::EventLoop& loop) : view(loop), file(loop, view), panes(loop) {
    view.attach(file);
    panes.window.capture = &file;
  }
  PaneCapture(const PaneCapture&) = delete;
  PaneCapture& operator=(const PaneCapture&) = delete;

  // What the "file" orders do: name the file (names are Windows-1250).
  void choose(const std::filesystem::path& path) { file.choose(platform::pl(platform::utf8Path(path))); }
  // The fast-write toggle of the menu.
  void switchFastWrite(bool on) {
    view.options.fastWrite = on;
    file.fastWriteSwitched();
  }
  // The time stamps of the menu: the panes' rows and the fast-write lines.
  void stampTime(bool on) {
    view.options.insertTime = on;
    panes.window.settings.insertTime = on;
  }
  const FakeCaptureView::Label& label() const { return view.label; }

  FakeCaptureView view;
  app::CaptureFile file;
  PaneProcessor panes;
};

}  // namespace testing_support
