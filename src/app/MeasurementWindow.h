#pragma once
// The main window as the automatic measurement sees it: the window's side of
// the sequencer's narrow interfaces, what a run needs and what it reports,
// which become the window's status texts and buttons.
#include "automatic/RunStatus.h"
#include "automatic/SequencerWindow.h"

namespace app {

class TForm1;

class MeasurementWindow final : public automatic::SequencerWindow, public automatic::RunStatus {
 public:
  explicit MeasurementWindow(TForm1& form) : form_(form) {}

  // Also tells what a run reports to watcher (a run without a window prints
  // it); null: to the window alone.
  void setWatcher(automatic::RunStatus* watcher) { watcher_ = watcher; }

  const ui::StringGrid* orderGrid() const override;
  void sendOrder() override;
  std::int32_t replyCount() const override;
  std::int32_t sentCount() const override;
  void resetReplyCounts() override;
  void runStarted() override;
  void orderSending(std::int16_t order, std::int32_t measurementsDone) override;
  std::string captureFileName() const override;
  void chooseCaptureFile(const std::string& name) override;
  bool serialLinkIs(const std::string& port, serial::TBaudRate speed) const override;
  void switchToSerial(const std::string& port, serial::TBaudRate speed) override;
  bool ethernetLinkIs(const std::string& host, std::int32_t port) const override;
  void switchToEthernet(const std::string& host, std::int32_t port) override;
  void restoreSavedPort() override;
  std::string serialPortName() const override;
  bool serialDeviceGone() const override;

  void runStarting() override;
  void runGoing() override;
  void orderSetUp(std::int16_t order, const std::string& text) override;
  void progress(std::int16_t order, std::int64_t measurementsLeft,
                std::optional<std::int64_t> passesLeft) override;
  void replies(std::int32_t replies, std::int32_t sent) override;
  void countdown(std::int32_t seconds, std::int32_t replies, std::int32_t sent) override;
  void result(bool finished, std::int32_t replies, std::int32_t sent) override;
  void runOver(automatic::RunState state) override;
  void notification() override;
  void failed(const std::string& message) override;

 private:
  // Closes the Ethernet link when it is connecting or open, and the serial
  // port, before the link changes.
  void closeLinks();

  TForm1& form_;
  automatic::RunStatus* watcher_ = nullptr;
};

}  // namespace app
