#pragma once
// The readings journal: every reading kept in "readings.db" in the settings
// folder (SQLite, WAL), in series. The window's thread hands readings over
// and never waits for the disk; a thread of the journal inserts them in
// batches, each committed at most about 100 ms after its first reading, and
// sleeps while nothing is queued. One program at a time holds the file; a
// file that cannot be used (damaged, a folder, read-only, held by another
// running terminal, a newer layout, a full disk) is told once, and the
// readings of the session go on in memory.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "platform/FileLock.h"
#include "platform/Sqlite.h"
#include "readings/ReadingsText.h"
#include "readings/SeriesPlot.h"
#include "readings/Statistics.h"
#include "readings/StoredReading.h"

namespace readings {

// The statistics of one unit of a series, as the window shows them.
struct UnitSummary {
  std::string unit;  // Windows-1250; empty for readings without a unit
  std::uint8_t decimals = 0;
  Summary stable;
  Summary withUnstable;
};

struct SeriesInfo {
  std::int64_t id = 0;
  std::int64_t startMs = 0;
  std::int32_t utcOffsetMinutes = 0;
  std::string link;  // of its first reading, or the one it was begun on
  std::int64_t count = 0;
  std::string unit;  // the unit of most readings with a value
  Summary stats;     // of the stable readings in that unit
  std::int64_t latencyCount = 0;
  double latencyMeanMs = 0;
  std::int32_t latencyMaxMs = 0;
};

struct JournalOptions {
  // Pages the file may grow to, 0 for no bound: a small disk for tests.
  std::int64_t maxPages = 0;
};

class Journal final : public PublishQueue {
 public:
  // A Polish message (Windows-1250) for the operator.
  using Report = std::function<void(const std::string& message)>;

  static constexpr const char* kFileName = "readings.db";
  // The layout of the file, kept in its user_version (README.md, "The
  // readings journal").
  static constexpr int kSchemaVersion = 2;

  // Opens or creates readings.db in `folder` (UTF-8). Problems found now are
  // reported before the constructor returns; later ones (a full disk) on
  // the journal's thread.
  Journal(const std::string& folder, Report report, JournalOptions options = {});
  // Commits everything queued, then closes the file.
  ~Journal();
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  // False when the readings of this session live in memory only.
  bool onDisk() const { return onDisk_.load(); }
  const std::string& path() const { return path_; }

  // Begins a new series; later readings belong to it. Never waits.
  std::int64_t beginSeries(std::int64_t startMs, std::int32_t utcOffsetMinutes, std::string link);
  std::int64_t currentSeries() const;
  // The series being written ends: the next reading begins a new one.
  void endSeries();
  // Queues a reading of the current series (begun first when there is
  // none); returns its id, and tells the series when asked. Never waits for
  // the disk.
  std::int64_t add(StoredReading reading, std::int64_t* series = nullptr);
  // Waits until everything queued so far is committed (a session's end).
  void flush();
  // Called on the journal's thread after each commit. Set it before the
  // first reading is added.
  std::function<void()> onCommitted;

  // The series, oldest first, as committed so far.
  std::vector<SeriesInfo> listSeries();
  std::optional<SeriesInfo> series(std::int64_t id);
  // The statistics of each unit of a series.
  std::vector<UnitSummary> seriesUnits(std::int64_t id);
  // Up to `limit` readings of a series from its row `firstRow` (0 the first).
  std::vector<StoredReading> page(std::int64_t series, std::int64_t firstRow, std::size_t limit);
  // Up to `limit` committed readings of a series from the one with id `firstId` on.
  std::vector<StoredReading> readingsFrom(std::int64_t series, std::int64_t firstId, std::size_t limit);
  // The plot of a series in one unit (Windows-1250), thinned out to about
  // `maxPoints` as SeriesPlot does. Read a piece at a time.
  std::vector<PlotPoint> plot(std::int64_t series, const std::string& unit, std::size_t maxPoints);
  // Writes a series as CSV into the file at `utf8Path`, reading it a piece at
  // a time; the file is replaced whole, or left as it was on failure.
  bool exportCsv(std::int64_t series, const std::string& utf8Path, TextFlavour flavour, std::string* error);
  // Removes a finished series; false for the current one or an unknown one.
  bool deleteSeries(std::int64_t id);

  std::vector<StoredReading> unpublishedAfter(std::int64_t afterId, std::size_t limit) override;
  void markPublished(std::span<const std::int64_t> ids) override;
  std::int64_t unpublishedCount() override;

 private:
  struct SeriesStart {
    std::int64_t id;
    std::int64_t startMs;
    std::int32_t utcOffsetMinutes;
    std::string link;
  };
  using Item = std::variant<SeriesStart, StoredReading>;
  // A deque: a queue grown long while the disk is slow is never moved whole
  // on the window's thread to make room.
  using Queue = std::deque<Item>;
  struct UnitState {
    std::uint8_t decimals = 0;
    RunningStats stable, withUnstable;
    bool changed = false;
  };
  // What the journal's thread keeps of the series it writes.
  struct Current {
    SeriesStart start{};
    std::int64_t count = 0;
    std::vector<std::pair<std::string, UnitState>> units;  // UTF-8 names
    std::int64_t latencyCount = 0;
    double latencySum = 0;
    std::int32_t latencyMax = 0;
  };
  struct Statements;
  // A connection of a thread other than the journal's, opened when first
  // needed and again after the journal moved into memory.
  struct Reader {
    std::mutex mutex;
    platform::SqliteDb db;
    int generation = -1;
  };

  std::int64_t beginSeriesLocked(std::int64_t startMs, std::int32_t utcOffsetMinutes, std::string link);
  void enqueue(Item item);
  bool openFile(platform::SqliteDb& db);
  void openMemory(platform::SqliteDb& db);
  void configure(platform::SqliteDb& db, bool disk);
  void run();
  void write(Queue& batch);
  void writeBatch(Statements& s, Queue& batch);
  void moveToMemory(const platform::SqliteError& error);
  void account(const StoredReading& r);
  platform::SqliteDb& reader(Reader& r);
  // Readings of `series` (?1) with a limit (?2) and a start (?3) as `where` uses them.
  std::vector<StoredReading> readingsWhere(const char* where, std::int64_t series, std::int64_t from,
                                           std::size_t limit);
  std::string message(const char* utf8Before, const std::string& after = {}) const;

  std::string folder_;
  std::string path_;
  Report report_;
  JournalOptions options_;
  std::string memoryName_;
  std::atomic<bool> onDisk_{false};
  std::atomic<int> generation_{0};
  platform::FileLock lock_;

  // The journal thread's own.
  platform::SqliteDb db_;
  std::unique_ptr<Statements> statements_;
  Current current_;
  bool failed_ = false;

  mutable std::mutex mutex_;
  std::condition_variable queued_;
  std::condition_variable committed_;
  Queue queue_;
  std::uint64_t queuedCount_ = 0;
  std::uint64_t doneCount_ = 0;
  bool stopping_ = false;
  std::int64_t nextReading_ = 1;
  std::int64_t nextSeries_ = 1;
  std::int64_t currentSeries_ = 0;

  Reader ui_;
  Reader publish_;
  std::thread thread_;
};

}  // namespace readings
