// Sending the send line. Built with the sending work.
#include "app/TForm1.h"

namespace app {

// Not built yet.
void TForm1::btnWyslijClick() {}
void TForm1::Edit1KeyDown(ui::Key) {}
void TForm1::FormKeyDown(ui::Key) {}
void TForm1::btnTibboONClick() {}
void TForm1::btnTibboOFFClick() {}
void TForm1::SendOrder(const std::string&) {}

}  // namespace app
