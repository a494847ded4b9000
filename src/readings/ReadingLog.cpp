#include "readings/ReadingLog.h"

#include <algorithm>

namespace readings {

namespace {
// Units beyond this many share the last index: it reads "?".
constexpr std::size_t kMaxUnits = 255;
}  // namespace

ReadingLog::ReadingLog() : units_{std::string()}, stats_(1) {}

std::uint8_t ReadingLog::unitIndex(std::string_view unit) {
  if (unit.empty()) return 0;
  for (std::size_t i = 1; i < units_.size(); ++i)
    if (units_[i] == unit) return static_cast<std::uint8_t>(i);
  if (units_.size() >= kMaxUnits) {
    if (units_.size() == kMaxUnits) {
      units_.emplace_back("?");
      stats_.emplace_back();
    }
    return static_cast<std::uint8_t>(kMaxUnits);
  }
  units_.emplace_back(unit);
  stats_.emplace_back();
  return static_cast<std::uint8_t>(units_.size() - 1);
}

void ReadingLog::addRow(std::string_view row, std::int64_t timeMs) {
  // The row's CR (a CR LF from the scale) is no part of its text.
  while (!row.empty() && (row.back() == '\r' || row.back() == '\n')) row.remove_suffix(1);
  const ReplyValue value = ReadReply(row);
  Reading r;
  r.timeMs = timeMs;
  r.value = value.value;
  r.valued = value.hasValue;
  r.decimals = value.decimals;
  r.state = value.state;
  r.unit = unitIndex(value.unitText());
  r.order = sentOrder_;
  r.pass = sentPass_;
  // NULs never reach a pane either; the shared store is bounded by 4 GiB.
  const std::string_view kept = row.substr(0, kMaxRaw);
  r.rawOffset = static_cast<std::uint32_t>(std::min<std::size_t>(raw_.size(), UINT32_MAX));
  if (raw_.size() + kept.size() < UINT32_MAX) {
    if (kept.find('\0') == std::string_view::npos) {
      raw_.append(kept);
    } else {
      for (char c : kept)
        if (c != '\0') raw_.push_back(c);
    }
  }
  r.rawLength = static_cast<std::uint16_t>(raw_.size() - r.rawOffset);
  readings_.push_back(r);
  if (r.valued) {
    UnitStats& s = stats_[r.unit];
    if (r.state == State::Stable) s.stable.add(r.value);
    if (r.state == State::Stable || r.state == State::Unstable) s.withUnstable.add(r.value);
  }
  if (onAdded) onAdded();
}

void ReadingLog::rowPending(std::string_view part, bool continues) {
  if (!continues) pending_.clear();
  if (pending_.size() < kMaxRow) pending_.append(part.substr(0, kMaxRow - pending_.size()));
}

void ReadingLog::rowCounted(std::string_view end, bool continues, std::int64_t timeMs) {
  if (!continues || pending_.empty()) {
    pending_.clear();
    addRow(end.substr(0, kMaxRow), timeMs);
    return;
  }
  rowPending(end, true);
  const std::string row = std::move(pending_);
  pending_.clear();
  addRow(row, timeMs);
}

void ReadingLog::clear() {
  readings_.clear();
  readings_.shrink_to_fit();
  raw_.clear();
  raw_.shrink_to_fit();
  units_.assign(1, std::string());
  stats_.assign(1, UnitStats{});
  if (onCleared) onCleared();
}

void ReadingLog::startRun() {
  pass_ = 0;
  lastBegunOrder_ = 0;
  armedOrder_ = 0;
  clear();
}

void ReadingLog::armOrder(std::int16_t order, std::int32_t stepsDone) {
  armedOrder_ = order;
  armedSteps_ = stepsDone;
}

void ReadingLog::sent() {
  if (armedOrder_ == 0) {
    sentOrder_ = 0;
    sentPass_ = 0;
    return;
  }
  // An order that begins again at or before the last one begun is a new pass
  // over a repeated stretch.
  if (armedSteps_ == 0) {
    if (pass_ == 0 || armedOrder_ <= lastBegunOrder_) ++pass_;
    lastBegunOrder_ = armedOrder_;
  }
  if (pass_ == 0) pass_ = 1;
  sentOrder_ = armedOrder_;
  sentPass_ = pass_;
  armedOrder_ = 0;
}

Summary ReadingLog::stats(std::uint8_t unit, bool withUnstable) const {
  if (unit >= stats_.size()) return RunningStats{}.summary();
  return withUnstable ? stats_[unit].withUnstable.summary() : stats_[unit].stable.summary();
}

std::uint8_t ReadingLog::mainUnit() const {
  std::uint8_t best = 0;
  std::int64_t bestCount = 0;
  for (std::size_t i = 0; i < stats_.size(); ++i) {
    if (stats_[i].withUnstable.count() > bestCount) {
      bestCount = stats_[i].withUnstable.count();
      best = static_cast<std::uint8_t>(i);
    }
  }
  return best;
}

}  // namespace readings
