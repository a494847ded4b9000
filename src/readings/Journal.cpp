#include "readings/Journal.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/AtomicFile.h"
#include "platform/Cp1250.h"
#include "platform/PathText.h"
#include "platform/WholeFile.h"
#include "readings/JournalSchema.h"

namespace readings {

using platform::pl;
using platform::SqliteDb;
using platform::SqliteError;
using platform::SqliteFault;
using platform::SqliteStatement;

static_assert(Journal::kSchemaVersion == journal_schema::kVersion);

namespace {

// How long a statement waits for another connection of this program (the
// window deleting a series while the journal commits).
constexpr int kBusyMs = 5000;
// Bytes of CSV gathered before they go to the file.
constexpr std::size_t kExportChunk = 64 * 1024;

constexpr const char* kReadingColumns =
    "id, series, time_ms, utc_offset, ord, pass, value, decimals, unit, state, latency_ms, link, text";

// A Windows-1250 text as UTF-8 for the file: the text itself when it is
// ASCII (nearly every scale row), else converted into `scratch`.
std::string_view utf8Of(std::string_view text, std::string& scratch) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) {
      scratch = platform::cp1250ToUtf8(text);
      return scratch;
    }
  return text;
}

// A file written by a newer program: its layout is not this program's.
struct NewerFile {
  std::int64_t version;
};
// A database, but no journal: another program's file under our name.
struct ForeignFile {};

StoredReading readingOf(const SqliteStatement& row) {
  StoredReading r;
  r.id = row.int64(0);
  r.series = row.int64(1);
  r.timeMs = row.int64(2);
  r.utcOffsetMinutes = static_cast<std::int32_t>(row.int64(3));
  r.order = static_cast<std::int16_t>(row.int64(4));
  r.pass = static_cast<std::int32_t>(row.int64(5));
  if (!row.isNull(6)) r.value = row.real(6);
  r.decimals = static_cast<std::uint8_t>(row.int64(7));
  r.unit = platform::utf8ToCp1250(row.text(8));
  const std::int64_t state = row.int64(9);
  r.state =
      state >= 0 && state <= static_cast<int>(State::Unknown) ? static_cast<State>(state) : State::Unknown;
  if (!row.isNull(10)) r.latencyMs = static_cast<std::int32_t>(row.int64(10));
  r.link = platform::utf8ToCp1250(row.text(11));
  r.text = platform::utf8ToCp1250(row.text(12));
  return r;
}

void bindStats(SqliteStatement& s, int first, const RunningStats& stats) {
  const RunningStats::Saved v = stats.saved();
  s.bind(first, v.count).bind(first + 1, v.shift).bind(first + 2, v.mean).bind(first + 3, v.m2);
  s.bind(first + 4, v.min).bind(first + 5, v.max);
}

RunningStats statsAt(const SqliteStatement& row, int first) {
  return RunningStats(RunningStats::Saved{row.int64(first), row.real(first + 1), row.real(first + 2),
                                          row.real(first + 3), row.real(first + 4), row.real(first + 5)});
}

// Brings the file's layout up to this program's, in one transaction.
void upgrade(SqliteDb& db) {
  db.exec("BEGIN IMMEDIATE");
  try {
    const std::int64_t version = db.queryInt("PRAGMA user_version");
    if (version > journal_schema::kVersion) throw NewerFile{version};
    if (version == 0 && db.queryInt("SELECT count(*) FROM sqlite_master") > 0) throw ForeignFile{};
    for (std::int64_t v = version; v < journal_schema::kVersion; ++v) db.exec(journal_schema::kSteps[v]);
    if (version != journal_schema::kVersion)
      db.exec(("PRAGMA user_version = " + std::to_string(journal_schema::kVersion)).c_str());
    db.exec("COMMIT");
  } catch (...) {
    try {
      db.exec("ROLLBACK");
    } catch (const SqliteError&) {
    }
    throw;
  }
}

}  // namespace

