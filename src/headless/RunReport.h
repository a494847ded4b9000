#pragma once
// What a run reports, as lines on the console: the same texts the window's
// captions show (the order, the progress, "Odpowiedzi: n / m", the countdown,
// the result), and the run's end, which ends the program.
#include <optional>

#include "automatic/RunStatus.h"
#include "headless/Console.h"

namespace headless {

class RunReport final : public automatic::RunStatus {
 public:
  explicit RunReport(Console& console) : console_(console) {}

  void runStarting() override {}
  void runGoing() override {}
  void orderSetUp(std::int16_t order, const std::string& text) override;
  void progress(std::int16_t order, std::int64_t measurementsLeft,
                std::optional<std::int64_t> passesLeft) override;
  void replies(std::int32_t replies, std::int32_t sent) override;
  void countdown(std::int32_t seconds, std::int32_t replies, std::int32_t sent) override;
  void result(bool finished, std::int32_t replies, std::int32_t sent) override;
  void runOver(automatic::RunState state) override { over_ = state; }
  // The bell rings and the notification window tells its text (see Run).
  void notification() override {}
  // The message goes to the console as the window's message box.
  void failed(const std::string&) override {}

  // How the run ended; nothing while it goes.
  std::optional<automatic::RunState> over() const { return over_; }

 private:
  Console& console_;
  std::optional<automatic::RunState> over_;
};

}  // namespace headless
