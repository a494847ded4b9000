// Sending the send line: bytes on the wire of the serial port, the byte
// string handed to the Ethernet link, the conversion error of a bad escape,
// F1 to F12, the fixed commands, the counters and the reply timeout.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LinkFixture.h"
#include "platform/Cp1250.h"

using namespace std::string_literals;
using platform::pl;

namespace {

using SendFixture = testing_support::LinkFixture;

TEST_F(SendFixture, SerialSendsEachCharacterAndEscapeThenCrLf) {
  auto form = create();
  // The first send opens the closed port.
  send(*form, "$FF$02PS00");
  EXPECT_EQ(wire(8), "\xFF\x02PS00\r\n");
  EXPECT_EQ(form->LinkState, app::LinkOpen);
  EXPECT_EQ(form->btnOpenPort.caption(), pl("&Zamknij port"));
  EXPECT_EQ(form->SentCount, 1);

  form->CheckBox1.setChecked(false);
  const struct {
    const char* text;
    std::string bytes;
  } cases[] = {
      {"A$00B", "A\0B"s},       // a zero byte goes out on the serial line
      {"X$7", "X\x07"},         // one digit at the end is the whole number
      {"AB$0d$4", "AB\r\x04"},  // either case; the walk ends after the last escape
      {"$24$7e\x9c", "$~\x9c"}, {"$0f$af$ff$Af", "\x0f\xaf\xff\xaf"},  // the top of the range in lower case
  };
  for (const auto& c : cases) {
    send(*form, c.text);
    EXPECT_EQ(wire(c.bytes.size()), c.bytes) << c.text;
  }
  EXPECT_EQ(form->SentCount, 6);
  EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(SendFixture, ALineWithAnInvalidEscapeSendsNothingOnEitherLink) {
  auto form = create();
  form->CheckBox3.setChecked(true);
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"A$G1B", "'$G1' is not a valid integer value"},
      {"SI$", "'$' is not a valid integer value"},
      {"$1G2", "'$1G' is not a valid integer value"},
      {"Q$41$x", "'$x' is not a valid integer value"},
  };
  for (const bool ethernet : {false, true}) {
    if (ethernet) useEthernet(*form, app::LinkOpen);
    for (const auto& c : cases) {
      form->LineErrorShown = true;
      form->Edit2.setText("x");
      dialogs.errors.clear();
      send(*form, c.text);
      EXPECT_EQ(dialogs.errors, std::vector<std::string>{c.error}) << c.text;
      // The line stays for the operator to mend; nothing is counted or armed.
      EXPECT_EQ(form->Edit1.text(), c.text);
      EXPECT_EQ(form->SentCount, 0) << c.text;
      EXPECT_FALSE(form->Timer2->running()) << c.text;
      EXPECT_TRUE(form->Edit2.text().empty());
      EXPECT_EQ(form->LineErrorShown, ethernet);
      // The next order reaches the instrument alone.
      send(*form, "SI");
      if (ethernet) {
        EXPECT_EQ(form->ethernetSends, std::vector<std::string>{"SI\r\n"}) << c.text;
        form->ethernetSends.clear();
      } else {
        EXPECT_EQ(wire(4), "SI\r\n") << c.text;
      }
      form->SentCount = 0;
      form->Timer2->setInterval(0);
    }
  }
}

TEST_F(SendFixture, EthernetGetsOneByteStringWithoutZeroes) {
  auto form = create();
  useEthernet(*form, app::LinkOpen);
  const struct {
    const char* text;
    bool crlf;
    std::string bytes;
  } cases[] = {
      {"$FF$02PS00", true, "\xFF\x02PS00\r\n"},
      {"A$00B", false, "AB"},
      {"X$4", false, "X\x04"},
      {"$0f$af$ff$f", false, "\x0f\xaf\xff\x0f"},
  };
  std::vector<std::string> expected;
  for (const auto& c : cases) {
    form->CheckBox1.setChecked(c.crlf);
    send(*form, c.text);
    expected.push_back(c.bytes);
  }
  EXPECT_EQ(form->ethernetSends, expected);
  EXPECT_EQ(form->SentCount, 4);
  EXPECT_TRUE(dialogs.errors.empty());
  EXPECT_FALSE(form->ComPort1.connected());
}

TEST_F(SendFixture, TheFirstSendOnAClosedEthernetLinkOnlyStartsTheConnection) {
  auto form = create();
  useEthernet(*form, app::LinkClosed);
  form->Edit2.setText(pl("Błąd:"));
  send(*form, "SI");
  EXPECT_EQ(form->toggles, (std::vector<std::pair<std::string, std::int32_t>>{{"127.0.0.1", 1001}}));
  EXPECT_TRUE(form->ethernetSends.empty());
  EXPECT_EQ(form->SentCount, 0);
  EXPECT_TRUE(form->Edit2.text().empty());

  // An empty send line does nothing at all.
  form->Edit2.setText("x");
  send(*form, "");
  EXPECT_EQ(form->toggles.size(), 1u);
  EXPECT_EQ(form->Edit2.text(), "x");
}