// The journal thread's prepared statements, for the connection it writes.
struct Journal::Statements {
  explicit Statements(SqliteDb& db)
      : begin(db.prepare("BEGIN IMMEDIATE")),
        commit(db.prepare("COMMIT")),
        insertSeries(db.prepare("INSERT INTO series(id, start_ms, utc_offset, link) VALUES(?1, ?2, ?3, ?4)")),
        updateSeries(db.prepare(
            "UPDATE series SET link = ?2, unit = ?3, count = ?4, latency_count = ?5, latency_sum = ?6,"
            " latency_max = ?7 WHERE id = ?1")),
        saveUnit(
            db.prepare("INSERT OR REPLACE INTO series_units VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10,"
                       " ?11, ?12, ?13, ?14, ?15)")),
        insertReading(db.prepare(std::string("INSERT INTO readings(") + kReadingColumns +
                                 ") VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13)")) {}
  SqliteStatement begin, commit, insertSeries, updateSeries, saveUnit, insertReading;
};

std::string Journal::message(const char* utf8Before, const std::string& after) const {
  return pl(utf8Before) + platform::shownPath(platform::utf8ToCp1250(path_)) + pl(after);
}

Journal::Journal(const std::string& folder, Report report, JournalOptions options)
    : folder_(folder),
      path_(platform::utf8Path(platform::pathFromUtf8(folder) / kFileName)),
      report_(std::move(report)),
      options_(options),
      memoryName_("terso-readings-" + std::to_string(reinterpret_cast<std::uintptr_t>(this))) {
  const char* inMemory = " Odczyty tej sesji zostaną tylko w pamięci.";
  bool onDisk = false;
  try {
    onDisk = openFile(db_);
  } catch (const NewerFile&) {
    report_(message("Plik odczytów ", " zapisała nowsza wersja programu; ta wersja go nie zmieni.") +
            pl(inMemory));
  }
  if (!onDisk) {
    db_.close();
    lock_.release();
    openMemory(db_);
  }
  onDisk_ = onDisk;
  // Ids go on from the highest ever given, also when the newest series was
  // deleted, so an id never names two readings.
  auto next = [this](const char* table) {
    SqliteStatement s =
        db_.prepare(std::string("SELECT max(coalesce((SELECT seq FROM sqlite_sequence WHERE name = '") +
                    table + "'), 0), coalesce((SELECT max(id) FROM " + table + "), 0))");
    return s.step() ? s.int64(0) + 1 : 1;
  };
  nextReading_ = next("readings");
  nextSeries_ = next("series");
  statements_ = std::make_unique<Statements>(db_);
  thread_ = std::thread([this] { run(); });
}

Journal::~Journal() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  queued_.notify_one();
  thread_.join();
  statements_.reset();
  db_.close();
  ui_.db.close();
  publish_.db.close();
  lock_.release();
}

void Journal::configure(SqliteDb& db, bool disk) {
  db.setBusyTimeout(kBusyMs);
  if (disk) {
    // WAL: the window and the plant link read while the journal writes.
    // synchronous FULL syncs the WAL at every commit, so a committed reading
    // survives a power cut too; NORMAL would keep it through a crash of the
    // program but could lose the last commits with the power. A commit
    // carries a whole batch, so the sync costs little per reading.
    if (db.queryText("PRAGMA journal_mode = WAL") != "wal")
      throw SqliteError(SqliteFault::Other, 0, "no WAL");
    db.exec("PRAGMA synchronous = FULL");
  }
  if (disk && options_.maxPages > 0)
    db.exec(("PRAGMA max_page_count = " + std::to_string(options_.maxPages)).c_str());
}

