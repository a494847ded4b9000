// The byte processor under every combination of wrap, wrap position, time
// stamps, the line check and the view: the HEX pane holds exactly the bytes
// the ASCII pane was given, two upper-case digits each, grouped as documented
// (a space after each, two more after every eighth column, a row end after
// each LF); and any split of the input into chunks gives the same panes as
// one chunk.
#include <string>

#include "FuzzInput.h"
#include "platform/ManualEventLoop.h"
#include "support/PaneProcessor.h"

namespace {

struct Settings {
  bool wrap = false;
  std::string wrapText;
  int position = 0;
  bool insertTime = false;
  bool noLineCheck = true;
  bool asciiOnly = false;
};

// The two byte processors live for the whole run, as the operator's window
// does: each input starts like a new measurement after "Wyczyść okna", with
// the settings of that input.
struct Window {
  void prepare(const Settings& s) {
    p.ascii.clear();
    p.hex.clear();
    p.bytes.restartHexRow();
    p.bytes.resetReplies();
    p.bytes.awaitReply();
    p.bytes.setAsciiOnly(s.asciiOnly);
    app::ReceiveSettings& settings = p.window.settings;
    settings = {};
    settings.wrapRows = s.wrap;
    settings.setWrapText(s.wrapText);
    settings.wrapPosition = s.position;
    settings.insertTime = s.insertTime;
    settings.checkLine = !s.noLineCheck;
  }
  // What the byte processor posted runs before the next input.
  void settle() { loop.processPending(); }

  platform::ManualEventLoop loop;
  testing_support::PaneProcessor p{loop};
};

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The bytes the HEX pane shows, checking its grouping on the way.
std::string hexPaneBytes(const std::string& pane) {
  std::string bytes;
  std::size_t i = 0;
  while (i < pane.size()) {
    const char c = pane[i];
    if (c == ' ' || c == '\r' || c == '\n') {
      ++i;
      continue;
    }
    FUZZ_CHECK(i + 1 < pane.size());
    const int hi = hexValue(pane[i]);
    const int lo = hexValue(pane[i + 1]);
    FUZZ_CHECK(hi >= 0 && lo >= 0);
    const char b = static_cast<char>(hi * 16 + lo);
    bytes += b;
    i += 2;
    // A byte's digits are followed by a space or a row end, or end the pane.
    if (i < pane.size()) FUZZ_CHECK(pane[i] == ' ' || pane[i] == '\r');
    if (b == '\n') FUZZ_CHECK(pane.compare(i, 2, "\r\n") == 0);
  }
  return bytes;
}

// A wrap text "$" and hexadecimal digits (at most 32 bits) also wraps at the
// low byte of that number; any other text beginning with "$" reads as 0.
char dollarByte(const std::string& text) {
  if (text.size() < 2) return 0;
  unsigned long long value = 0;
  for (char c : text.substr(1)) {
    int d = hexValue(c);
    if (d < 0 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    if (d < 0) return 0;
    value = value * 16 + static_cast<unsigned>(d);
    if (value > 0xFFFFFFFFull) return 0;
  }
  return static_cast<char>(value & 0xFF);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput in(data, size);
  Settings s;
  const std::uint8_t choice = in.byte();
  s.wrap = choice & 1;
  s.insertTime = choice & 2;
  s.noLineCheck = !(choice & 4);
  s.asciiOnly = choice & 8;
  s.position = static_cast<int>((choice >> 4) % 3);  // 2: no position chosen
  if (s.position == 2) s.position = -1;
  s.wrapText = in.text(4);
  const std::uint8_t splitSeed = in.byte();
  const std::string bytes = in.rest();
  if (bytes.empty()) return 0;

  static Window whole;
  static Window split;
  whole.prepare(s);
  whole.p.receive(bytes);
  const std::int32_t wholeColumn = whole.p.bytes.hexColumn();
  const std::int32_t wholeReplies = whole.p.bytes.replyCount();

  split.prepare(s);
  std::size_t at = 0;
  unsigned seed = splitSeed | 1u;
  while (at < bytes.size()) {
    seed = seed * 1103515245u + 12345u;
    const std::size_t n = std::min<std::size_t>(1 + (seed >> 16) % 17, bytes.size() - at);
    split.p.bytes.ProcessReceived(bytes.substr(at, n), n);
    at += n;
  }
  FUZZ_CHECK(whole.p.ascii.text() == split.p.ascii.text());
  FUZZ_CHECK(whole.p.hex.text() == split.p.hex.text());
  FUZZ_CHECK(split.p.bytes.hexColumn() == wholeColumn);
  FUZZ_CHECK(split.p.bytes.replyCount() == wholeReplies);
  whole.settle();
  split.settle();

  // Bytes left out of both panes: a wrap character with no position chosen.
  std::string shown;
  const std::string& wrapText = s.wrapText;
  for (char b : bytes) {
    const bool wraps = s.wrap && !wrapText.empty() && b != '\n' &&
                       (b == wrapText[0] || (wrapText[0] == '$' && b == dollarByte(wrapText)));
    const bool dropped = wraps && s.position == -1;
    if (!dropped) shown += b;
  }
  const std::string hexBytes = hexPaneBytes(whole.p.hex.text());
  FUZZ_CHECK(hexBytes == shown);

  // The ASCII pane shows every byte but NUL, with row ends and stamps added.
  std::size_t nonNul = 0;
  for (char b : shown) nonNul += b != '\0';
  FUZZ_CHECK(whole.p.ascii.text().size() >= nonNul);
  if (!s.wrap && !s.insertTime && s.noLineCheck) {
    // Without wraps, stamps and the line check: each LF ends a row with
    // CR LF, or with the LF alone after a CR or in an empty pane.
    std::string ascii;
    for (char b : bytes) {
      if (b == '\n' && !ascii.empty() && ascii.back() != '\r') ascii += '\r';
      if (b != '\0') ascii += b;
    }
    FUZZ_CHECK(whole.p.ascii.text() == ascii);
  }
  return 0;
}
