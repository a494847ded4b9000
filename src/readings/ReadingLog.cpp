#include "readings/ReadingLog.h"

#include <algorithm>
#include <ctime>

#include "platform/LocalTime.h"
#include "readings/Journal.h"

namespace readings {

namespace {
// Units beyond this many share the last index: it reads "?".
constexpr std::size_t kMaxUnits = 255;
// The local offset from UTC at a moment, in minutes: the local time of day
// read back as if it were UTC, less the moment.
std::int32_t utcOffsetMinutes(std::int64_t timeMs) {
  const std::time_t t = static_cast<std::time_t>(timeMs / 1000);
  const std::tm local = platform::localTime(t);
  // Days from 1970-01-01 of a civil date (the proleptic Gregorian calendar).
  const std::int64_t y = local.tm_year + 1900 - (local.tm_mon < 2);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t m = local.tm_mon + 1;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + local.tm_mday - 1;
  const std::int64_t days = era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
  const std::int64_t asUtc = days * 86400 + local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
  return static_cast<std::int32_t>((asUtc - static_cast<std::int64_t>(t)) / 60);
}

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

void ReadingLog::addReading(std::string_view row, std::int64_t timeMs, bool counted) {
  // The row's CR (a CR LF from the scale) is no part of its text.
  while (!row.empty() && (row.back() == '\r' || row.back() == '\n')) row.remove_suffix(1);
  const ReplyValue value = ReadReply(row);
  if (!counted) {
    // Only a row with a weight is a reading when it answered no send.
    if (!value.hasValue) return;
    if (!everyRow_) {
      if (!uncountedWeights_) {
        uncountedWeights_ = true;
        if (onAdded) onAdded();
      }
      return;
    }
  }
  Reading r;
  r.timeMs = timeMs;
  r.value = value.value;
  r.valued = value.hasValue;
  r.decimals = value.decimals;
  r.state = value.state;
  r.unit = unitIndex(value.unitText());
  r.order = counted ? sentOrder_ : 0;
  r.pass = counted ? sentPass_ : 0;
  // Only the reply to a send has a latency, and only one reply counts.
  if (counted && sentAtMs_ >= 0 && timeMs >= sentAtMs_)
    r.latencyMs = static_cast<std::int32_t>(std::min<std::int64_t>(timeMs - sentAtMs_, INT32_MAX));
  if (counted) sentAtMs_ = -1;
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
  if (readings_.empty() && first_ == 0) startMs_ = timeMs;
  if (r.valued && plotUnit_ < 0 && (r.state == State::Stable || r.state == State::Unstable))
    plotUnit_ = r.unit;
  plot_.add(timeMs, r.valued ? std::optional<double>(r.value) : std::nullopt, r.state, r.unit == plotUnit_);
  if (r.latencyMs >= 0) {
    ++latencyCount_;
    latencySum_ += r.latencyMs;
    latencyMax_ = std::max(latencyMax_, r.latencyMs);
  }
  if (journal_) {
    StoredReading stored;
    stored.timeMs = timeMs;
    stored.utcOffsetMinutes = utcOffsetMinutes(timeMs);
    stored.order = r.order;
    stored.pass = r.pass;
    if (r.valued) stored.value = r.value;
    stored.decimals = r.decimals;
    stored.unit = value.unitText();
    stored.state = r.state;
    if (r.latencyMs >= 0) stored.latencyMs = r.latencyMs;
    if (linkName) stored.link = linkName();
    stored.text = rawText(r);
    std::int64_t series = 0;
    const std::int64_t id = journal_->add(std::move(stored), &series);
    // The journal can give back the series' readings when it has them all.
    if (size() == 0) {
      journalSeries_ = series;
      firstId_ = id;
    } else if (series != journalSeries_ || id != journalId(size())) {
      firstId_ = 0;
    }
  }
  readings_.push_back(r);
  if (firstId_ && readings_.size() > kKeptReadings) forgetOldest();
  if (r.valued) {
    UnitStats& s = stats_[r.unit];
    s.decimals = r.decimals;
    if (r.state == State::Stable) s.stable.add(r.value);
    if (r.state == State::Stable || r.state == State::Unstable) s.withUnstable.add(r.value);
  }
  if (onAdded) onAdded();
}

void ReadingLog::setJournal(Journal* journal) {
  if (journal == journal_) return;
  journal_ = journal;
  // The series begun goes on in another journal (or none): it stays in memory.
  firstId_ = 0;
}

void ReadingLog::forgetOldest() {
  const std::size_t gone = readings_.size() / 2;
  readings_.erase(readings_.begin(), readings_.begin() + static_cast<std::ptrdiff_t>(gone));
  first_ += gone;
  const std::uint32_t cut = readings_.front().rawOffset;
  raw_.erase(0, cut);
  for (Reading& r : readings_) r.rawOffset -= cut;
}

void ReadingLog::rowPending(std::string_view part, bool continues) {
  if (!continues) pending_.clear();
  if (pending_.size() < kMaxRow) pending_.append(part.substr(0, kMaxRow - pending_.size()));
}

std::string ReadingLog::completeRow(std::string_view end, bool continues) {
  if (!continues || pending_.empty()) {
    pending_.clear();
    return std::string(end.substr(0, kMaxRow));
  }
  rowPending(end, true);
  std::string row = std::move(pending_);
  pending_.clear();
  return row;
}

void ReadingLog::rowCounted(std::string_view end, bool continues, std::int64_t timeMs) {
  addReading(completeRow(end, continues), timeMs, true);
}

void ReadingLog::rowUncounted(std::string_view end, bool continues, std::int64_t timeMs) {
  addReading(completeRow(end, continues), timeMs, false);
}

void ReadingLog::clear() {
  readings_.clear();
  readings_.shrink_to_fit();
  first_ = 0;
  journalSeries_ = 0;
  firstId_ = 0;
  plot_.clear();
  plotUnit_ = -1;
  startMs_ = 0;
  raw_.clear();
  raw_.shrink_to_fit();
  units_.assign(1, std::string());
  stats_.assign(1, UnitStats{});
  uncountedWeights_ = false;
  latencyCount_ = 0;
  latencySum_ = 0;
  latencyMax_ = 0;
  // The next reading begins a new series in the journal.
  if (journal_) journal_->endSeries();
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

void ReadingLog::sent(std::int64_t timeMs) {
  sentAtMs_ = timeMs;
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