bool Journal::openFile(SqliteDb& db) {
  const char* inMemory = " Odczyty tej sesji zostaną tylko w pamięci.";
  for (int attempt = 0; attempt < 2; ++attempt) {
    const int held = lock_.acquire(path_);
    if (held == EISDIR || held == EINVAL) {
      report_(message("W miejscu pliku odczytów ", " stoi folder lub inny nie-plik.") + pl(inMemory));
      return false;
    }
    if (held == EWOULDBLOCK) {
      report_(message("Plik odczytów ", " jest używany przez inny uruchomiony program terso.") +
              pl(inMemory));
      return false;
    }
    if (held == EACCES || held == EROFS || held == EPERM) {
      report_(
          message("Pliku odczytów ", " nie można zapisywać (brak uprawnień lub nośnik tylko do odczytu).") +
          pl(inMemory));
      return false;
    }
    if (held != 0) {
      report_(message("Nie można otworzyć pliku odczytów ", ": ") + std::strerror(held) + "." + pl(inMemory));
      return false;
    }
    try {
      db.open(path_);
      if (db.readOnly()) throw SqliteError(SqliteFault::ReadOnly, 0, "read-only");
      configure(db, true);
      upgrade(db);
      return true;
    } catch (const ForeignFile&) {
    } catch (const SqliteError& e) {
      if (e.fault() != SqliteFault::NotADatabase && e.fault() != SqliteFault::Corrupt) {
        db.close();
        lock_.release();
        switch (e.fault()) {
          case SqliteFault::ReadOnly:
          case SqliteFault::CantOpen:
            report_(message("Pliku odczytów ",
                            " nie można zapisywać (brak uprawnień lub nośnik tylko do odczytu).") +
                    pl(inMemory));
            break;
          case SqliteFault::Full:
            report_(message("Brak miejsca na dysku dla pliku odczytów ", ".") + pl(inMemory));
            break;
          case SqliteFault::Busy:
            report_(message("Plik odczytów ", " jest zajęty przez inny program.") + pl(inMemory));
            break;
          default:
            report_(message("Nie można otworzyć pliku odczytów ", ": ") + e.what() + "." + pl(inMemory));
        }
        return false;
      }
    }
    // Damaged, or not a journal at all: kept aside, and a new one begun.
    db.close();
    lock_.release();
    const std::optional<std::string> aside = attempt == 0 ? platform::freeBackupName(path_) : std::nullopt;
    if (!aside || platform::renameFile(path_, *aside) != 0) {
      report_(message("Plik odczytów ", " jest uszkodzony i nie można go odłożyć.") + pl(inMemory));
      return false;
    }
    // The write-ahead log of the damaged file goes with it, lest it be
    // replayed into the new one.
    for (const char* part : {"-wal", "-shm"})
      if (platform::fileExists(path_ + part)) platform::renameFile(path_ + part, *aside + part);
    report_(message("Plik odczytów ", " był uszkodzony; zachowano go jako ") +
            platform::shownPath(platform::utf8ToCp1250(*aside)) +
            pl(", a odczyty trafiają do nowego pliku."));
  }
  return false;
}

void Journal::openMemory(SqliteDb& db) {
  db.openMemory(memoryName_);
  configure(db, false);
  upgrade(db);
}

std::int64_t Journal::beginSeries(std::int64_t startMs, std::int32_t utcOffsetMinutes, std::string link) {
  std::lock_guard lock(mutex_);
  return beginSeriesLocked(startMs, utcOffsetMinutes, std::move(link));
}

// Under mutex_.
std::int64_t Journal::beginSeriesLocked(std::int64_t startMs, std::int32_t utcOffsetMinutes, std::string link) {
  const std::int64_t id = nextSeries_++;
  currentSeries_ = id;
  enqueue(SeriesStart{id, startMs, utcOffsetMinutes, std::move(link)});
  return id;
}

// Under mutex_.
void Journal::enqueue(Item item) {
  const bool wasEmpty = queue_.empty();
  queue_.emplace_back(std::move(item));
  ++queuedCount_;
  if (wasEmpty) queued_.notify_one();
}

