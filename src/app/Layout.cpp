// The layout: every control placed in proportion to the window's size, each
// step using the values the steps before it have just set.
#include "app/Round.h"
#include "app/TForm1.h"
#include "platform/Cp1250.h"

namespace app {

namespace {

int right(const ui::Control& c) {
  return c.left() + c.width();
}
int bottom(const ui::Control& c) {
  return c.top() + c.height();
}

// Sets the cells of one step; an empty cell (nullopt) keeps the current value.
struct Place {
  ui::Control& c;
  void top(int v) { c.setBounds(c.left(), v, c.width(), c.height()); }
  void left(int v) { c.setBounds(v, c.top(), c.width(), c.height()); }
  void width(int v) { c.setBounds(c.left(), c.top(), v, c.height()); }
  void height(int v) { c.setBounds(c.left(), c.top(), c.width(), v); }
};

}  // namespace

void TForm1::pozycjonowanie() {
  const double W = width();
  const double H = height();
  const int formTop = top();
  const int formLeft = left();
  const int h3 = R(0.03 * H);

  // The ASCII pane, full width in the ASCII-only view.
  Place m1{Memo1};
  m1.top(R(0.05 * H) + formTop);
  m1.left(R(0.05 * W));
  if (View == PaneView::AsciiOnly) {
    m1.width(R(0.9 * W));
  } else {
    m1.width(R(0.23 * W));
    Memo2.setVisible(true);
    Memo2.repaint();
  }
  m1.height(R(0.6 * H));
  // The HEX pane beside it.
  Memo2.setBounds(right(Memo1) + R(0.05 * W), Memo1.top(), R(0.65 * W), R(0.6 * H));
  // The pane headings; a heading's own height is set before its top is taken from it.
  Place{StaticText1}.height(h3);
  StaticText1.setBounds(Memo1.left(), Memo1.top() - StaticText1.height(), StaticText1.width(), h3);
  Place{StaticText2}.height(h3);
  StaticText2.setBounds(Memo2.left(), Memo2.top() - StaticText2.height(), StaticText2.width(), h3);
  // The reply counts beside the ASCII heading.
  StaticText6.setBounds(right(StaticText1) + R(0.03 * W), Memo1.top() - StaticText1.height(), R(0.2 * W), h3);
  // The capture file buttons and label, over whichever pane is shown last.
  if (Memo2.visible()) {
    Place{BitBtnSaveToFile}.top(Memo2.top() - StaticText2.height() - 8);
    Place{BitBtnSaveToFile}.left(Memo2.left() + StaticText2.width() + R(0.02 * W));
  } else {
    Place{BitBtnSaveToFile}.top(Memo1.top() - StaticText1.height() - 8);
    Place{BitBtnSaveToFile}.left(right(StaticText6) + R(0.02 * W));
  }
  Place{BitBtnClearFile}.top(BitBtnSaveToFile.top());
  Place{BitBtnClearFile}.left(right(BitBtnSaveToFile));
  LabelFileName.setBounds(
      right(BitBtnClearFile) + R(0.02 * W),
      Memo2.visible() ? Memo2.top() - StaticText2.height() : Memo1.top() - StaticText1.height(),
      LabelFileName.width(), h3);
  // The link button, the send line, the link label and the error line.
  btnOpenPort.setBounds(Memo1.left(), bottom(Memo1) + R(0.02 * H), R(0.1 * W), btnOpenPort.height());
  Edit1.setBounds(Memo1.left(), bottom(Memo2) + R(0.1 * H), R(0.7 * W), Edit1.height());
  LabelConnection.setBounds(Edit1.left(), bottom(btnOpenPort) + 6, LabelConnection.width(), h3);
  Edit2.setBounds(Edit1.left(), bottom(Edit1) + R(0.05 * H), R(0.4 * W), Edit2.height());
  // The send line heading and the status texts beside it.
  Place{StaticText3}.height(h3);
  StaticText3.setBounds(Edit1.left(), Edit1.top() - StaticText3.height(), StaticText3.width(), h3);
  StaticText7.setBounds(right(StaticText3) + R(0.03 * W), StaticText3.top(), R(0.2 * W), h3);
  StaticText5.setBounds(right(StaticText7) + R(0.03 * W), StaticText3.top(), R(0.2 * W), h3);
  // The button row under the panes.
  btnWyslij.setBounds(right(btnOpenPort) + R(0.02 * W), btnOpenPort.top(), R(0.1 * W), btnWyslij.height());
  Button3.setBounds(right(btnWyslij) + R(0.02 * W), btnOpenPort.top(), R(0.1 * W), Button3.height());
  // The CR LF check box beside the send line; the bevel along the top.
  Place{CheckBox1}.top(Edit1.top());
  Place{CheckBox1}.left(right(Edit1) + R(0.02 * W));
  Bevel1.setBounds(formLeft, formTop + 3, static_cast<int>(W), 2);
  Button4.setBounds(right(Button3) + R(0.02 * W), btnOpenPort.top(), R(0.1 * W), Button4.height());
  btnTibboON.setBounds(right(Button4) + R(0.02 * W), btnOpenPort.top(), R(0.1 * W), btnTibboON.height());
  btnTibboOFF.setBounds(right(btnTibboON) + R(0.02 * W), btnOpenPort.top(), R(0.1 * W), btnTibboOFF.height());
  // The error line heading, its check box, and the shrink button.
  Place{StaticText4}.height(h3);
  StaticText4.setBounds(Edit2.left(), Edit2.top() - StaticText4.height(), StaticText4.width(), h3);
  Place{CheckBox2}.top(StaticText4.top());
  Place{CheckBox2}.left(right(StaticText4) + R(0.03 * W));
  Button5.setBounds(right(Edit2) + R(0.02 * W), Edit2.top(), R(0.1 * W), Button5.height());
  // The wrap options.
  Place{rgWindRowsString}.top(btnTibboOFF.top());
  Place{rgWindRowsString}.left(right(btnTibboOFF) + R(0.05 * W));
  Place{EditWindRowsString}.top(Edit1.top());
  Place{EditWindRowsString}.left(rgWindRowsString.left() + rgWindRowsString.width() / 2 -
                                 EditWindRowsString.width() / 2);
  Place{CheckBox3}.top(StaticText4.top());
  Place{CheckBox3}.left(right(CheckBox2) + R(0.05 * W));
  Button6.setBounds(right(Button5) + R(0.05 * W), Edit2.top(), R(0.15 * W), Button6.height());
}

}  // namespace app
