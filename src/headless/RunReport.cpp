#include "headless/RunReport.h"

#include <string>

#include "automatic/Sequencer.h"

namespace headless {

namespace {

std::string orderText(std::int16_t order) {
  return "Rozkaz nr " + std::to_string(order);
}

}  // namespace

void RunReport::orderSetUp(std::int16_t order, const std::string& text) {
  console_.progress(orderText(order) + ": " + text);
}

void RunReport::progress(std::int16_t order, std::int64_t measurementsLeft,
                         std::optional<std::int64_t> passesLeft) {
  console_.progress(orderText(order) + ", " + automatic::ProgressText(measurementsLeft, passesLeft));
}

void RunReport::replies(std::int32_t replies, std::int32_t sent) {
  console_.progress(automatic::RepliesText(replies, sent));
}

void RunReport::countdown(std::int32_t seconds, std::int32_t replies, std::int32_t sent) {
  console_.progress(automatic::CountdownText(seconds, replies, sent));
}

void RunReport::result(bool finished, std::int32_t replies, std::int32_t sent) {
  console_.progress(automatic::RunEndText(finished, replies, sent));
}

}  // namespace headless
