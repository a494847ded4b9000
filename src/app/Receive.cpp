// Receiving and display, the window's side: the settings the byte processor
// reads, the reply counts it shows, and the view buttons of the panes.
#include <cstdint>
#include <string>
#include <string_view>

#include "app/TForm1.h"
#include "platform/Cp1250.h"
#include "platform/WholeNumbers.h"

namespace app {

using platform::pl;

namespace {

// A wrap text that begins with "$" is read as an integer the way the
// operator's numbers are read: "$" then hexadecimal digits, at most 32 bits;
// anything else is no valid integer and reads as 0.
std::uint32_t dollarTextValue(std::string_view text) {
  std::int32_t value = 0;
  if (text.empty() || text[0] != '$' || !platform::tryParseInteger(text, value)) return 0;
  return static_cast<std::uint32_t>(value);
}

}  // namespace

void TForm1::ProcessReceived(const std::string& data, std::size_t count) {
  Bytes.ProcessReceived(data, count);
}

ReceiveSettings TForm1::receiveSettings() const {
  ReceiveSettings s;
  s.wrapRows = WindRows.checked();
  if (s.wrapRows) {
    const std::string& text = EditWindRowsString.text();
    s.wrapTextSet = !text.empty();
    if (s.wrapTextSet) {
      s.wrapFirst = text[0];
      s.wrapByValue = text[0] == '$';
      s.wrapValue = static_cast<char>(dollarTextValue(text) & 0xFFu);
    }
  }
  s.wrapPosition = rgWindRowsString.itemIndex();
  s.insertTime = InsertTime.checked();
  s.checkLine = !CheckBox2.checked();
  static const std::string noFile = pl("Nie wybrano pliku");
  s.storeReadsPanes = LabelFileName.caption() != noFile;
  return s;
}

// The first LF after a send is the reply; the automatic measurement shows
// the counts in the status texts that it does not own at the moment.
void TForm1::showReplyCount() {
  Sequencer.countsChanged();
}

void TForm1::storeReply() {
  StoreReply();
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
  Bytes.HexColumn = 0;
  View = View == PaneView::AsciiOnly ? PaneView::AsciiHex : PaneView::AsciiOnly;
  if (View == PaneView::AsciiHex) {
    Bytes.HexRowLength = 16;
    Button4.setCaption(pl("&Tylko ASCII"));
    Memo2.setVisible(true);
    StaticText2.setVisible(true);
  } else {
    Bytes.HexRowLength = 200;
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
