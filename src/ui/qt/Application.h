#pragma once
// What the program asks of the Qt application as a whole.

namespace ui::qt {

// Ends the message loop without closing the windows first: a close would run
// the main window's close handler, which saves the settings, and the menu's
// "Koniec" ends the program without saving anything.
void endMessageLoop();

// Installs Qt's own Polish texts (standard dialogs and buttons) whatever the
// system's language: the interface is Polish throughout. False when the
// translation is not installed.
bool loadPolishTranslations();

}  // namespace ui::qt
