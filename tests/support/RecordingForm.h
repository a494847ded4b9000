#pragma once
// The main window with its Ethernet link, connection dialog and line error
// query replaced by recorders: what the window hands to them is kept, and no
// connection is ever made.
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/TForm1.h"
#include "serial/ComTypes.h"

namespace testing_support {

class RecordingForm : public app::TForm1 {
 public:
  using app::TForm1::TForm1;

  void SendOrder(const std::string& bytes) override { ethernetSends.push_back(bytes); }
  void EthToggleConnection(const std::string& host, std::int32_t port) override {
    toggles.emplace_back(host, port);
  }
  void ShowConnectionDialog() override {
    ++dialogsShown;
    if (onDialog) onDialog();
  }
  // Queued error sets are taken one per query; then the port answers itself.
  serial::TComErrors QueryLineErrors() override {
    if (lineErrors.empty()) return TForm1::QueryLineErrors();
    const serial::TComErrors e = lineErrors.front();
    lineErrors.pop_front();
    return e;
  }

  std::vector<std::string> ethernetSends;
  std::vector<std::pair<std::string, std::int32_t>> toggles;
  int dialogsShown = 0;
  std::function<void()> onDialog;
  std::deque<serial::TComErrors> lineErrors;
};

}  // namespace testing_support