std::int64_t Journal::currentSeries() const {
  std::lock_guard lock(mutex_);
  return currentSeries_;
}

void Journal::endSeries() {
  std::lock_guard lock(mutex_);
  currentSeries_ = 0;
}

std::int64_t Journal::add(StoredReading reading, std::int64_t* series) {
  std::lock_guard lock(mutex_);
  if (currentSeries_ == 0) beginSeriesLocked(reading.timeMs, reading.utcOffsetMinutes, reading.link);
  reading.id = nextReading_++;
  reading.series = currentSeries_;
  if (series) *series = currentSeries_;
  const std::int64_t id = reading.id;
  enqueue(std::move(reading));
  return id;
}

void Journal::flush() {
  std::unique_lock lock(mutex_);
  const std::uint64_t target = queuedCount_;
  committed_.wait(lock, [&] { return doneCount_ >= target; });
}

void Journal::run() {
  Queue batch;
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      queued_.wait(lock, [&] { return !queue_.empty() || stopping_; });
      if (queue_.empty()) return;
      batch.swap(queue_);
    }
    // Everything queued meanwhile goes into one transaction: the busier the
    // scale, the larger the batch, and a reading waits at most for the
    // commit before its own.
    write(batch);
    // Told before a flush() waiting for these readings returns.
    if (onCommitted) onCommitted();
    {
      std::lock_guard lock(mutex_);
      doneCount_ += batch.size();
    }
    committed_.notify_all();
    batch.clear();
  }
}

void Journal::account(const StoredReading& r) {
  Current& c = current_;
  ++c.count;
  if (c.start.link.empty()) c.start.link = r.link;
  if (r.latencyMs) {
    ++c.latencyCount;
    c.latencySum += *r.latencyMs;
    c.latencyMax = std::max(c.latencyMax, *r.latencyMs);
  }
  if (!r.value || (r.state != State::Stable && r.state != State::Unstable)) return;
  std::string scratch;
  const std::string_view unit = utf8Of(r.unit, scratch);
  auto it = std::find_if(c.units.begin(), c.units.end(), [&](const auto& u) { return u.first == unit; });
  if (it == c.units.end()) it = c.units.insert(c.units.end(), {std::string(unit), UnitState{}});
  UnitState& u = it->second;
  u.decimals = r.decimals;
  u.changed = true;
  if (r.state == State::Stable) u.stable.add(*r.value);
  u.withUnstable.add(*r.value);
}