TEST_F(SendFixture, ASendOnAPortThatCannotOpenWarnsOnceAndCountsNothing) {
  auto form = create("COM8");
  form->ProcessReceived("\n", 1);
  ASSERT_TRUE(form->Bytes.replyCounted());
  form->Edit1.setText("SI");
  operatorDoes([&] { form->Edit1KeyDown(ui::kKeyReturn); });
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text,
            pl("Wskazany port COM nie istnieje lub jest zajęty przez inny program"));
  EXPECT_EQ(dialogs.messages[0].icon, ui::MessageIcon::Warning);
  EXPECT_EQ(form->SentCount, 0);
  EXPECT_FALSE(form->Bytes.replyCounted());
  EXPECT_EQ(form->LinkState, app::LinkClosed);
  EXPECT_TRUE(dialogs.errors.empty());

  // Other keys in the send line do not send.
  form->Edit1KeyDown('A');
  EXPECT_EQ(dialogs.messages.size(), 1u);
}

TEST_F(SendFixture, FunctionKeysSendTheFirstOrderWithTheirNumber) {
  auto form = create();
  useEthernet(*form, app::LinkOpen);
  form->CheckBox1.setChecked(false);

  // No orders editor: one blank row, whose empty number is no whole number.
  for (ui::Key key = ui::kKeyF1; key <= ui::kKeyF12; ++key) operatorDoes([&] { form->FormKeyDown(key); });
  EXPECT_EQ(dialogs.errors, std::vector<std::string>(12, "'' is not a valid integer value"));
  EXPECT_TRUE(form->ethernetSends.empty());

  std::vector<app::TForm1::OrderKeyRow> rows = {{"1", "one"}, {"3", "three"}};
  form->orderListRows = [&] { return rows; };
  form->Edit1.setText("typed");
  form->FormKeyDown(ui::kKeyF1 + 4);  // F5 without order 5
  EXPECT_TRUE(form->ethernetSends.empty());
  EXPECT_EQ(form->Edit1.text(), "typed");

  rows = {{"1", "one"}, {"5", "first$215"}, {"12", "twelve"}, {"5", "second"}};
  form->FormKeyDown(ui::kKeyF1 + 4);
  form->FormKeyDown(ui::kKeyF12);
  form->FormKeyDown(ui::kKeyF1 - 1);  // not a function key: no lookup, no send
  form->FormKeyDown(ui::kKeyF12 + 1);
  EXPECT_EQ(form->ethernetSends, (std::vector<std::string>{"first!5", "twelve"}));
  EXPECT_EQ(form->Edit1.text(), "twelve");

  // A bad number before the match stops the search with the conversion error.
  rows = {{"x", "bad"}, {"2", "two"}};
  dialogs.errors.clear();
  operatorDoes([&] { form->FormKeyDown(ui::kKeyF1 + 1); });
  EXPECT_EQ(dialogs.errors, std::vector<std::string>{"'x' is not a valid integer value"});
  EXPECT_EQ(form->ethernetSends.size(), 2u);
}

TEST_F(SendFixture, TibboButtonsReplaceTheSendLineAndSend) {
  auto form = create();
  form->Edit1.setText("typed");
  form->btnTibboON.click();
  EXPECT_EQ(wire(8), "\xFF\x02PS00\r\n");
  EXPECT_EQ(form->Edit1.text(), "$FF$02PS00");
  form->btnTibboOFF.click();
  EXPECT_EQ(wire(8), "\xFF\x02PS01\r\n");
  EXPECT_EQ(form->Edit1.text(), "$FF$02PS01");
  EXPECT_EQ(form->SentCount, 2);
}

TEST_F(SendFixture, ASendWithReplyTimeoutArmsItOnce) {
  auto form = create();
  form->CheckBox3.setChecked(true);
  send(*form, "SI");
  EXPECT_TRUE(form->Timer2->running());
  EXPECT_EQ(form->Timer2->interval(), 3000);
  loop.advance(2000);
  send(*form, "SI");  // does not postpone the timeout
  loop.advance(999);
  EXPECT_TRUE(dialogs.messages.empty());
  loop.advance(1);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text, pl("Brak komunikacji z wagą !"));
  EXPECT_EQ(wire(8), "SI\r\nSI\r\n");
}

}  // namespace
