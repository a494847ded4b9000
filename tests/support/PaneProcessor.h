#pragma once
// The byte processor with no main window: its two pane models set up as the
// window sets them (the HEX pane packed, taking its values from the ASCII
// pane), and a window that answers with settings the caller chooses and
// keeps the rows handed to the capture file, or hands them to a real one.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/ByteProcessor.h"
#include "app/CaptureFile.h"
#include "platform/EventLoop.h"
#include "readings/ReadingLog.h"
#include "ui/Memo.h"

namespace testing_support {

class FakeReceiveWindow : public app::ReceiveWindow {
 public:
  app::ReceiveSettings receiveSettings() const override {
    app::ReceiveSettings s = settings;
    if (capture) s.storeRows = capture->chosen();
    return s;
  }
  void showReplyCount() override { ++repliesShown; }
  bool storeRow(std::string_view ascii, std::string_view hex) override {
    if (capture) return capture->StoreReply(ascii, hex);
    rows.emplace_back(ascii, hex);
    return fileTakesRows;
  }
  void checkLine() override { ++lineChecks; }

  app::ReceiveSettings settings;
  // Set, rows go to this capture file as the main window hands them over:
  // while a file is chosen, and kept in the panes when it does not take them.
  app::CaptureFile* capture = nullptr;
  // Without one: whether the capture file takes a row handed to it, and the
  // rows handed over.
  bool fileTakesRows = true;
  std::vector<std::pair<std::string, std::string>> rows;
  int repliesShown = 0;
  int lineChecks = 0;
};

struct PaneProcessor {
  explicit PaneProcessor(platform::EventLoop& loop) : bytes(window, ascii, hex, loop, readings) {
    hex.setPackedHexPairs(true);
    hex.setPairSource(&ascii);
  }
  void receive(const std::string& data) { bytes.ProcessReceived(data, data.size()); }
  // Wraps rows at text, in position 0 (the character starts a row), 1 (ends
  // one) or -1 (none chosen: the character is left out).
  void wrapAt(std::string_view text, int position) {
    window.settings.wrapRows = true;
    window.settings.setWrapText(text);
    window.settings.wrapPosition = position;
  }

  ui::Memo ascii{"Memo1"};
  ui::Memo hex{"Memo2"};
  readings::ReadingLog readings;
  FakeReceiveWindow window;
  app::ByteProcessor bytes;
};

}  // namespace testing_support