void Journal::writeBatch(Statements& s, Queue& batch) {
  auto saveCurrent = [&] {
    Current& c = current_;
    if (c.start.id == 0) return;
    std::string mainUnit;
    std::int64_t most = 0;
    for (auto& [name, u] : c.units) {
      if (u.withUnstable.count() > most) {
        most = u.withUnstable.count();
        mainUnit = name;
      }
      if (!u.changed) continue;
      s.saveUnit.bind(1, c.start.id).bind(2, std::string_view(name)).bind(3, std::int64_t{u.decimals});
      bindStats(s.saveUnit, 4, u.stable);
      bindStats(s.saveUnit, 10, u.withUnstable);
      s.saveUnit.step();
      s.saveUnit.reset();
      u.changed = false;
    }
    s.updateSeries.bind(1, c.start.id).bind(2, std::string_view(platform::cp1250ToUtf8(c.start.link)));
    s.updateSeries.bind(3, std::string_view(mainUnit)).bind(4, c.count).bind(5, c.latencyCount);
    s.updateSeries.bind(6, c.latencySum).bind(7, std::int64_t{c.latencyMax});
    s.updateSeries.step();
    s.updateSeries.reset();
  };

  std::string scratch;
  s.begin.step();
  s.begin.reset();
  try {
    for (Item& item : batch) {
      if (const SeriesStart* start = std::get_if<SeriesStart>(&item)) {
        saveCurrent();
        current_ = Current{};
        current_.start = *start;
        s.insertSeries.bind(1, start->id)
            .bind(2, start->startMs)
            .bind(3, std::int64_t{start->utcOffsetMinutes});
        s.insertSeries.bind(4, std::string_view(platform::cp1250ToUtf8(start->link)));
        s.insertSeries.step();
        s.insertSeries.reset();
        continue;
      }
      const StoredReading& r = std::get<StoredReading>(item);
      account(r);
      SqliteStatement& q = s.insertReading;
      q.bind(1, r.id).bind(2, r.series).bind(3, r.timeMs).bind(4, std::int64_t{r.utcOffsetMinutes});
      q.bind(5, std::int64_t{r.order}).bind(6, std::int64_t{r.pass});
      if (r.value)
        q.bind(7, *r.value);
      else
        q.bindNull(7);
      q.bind(8, std::int64_t{r.decimals}).bind(9, utf8Of(r.unit, scratch));
      q.bind(10, static_cast<std::int64_t>(r.state));
      if (r.latencyMs)
        q.bind(11, std::int64_t{*r.latencyMs});
      else
        q.bindNull(11);
      q.bind(12, utf8Of(r.link, scratch));
      q.bind(13, utf8Of(r.text, scratch));
      q.step();
      q.reset();
    }
    saveCurrent();
    s.commit.step();
    s.commit.reset();
  } catch (...) {
    try {
      db_.exec("ROLLBACK");
    } catch (const SqliteError&) {
    }
    throw;
  }
}

void Journal::write(Queue& batch) {
  if (failed_) return;
  const Current before = current_;
  try {
    writeBatch(*statements_, batch);
    return;
  } catch (const SqliteError& e) {
    current_ = before;
    if (!onDisk_) {
      failed_ = true;
      report_(pl("Odczytów nie można już zapisywać nawet w pamięci: ") + e.what());
      return;
    }
    moveToMemory(e);
  }
  if (failed_) return;
  try {
    writeBatch(*statements_, batch);
  } catch (const SqliteError& e) {
    failed_ = true;
    report_(pl("Odczytów nie można już zapisywać nawet w pamięci: ") + e.what());
  }
}

void Journal::moveToMemory(const SqliteError& error) {
  const char* why = error.fault() == SqliteFault::Full       ? "Brak miejsca na dysku dla pliku odczytów "
                    : error.fault() == SqliteFault::ReadOnly ? "Pliku odczytów nie można już zapisywać: "
                                                             : "Błąd zapisu pliku odczytów ";
  report_(message(why, ".") + pl(" Dalsze odczyty tej sesji zostaną tylko w pamięci."));
  statements_.reset();
  db_.close();
  lock_.release();
  onDisk_ = false;
  try {
    openMemory(db_);
    statements_ = std::make_unique<Statements>(db_);
    ++generation_;
    // The series being written goes on in memory with what it had.
    if (current_.start.id != 0) {
      Queue start{current_.start};
      const Current kept = current_;
      writeBatch(*statements_, start);
      current_ = kept;
      for (auto& unit : current_.units) unit.second.changed = true;
    }
  } catch (const SqliteError& e) {
    failed_ = true;
    report_(pl("Odczytów nie można już zapisywać nawet w pamięci: ") + e.what());
  }
}

SqliteDb& Journal::reader(Reader& r) {
  const int generation = generation_.load();
  if (r.generation != generation || !r.db.isOpen()) {
    r.db.close();
    if (onDisk_)
      r.db.open(path_);
    else
      r.db.openMemory(memoryName_);
    configure(r.db, false);
    if (onDisk_) r.db.exec("PRAGMA synchronous = FULL");
    r.generation = generation;
  }
  return r.db;
}

