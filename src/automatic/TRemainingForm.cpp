#include "automatic/TRemainingForm.h"

#include "automatic/EditorHost.h"

namespace automatic {

namespace {

constexpr ui::Rgb kWhite = 0xFFFFFF;

}  // namespace

TRemainingForm::TRemainingForm(EditorHost& host) : ui::Form("RemainingForm"), host_(host) {
  setCaption("Powiadomienie");
  setBounds(0, 0, 222, 82);
  // Created at start-up, shown only by a "beep" order.
  setVisible(false);
  // Courier, bold, green; 21 pixels high is 16 points on a 96 dpi screen.
  Label1.setCaption("Powiadomienie");
  Label1.setFont(ui::Font{"Courier New", 16, true, ui::Color::Green});
  Label1.setColor(kWhite);
  Label1.setBounds(24, 28, 176, 26);
  addControl(Label1);
  host_.setNotificationWindow(this);
}

TRemainingForm::~TRemainingForm() {
  if (host_.notificationWindow() == this) host_.setNotificationWindow(nullptr);
}

void TRemainingForm::ShowNotification() {
  if (showing()) return;
  setVisible(true);
  if (BringToFront) BringToFront();
}

}  // namespace automatic
