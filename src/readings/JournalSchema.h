#pragma once
// The layout of readings.db, one step per version: the file's user_version
// says how many steps it has had. README.md ("The readings journal")
// describes the tables.
#include <cstddef>

namespace readings::journal_schema {

// kSteps[v] brings a file of version v to version v + 1.
inline constexpr const char* kSteps[] = {
    // 1: series, their readings, and the statistics of each unit of a series.
    R"sql(
CREATE TABLE series(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  start_ms INTEGER NOT NULL,
  utc_offset INTEGER NOT NULL,
  link TEXT NOT NULL,
  unit TEXT NOT NULL DEFAULT '',
  count INTEGER NOT NULL DEFAULT 0);
CREATE TABLE readings(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  series INTEGER NOT NULL,
  time_ms INTEGER NOT NULL,
  utc_offset INTEGER NOT NULL,
  ord INTEGER NOT NULL,
  pass INTEGER NOT NULL,
  value REAL,
  decimals INTEGER NOT NULL,
  unit TEXT NOT NULL,
  state INTEGER NOT NULL,
  link TEXT NOT NULL,
  text TEXT NOT NULL);
CREATE INDEX readings_of_series ON readings(series);
CREATE TABLE series_units(
  series INTEGER NOT NULL,
  unit TEXT NOT NULL,
  decimals INTEGER NOT NULL,
  stable_count INTEGER NOT NULL, stable_shift REAL NOT NULL, stable_mean REAL NOT NULL,
  stable_m2 REAL NOT NULL, stable_min REAL NOT NULL, stable_max REAL NOT NULL,
  all_count INTEGER NOT NULL, all_shift REAL NOT NULL, all_mean REAL NOT NULL,
  all_m2 REAL NOT NULL, all_min REAL NOT NULL, all_max REAL NOT NULL,
  PRIMARY KEY(series, unit)) WITHOUT ROWID;
)sql",
    // 2: the reply latency, and the mark of readings the plant link has
    // delivered.
    R"sql(
ALTER TABLE readings ADD COLUMN latency_ms INTEGER;
ALTER TABLE readings ADD COLUMN published INTEGER NOT NULL DEFAULT 0;
CREATE INDEX readings_unpublished ON readings(id) WHERE published = 0;
ALTER TABLE series ADD COLUMN latency_count INTEGER NOT NULL DEFAULT 0;
ALTER TABLE series ADD COLUMN latency_sum REAL NOT NULL DEFAULT 0;
ALTER TABLE series ADD COLUMN latency_max INTEGER NOT NULL DEFAULT 0;
)sql",
};

inline constexpr int kVersion = static_cast<int>(sizeof kSteps / sizeof kSteps[0]);

}  // namespace readings::journal_schema