std::vector<SeriesInfo> Journal::listSeries() {
  std::vector<SeriesInfo> list;
  std::lock_guard lock(ui_.mutex);
  try {
    SqliteDb& db = reader(ui_);
    SqliteStatement q = db.prepare(
        "SELECT s.id, s.start_ms, s.utc_offset, s.link, s.count, s.unit, s.latency_count, s.latency_sum,"
        " s.latency_max, u.stable_count, u.stable_shift, u.stable_mean, u.stable_m2, u.stable_min, "
        "u.stable_max"
        " FROM series s LEFT JOIN series_units u ON u.series = s.id AND u.unit = s.unit ORDER BY s.id");
    while (q.step()) {
      SeriesInfo s;
      s.id = q.int64(0);
      s.startMs = q.int64(1);
      s.utcOffsetMinutes = static_cast<std::int32_t>(q.int64(2));
      s.link = platform::utf8ToCp1250(q.text(3));
      s.count = q.int64(4);
      s.unit = platform::utf8ToCp1250(q.text(5));
      s.latencyCount = q.int64(6);
      s.latencyMeanMs = s.latencyCount ? q.real(7) / static_cast<double>(s.latencyCount) : 0;
      s.latencyMaxMs = static_cast<std::int32_t>(q.int64(8));
      s.stats = (q.isNull(9) ? RunningStats() : statsAt(q, 9)).summary();
      list.push_back(std::move(s));
    }
  } catch (const SqliteError&) {
  }
  return list;
}

std::optional<SeriesInfo> Journal::series(std::int64_t id) {
  for (SeriesInfo& s : listSeries())
    if (s.id == id) return std::move(s);
  return std::nullopt;
}

std::vector<UnitSummary> Journal::seriesUnits(std::int64_t id) {
  std::vector<UnitSummary> units;
  std::lock_guard lock(ui_.mutex);
  try {
    SqliteStatement q = reader(ui_).prepare(
        "SELECT unit, decimals, stable_count, stable_shift, stable_mean, stable_m2, stable_min, stable_max,"
        " all_count, all_shift, all_mean, all_m2, all_min, all_max FROM series_units WHERE series = ?1"
        " ORDER BY unit");
    q.bind(1, id);
    while (q.step())
      units.push_back({platform::utf8ToCp1250(q.text(0)), static_cast<std::uint8_t>(q.int64(1)),
                       statsAt(q, 2).summary(), statsAt(q, 8).summary()});
  } catch (const SqliteError&) {
  }
  return units;
}

std::vector<StoredReading> Journal::readingsWhere(const char* where, std::int64_t series, std::int64_t from,
                                                 std::size_t limit) {
  std::vector<StoredReading> rows;
  std::lock_guard lock(ui_.mutex);
  try {
    SqliteStatement q =
        reader(ui_).prepare(std::string("SELECT ") + kReadingColumns + " FROM readings WHERE " + where);
    q.bind(1, series).bind(2, static_cast<std::int64_t>(limit)).bind(3, from);
    while (q.step()) rows.push_back(readingOf(q));
  } catch (const SqliteError&) {
  }
  return rows;
}

std::vector<StoredReading> Journal::page(std::int64_t series, std::int64_t firstRow, std::size_t limit) {
  return readingsWhere("series = ?1 ORDER BY id LIMIT ?2 OFFSET ?3", series, firstRow, limit);
}

std::vector<StoredReading> Journal::readingsFrom(std::int64_t series, std::int64_t firstId, std::size_t limit) {
  return readingsWhere("series = ?1 AND id >= ?3 ORDER BY id LIMIT ?2", series, firstId, limit);
}

