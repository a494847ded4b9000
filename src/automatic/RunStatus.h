#pragma once
// What the automatic measurement tells about a run as it goes: the main
// window turns it into its status texts and buttons, a run without a window
// prints it. The sequencer never reads anything back from here.
#include <cstdint>
#include <optional>
#include <string>

namespace automatic {

// Where a sequencer's run stands. Ended: the list ran to its end; Stopped:
// by Stop or by a failure.
enum class RunState { Idle, Running, Ended, Stopped };

class RunStatus {
 public:
  virtual ~RunStatus() = default;

  // A run is being set up: the link is the run's from now on.
  virtual void runStarting() = 0;
  // The run is going and can be stopped.
  virtual void runGoing() = 0;
  // order is now the current one; text is what its sends send.
  virtual void orderSetUp(std::int16_t order, const std::string& text) = 0;
  // A step of order was counted: measurements of it still to run, and passes
  // of the repeat stretch still to start (none while no repeat is under way).
  virtual void progress(std::int16_t order, std::int64_t measurementsLeft,
                        std::optional<std::int64_t> passesLeft) = 0;
  // The replies counted and the orders sent, while no countdown shows them.
  virtual void replies(std::int32_t replies, std::int32_t sent) = 0;
  // Seconds to the next measurement, with the counts.
  virtual void countdown(std::int32_t seconds, std::int32_t replies, std::int32_t sent) = 0;
  // How the last run ended (finished: it reached the end of the list), with
  // the counts; told again whenever the counts change outside a run.
  virtual void result(bool finished, std::int32_t replies, std::int32_t sent) = 0;
  // The run is over (Ended or Stopped): nothing more to stop, the countdown
  // gone.
  virtual void runOver(RunState state) = 0;
  // A "beep" order calls the operator.
  virtual void notification() = 0;
  // The run failed: what the operator is told, after runOver.
  virtual void failed(const std::string& message) = 0;
};

}  // namespace automatic
