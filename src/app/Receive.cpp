// Receiving and display, the window's side: the settings the byte processor
// reads, the reply counts it shows, and the view buttons of the panes.
#include <cstdint>
#include <string>
#include <string_view>

#include "app/TForm1.h"
#include "platform/Cp1250.h"

namespace app {

using platform::pl;

void TForm1::ProcessReceived(const std::string& data, std::size_t count) {
  Bytes.ProcessReceived(data, count);
}

ReceiveSettings TForm1::receiveSettings() const {
  ReceiveSettings s;
  s.wrapRows = WindRows.checked();
  if (s.wrapRows) s.setWrapText(EditWindRowsString.text());
  s.wrapPosition = rgWindRowsString.itemIndex();
  s.insertTime = InsertTime.checked();
  s.checkLine = !CheckBox2.checked();
  s.storeRows = Capture.chosen();
  return s;
}

// The first LF after a send is the reply; the automatic measurement shows
// the counts in the status texts that it does not own at the moment.
void TForm1::showReplyCount() {
  Sequencer.countsChanged();
}

bool TForm1::storeRow(std::string_view ascii, std::string_view hex) {
  return Capture.StoreReply(ascii, hex);
}
void TForm1::checkLine() {
  sprawdz_transmisje();
}

// Scrolling down one line per line of the pane, plus one, brings the last
// line into view; the model does that in one step.
void TForm1::MemoScrollDown(ui::Memo& pane) {
  pane.scrollToEnd();
}

void TForm1::Button4Click() {
  ClearLineErrorFlags();
  Edit2.setText({});
  Bytes.restartHexRow();
  View = View == PaneView::AsciiOnly ? PaneView::AsciiHex : PaneView::AsciiOnly;
  Bytes.setAsciiOnly(View == PaneView::AsciiOnly);
  if (View == PaneView::AsciiHex) {
    Button4.setCaption(pl("&Tylko ASCII"));
    Memo2.setVisible(true);
    StaticText2.setVisible(true);
  } else {
    Button4.setCaption(pl("&ASCII+HEX"));
    Memo2.setVisible(false);
    StaticText2.setVisible(false);
  }
  ui::Font font = Memo1.font();
  font.name = "Courier New";
  font.size = SmallScreen ? 8 : 7;
  Memo1.setFont(font);
  pozycjonowanie();
}

}  // namespace app