std::vector<PlotPoint> Journal::plot(std::int64_t series, const std::string& unit, std::size_t maxPoints) {
  SeriesPlot plot(maxPoints);
  std::lock_guard lock(ui_.mutex);
  try {
    SqliteStatement q =
        reader(ui_).prepare("SELECT time_ms, value, state, unit FROM readings WHERE series = ?1 ORDER BY id");
    q.bind(1, series);
    std::string scratch;
    const std::string_view wanted = utf8Of(unit, scratch);
    while (q.step()) {
      const auto state = static_cast<State>(std::min<std::int64_t>(q.int64(2), 4));
      plot.add(q.int64(0), q.isNull(1) ? std::nullopt : std::optional<double>(q.real(1)), state,
               q.text(3) == wanted);
    }
  } catch (const SqliteError&) {
  }
  return plot.points();
}

bool Journal::exportCsv(std::int64_t series, const std::string& utf8Path, TextFlavour flavour,
                        std::string* error) {
  platform::AtomicFileWriter file(utf8Path);
  const ReadingRows rows(flavour);
  std::string chunk;
  rows.appendTitle(chunk);
  bool written = true;
  {
    std::lock_guard lock(ui_.mutex);
    try {
      SqliteStatement q = reader(ui_).prepare(std::string("SELECT ") + kReadingColumns +
                                              " FROM readings WHERE series = ?1 ORDER BY id");
      q.bind(1, series);
      while (written && q.step()) {
        rows.append(chunk, FieldsOf(readingOf(q)));
        if (chunk.size() >= kExportChunk) {
          written = file.write(chunk);
          chunk.clear();
        }
      }
    } catch (const SqliteError& e) {
      if (error) *error = e.what();
      return false;
    }
  }
  if (written && file.write(chunk) && file.commit()) return true;
  if (error) *error = file.error();
  return false;
}

bool Journal::deleteSeries(std::int64_t id) {
  if (id == currentSeries()) return false;
  std::lock_guard lock(ui_.mutex);
  try {
    SqliteDb& db = reader(ui_);
    db.exec("BEGIN IMMEDIATE");
    try {
      for (const char* sql :
           {"DELETE FROM readings WHERE series = ?1", "DELETE FROM series_units WHERE series = ?1",
            "DELETE FROM series WHERE id = ?1"}) {
        SqliteStatement q = db.prepare(sql);
        q.bind(1, id);
        q.step();
      }
      const bool found = db.queryInt("SELECT changes()") > 0;
      db.exec("COMMIT");
      return found;
    } catch (const SqliteError&) {
      db.exec("ROLLBACK");
      throw;
    }
  } catch (const SqliteError&) {
    return false;
  }
}

std::vector<StoredReading> Journal::unpublishedAfter(std::int64_t afterId, std::size_t limit) {
  std::vector<StoredReading> rows;
  std::lock_guard lock(publish_.mutex);
  try {
    SqliteStatement q = reader(publish_).prepare(std::string("SELECT ") + kReadingColumns +
                                                 " FROM readings WHERE published = 0 AND id > ?1 ORDER BY id"
                                                 " LIMIT ?2");
    q.bind(1, afterId).bind(2, static_cast<std::int64_t>(limit));
    while (q.step()) rows.push_back(readingOf(q));
  } catch (const SqliteError&) {
  }
  return rows;
}

std::int64_t Journal::unpublishedCount() {
  std::lock_guard lock(publish_.mutex);
  try {
    return reader(publish_).queryInt("SELECT count(*) FROM readings WHERE published = 0");
  } catch (const SqliteError&) {
    return 0;
  }
}

void Journal::markPublished(std::span<const std::int64_t> ids) {
  std::lock_guard lock(publish_.mutex);
  try {
    SqliteDb& db = reader(publish_);
    db.exec("BEGIN IMMEDIATE");
    try {
      SqliteStatement q = db.prepare("UPDATE readings SET published = 1 WHERE id = ?1");
      for (std::int64_t id : ids) {
        q.bind(1, id);
        q.step();
        q.reset();
      }
      db.exec("COMMIT");
    } catch (const SqliteError&) {
      db.exec("ROLLBACK");
      throw;
    }
  } catch (const SqliteError&) {
  }
}

}  // namespace readings
