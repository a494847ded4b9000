#pragma once
// The readings of the counted reply rows: one compact record per row (time,
// order and pass of an automatic measurement, value, unit, state) with its
// raw text kept in a shared store, the running statistics per unit and the
// series' thinned-out plot. With a journal only the newest readings stay in
// memory: the older ones of the series are read back from the journal.
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "readings/ReplyReader.h"
#include "readings/SeriesPlot.h"
#include "readings/Statistics.h"

namespace readings {

class Journal;

struct Reading {
  std::int64_t timeMs = 0;  // wall clock, ms since the epoch
  double value = 0;         // meaningful when hasValue()
  std::uint32_t rawOffset = 0;
  std::uint16_t rawLength = 0;
  std::int16_t order = 0;  // 0: not sent by an automatic measurement
  std::int32_t pass = 0;
  std::int32_t latencyMs = -1;  // from the send to the row's end; -1 for a row that answered none
  std::uint8_t unit = 0;  // index into the log's units; 0 is no unit
  std::uint8_t decimals = 0;
  State state = State::Unknown;
  bool valued = false;

  bool hasValue() const { return valued; }
};

class ReadingLog {
 public:
  ReadingLog();

  // A counted reply row (its line end already taken off), arrived at timeMs.
  void addRow(std::string_view row, std::int64_t timeMs) { addReading(row, timeMs, true); }
  // The byte processor's view of rows. A chunk's text up to a counted
  // row's end, or its text after the last row break: `continues` when it
  // goes on from the row in progress at the end of the previous chunk.
  void rowCounted(std::string_view end, bool continues, std::int64_t timeMs);
  void rowPending(std::string_view part, bool continues);
  // A row that answered no send. With every row read, one that holds a
  // weight is a reading; otherwise it is only noted that such rows come.
  void rowUncounted(std::string_view end, bool continues, std::int64_t timeMs);
  // Whether the byte processor must hand over the rows that answer no send.
  bool wantsUncountedRows() const { return everyRow_ || !uncountedWeights_; }
  void setEveryRow(bool on) { everyRow_ = on; }
  bool everyRow() const { return everyRow_; }
  // Rows with a weight came that answered no send, while they are no readings.
  bool uncountedWeights() const { return uncountedWeights_; }
  // Empties the series and the statistics.
  void clear();
  // An automatic measurement starts: a new series, passes counted from 1.
  void startRun();
  // The automatic measurement is about to send order `order`, of which
  // `stepsDone` steps were made; the next send carries that tag.
  void armOrder(std::int16_t order, std::int32_t stepsDone);
  // Any send, at timeMs: replies to it carry the armed tag, or none for a
  // manual send, and their latency from this moment.
  void sent(std::int64_t timeMs = -1);

  // Every reading also goes to the journal, when there is one; the link
  // names the port or device server the readings come from.
  void setJournal(Journal* journal);
  std::function<std::string()> linkName;

  // Readings of the series, and the first of them still in memory: at(i)
  // for i from firstKept() up to size().
  std::size_t size() const { return first_ + readings_.size(); }
  std::size_t firstKept() const { return first_; }
  const Reading& at(std::size_t i) const { return readings_[i - first_]; }
  std::string_view rawText(const Reading& r) const {
    return std::string_view(raw_).substr(r.rawOffset, r.rawLength);
  }
  // Where the journal keeps reading i of the series: its series and reading
  // ids (the ids of a series follow one another); 0 when it does not.
  std::int64_t journalSeries() const { return journalSeries_; }
  std::int64_t journalId(std::size_t i) const { return firstId_ ? firstId_ + static_cast<std::int64_t>(i) : 0; }
  const std::string& unitName(std::uint8_t unit) const { return units_[unit]; }
  std::size_t unitCount() const { return units_.size(); }

  // Statistics of a unit over the stable readings, or with the unstable ones.
  Summary stats(std::uint8_t unit, bool withUnstable) const;
  // The unit of most readings with a value so far (0 when none).
  std::uint8_t mainUnit() const;
  // The decimals the scale last printed in a unit.
  std::uint8_t decimals(std::uint8_t unit) const { return unit < stats_.size() ? stats_[unit].decimals : 0; }
  // The plot of the series: the unit it shows (the first one read with a
  // weight, -1 before), the time of its first reading and its points.
  int plotUnit() const { return plotUnit_; }
  std::int64_t startMs() const { return startMs_; }
  const SeriesPlot& plot() const { return plot_; }

  // The reply latencies of the series: how many, their mean and maximum.
  std::int64_t latencyCount() const { return latencyCount_; }
  double latencyMeanMs() const {
    return latencyCount_ ? latencySum_ / static_cast<double>(latencyCount_) : 0;
  }
  std::int32_t latencyMaxMs() const { return latencyMax_; }

  // Told after a reading was added and after the series was emptied.
  std::function<void()> onAdded;
  std::function<void()> onCleared;

  // With a journal, readings beyond this many leave memory, the oldest half at a time.
  static constexpr std::size_t kKeptReadings = 20000;
  // Points of the plot, at most about.
  static constexpr std::size_t kPlotPoints = 3000;
  // Bytes of a row's text kept; longer rows keep their start.
  static constexpr std::size_t kMaxRaw = 120;
  // Bytes of a row read for its value; a weight is near the start.
  static constexpr std::size_t kMaxRow = 256;

 private:
  std::uint8_t unitIndex(std::string_view unit);
  // The row in progress completed by `end`, its start kept up to kMaxRow.
  std::string completeRow(std::string_view end, bool continues);
  void addReading(std::string_view row, std::int64_t timeMs, bool counted);
  // Lets the oldest readings go when the journal can give them back.
  void forgetOldest();

  struct UnitStats {
    RunningStats stable, withUnstable;
    std::uint8_t decimals = 0;
  };
  std::deque<Reading> readings_;
  std::size_t first_ = 0;
  // The series in the journal and the id of its first reading; firstId_ is
  // 0 when the journal does not hold the whole series (none, or another one
  // attached since it began), and then every reading stays in memory.
  std::int64_t journalSeries_ = 0;
  std::int64_t firstId_ = 0;
  SeriesPlot plot_{kPlotPoints};
  int plotUnit_ = -1;
  std::int64_t startMs_ = 0;
  // The start of the row in progress, up to what is read of a row.
  std::string pending_;
  std::string raw_;
  std::vector<std::string> units_;
  std::vector<UnitStats> stats_;
  // The automatic measurement's tag: armed by the sequencer, taken by the send.
  std::int16_t armedOrder_ = 0;
  std::int32_t armedSteps_ = 0;
  std::int16_t sentOrder_ = 0;
  std::int32_t sentPass_ = 0;
  std::int16_t lastBegunOrder_ = 0;
  std::int32_t pass_ = 0;
  std::int64_t sentAtMs_ = -1;
  std::int64_t latencyCount_ = 0;
  double latencySum_ = 0;
  std::int32_t latencyMax_ = 0;
  bool everyRow_ = false;
  bool uncountedWeights_ = false;
  Journal* journal_ = nullptr;
};

}  // namespace readings
