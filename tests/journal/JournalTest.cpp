// The readings journal: series kept, listed, read back in pages, exported and
// deleted; files it cannot use told once while the readings go on in
// memory; older layouts upgraded, newer ones left alone; and a program killed
// at any moment leaving a whole file with every reading it had committed.
#include "readings/Journal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/Cp1250.h"
#include "platform/PathText.h"
#include "platform/Sqlite.h"
#include "readings/JournalSchema.h"
#include "support/TempDir.h"
#include "support/Wine.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using platform::pl;
using readings::Journal;
using readings::State;
using readings::StoredReading;
using testing_support::TempDir;

// A journal whose messages are kept.
struct Opened {
  std::vector<std::string> messages;
  std::unique_ptr<Journal> journal;
  explicit Opened(const fs::path& folder, readings::JournalOptions options = {}) {
    journal = std::make_unique<Journal>(
        platform::utf8Path(folder), [this](const std::string& m) { messages.push_back(m); }, options);
  }
  Journal* operator->() { return journal.get(); }
  bool told(const char* utf8Part) const {
    return messages.size() == 1 && messages[0].find(pl(utf8Part)) != std::string::npos;
  }
};

StoredReading reading(std::int64_t timeMs, std::optional<double> value, State state = State::Stable,
                      std::string unit = "g", std::string text = "S S 1 g") {
  StoredReading r;
  r.timeMs = timeMs;
  r.value = value;
  r.decimals = 2;
  r.unit = std::move(unit);
  r.state = state;
  r.link = "COM1";
  r.text = std::move(text);
  return r;
}

std::int64_t count(platform::SqliteDb& db, const char* sql) {
  return db.queryInt(sql);
}

TEST(Journal, SeriesAreListedReadInPagesExportedAndDeleted) {
  TempDir dir;
  std::vector<std::int64_t> firstIds;
  {
    Opened j(dir.path());
    EXPECT_TRUE(j.messages.empty());
    EXPECT_TRUE(j->onDisk());
    int commits = 0;
    j->onCommitted = [&] { ++commits; };
    const std::int64_t a = j->beginSeries(1000, 60, "COM1");
    StoredReading withLatency = reading(1000, 10.0);
    withLatency.latencyMs = 40;
    withLatency.order = 2;
    withLatency.pass = 3;
    firstIds.push_back(j->add(withLatency));
    j->add(reading(1100, 12.0));
    j->add(reading(1200, 20.0, State::Unstable));
    j->add(reading(1300, std::nullopt, State::Unknown, "", "ES"));
    StoredReading slow = reading(1400, 2.0, State::Stable, "kg", pl("ł;\"x\""));
    slow.latencyMs = 100;
    j->add(slow);
    const std::int64_t b = j->beginSeries(5000, 60, "127.0.0.1:4001");
    for (int i = 0; i < 250; ++i) j->add(reading(5000 + i, i));
    j->flush();
    EXPECT_GE(commits, 1);
    EXPECT_EQ(j->currentSeries(), b);

    const std::vector<readings::SeriesInfo> list = j->listSeries();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].id, a);
    EXPECT_EQ(list[0].startMs, 1000);
    EXPECT_EQ(list[0].utcOffsetMinutes, 60);
    EXPECT_EQ(list[0].link, "COM1");
    EXPECT_EQ(list[0].count, 5);
    EXPECT_EQ(list[0].unit, "g");  // two grams with a value against one kilogram
    EXPECT_EQ(list[0].stats.count, 2);
    EXPECT_DOUBLE_EQ(list[0].stats.mean, 11.0);
    EXPECT_NEAR(list[0].stats.stdDev, std::sqrt(2.0), 1e-12);
    EXPECT_EQ(list[0].latencyCount, 2);
    EXPECT_DOUBLE_EQ(list[0].latencyMeanMs, 70.0);
    EXPECT_EQ(list[0].latencyMaxMs, 100);
    EXPECT_EQ(list[1].count, 250);
    EXPECT_EQ(list[1].link, "127.0.0.1:4001");

    const auto units = j->seriesUnits(a);
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[0].unit, "g");
    EXPECT_EQ(units[0].stable.count, 2);
    EXPECT_EQ(units[0].withUnstable.count, 3);
    EXPECT_DOUBLE_EQ(units[0].withUnstable.max, 20.0);
    EXPECT_EQ(units[1].unit, "kg");

    // Pages give the readings in order, every field as it was added.
    const auto first = j->page(a, 0, 2);
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].id, firstIds[0]);
    EXPECT_EQ(first[0].series, a);
    EXPECT_EQ(first[0].order, 2);
    EXPECT_EQ(first[0].pass, 3);
    EXPECT_EQ(first[0].latencyMs, 40);
    EXPECT_EQ(first[1].value, 12.0);
    EXPECT_FALSE(first[1].latencyMs);
    const auto rest = j->page(a, 3, 10);
    ASSERT_EQ(rest.size(), 2u);
    EXPECT_FALSE(rest[0].value);
    EXPECT_EQ(rest[0].state, State::Unknown);
    EXPECT_EQ(rest[1].text, pl("ł;\"x\""));
    EXPECT_EQ(rest[1].unit, "kg");
    const auto tail = j->page(b, 240, 100);
    ASSERT_EQ(tail.size(), 10u);
    EXPECT_EQ(tail.back().value, 249.0);

    // Both CSV flavours, as the window writes them from its own rows.
    const fs::path semicolons = dir / "a.csv";
    ASSERT_TRUE(
        j->exportCsv(a, platform::utf8Path(semicolons), readings::TextFlavour::SemicolonComma, nullptr));
    const std::string csv = TempDir::read(semicolons);
    std::string expected;
    const readings::ReadingRows rows(readings::TextFlavour::SemicolonComma);
    rows.appendTitle(expected);
    for (const StoredReading& r : j->page(a, 0, 100)) rows.append(expected, readings::FieldsOf(r));
    EXPECT_EQ(csv, expected);
    EXPECT_NE(csv.find(";2;3;10,00;g;"), std::string::npos) << csv;
    EXPECT_NE(csv.find(pl("\"ł;\"\"x\"\"\"\r\n")), std::string::npos) << csv;
    ASSERT_TRUE(
        j->exportCsv(b, platform::utf8Path(dir / "b.csv"), readings::TextFlavour::CommaPoint, nullptr));
    const std::string big = TempDir::read(dir / "b.csv");
    EXPECT_EQ(std::count(big.begin(), big.end(), '\n'), 251);
    EXPECT_NE(big.find(",249.00,g,"), std::string::npos);
    // A file that cannot be written is left alone and said why.
    std::string error;
    EXPECT_FALSE(j->exportCsv(a, platform::utf8Path(dir / "none" / "x.csv"),
                              readings::TextFlavour::CommaPoint, &error));
    EXPECT_FALSE(error.empty());

    EXPECT_FALSE(j->deleteSeries(b)) << "the series being written stays";
    EXPECT_TRUE(j->deleteSeries(a));
    EXPECT_FALSE(j->deleteSeries(a));
    ASSERT_EQ(j->listSeries().size(), 1u);
    EXPECT_TRUE(j->page(a, 0, 10).empty());
    EXPECT_TRUE(j->seriesUnits(a).empty());
  }

  // The next program finds the series as they were; ids go on past the
  // highest ever given.
  Opened again(dir.path());
  EXPECT_TRUE(again.messages.empty());
  const auto list = again->listSeries();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].count, 250);
  const std::int64_t c = again->beginSeries(9000, 0, "COM2");
  EXPECT_GT(c, list[0].id);
  EXPECT_GT(again->add(reading(9000, 1.0)), firstIds[0] + 254);
}

TEST(Journal, PublishQueueGivesUnpublishedReadingsInOrder) {
  TempDir dir;
  Opened j(dir.path());
  std::vector<std::int64_t> ids;
  for (int i = 0; i < 5; ++i) ids.push_back(j->add(reading(i, i)));
  j->flush();
  readings::PublishQueue& queue = *j.journal;
  auto idsOf = [](const std::vector<StoredReading>& rows) {
    std::vector<std::int64_t> out;
    for (const auto& r : rows) out.push_back(r.id);
    return out;
  };
  EXPECT_EQ(idsOf(queue.unpublishedAfter(0, 3)), std::vector<std::int64_t>(ids.begin(), ids.begin() + 3));
  const std::int64_t done[] = {ids[0], ids[2]};
  queue.markPublished(done);
  EXPECT_EQ(idsOf(queue.unpublishedAfter(0, 10)), (std::vector<std::int64_t>{ids[1], ids[3], ids[4]}));
  EXPECT_EQ(idsOf(queue.unpublishedAfter(ids[3], 10)), std::vector<std::int64_t>{ids[4]});
}

// Readings in memory go on like those on disk: listed, paged, exported.
void expectWorksInMemory(Opened& j) {
  EXPECT_FALSE(j->onDisk());
  const std::int64_t s = j->beginSeries(1, 0, "COM1");
  j->add(reading(1, 5.0));
  j->add(reading(2, 7.0));
  j->flush();
  const auto list = j->listSeries();
  ASSERT_FALSE(list.empty());
  EXPECT_EQ(list.back().id, s);
  EXPECT_EQ(list.back().count, 2);
  EXPECT_DOUBLE_EQ(list.back().stats.mean, 6.0);
  EXPECT_EQ(j->page(s, 1, 5).at(0).value, 7.0);
}

TEST(Journal, FilesItCannotUseAreToldOnceAndReadingsGoOnInMemory) {
  {
    SCOPED_TRACE("garbage: kept aside, a new journal begun");
    TempDir dir;
    TempDir::write(dir / Journal::kFileName, std::string(5000, 'x'));
    Opened j(dir.path());
    EXPECT_TRUE(j.told("był uszkodzony")) << (j.messages.empty() ? "" : j.messages[0]);
    EXPECT_TRUE(j->onDisk());
    EXPECT_EQ(TempDir::read(dir / "readings.db.bak"), std::string(5000, 'x'));
    j->add(reading(1, 1.0));
    j->flush();
    EXPECT_EQ(j->listSeries().size(), 1u);
  }
  {
    SCOPED_TRACE("another program's database: kept aside too");
    TempDir dir;
    {
      platform::SqliteDb other;
      other.open(platform::utf8Path(dir / Journal::kFileName));
      other.exec("CREATE TABLE t(x); INSERT INTO t VALUES(1);");
    }
    TempDir::write(dir / "readings.db.bak", "older copy");
    Opened j(dir.path());
    EXPECT_TRUE(j.told("readings.db.bak2"));
    EXPECT_TRUE(j->onDisk());
    EXPECT_EQ(TempDir::read(dir / "readings.db.bak"), "older copy");
  }
  {
    SCOPED_TRACE("empty: simply a new journal");
    TempDir dir;
    TempDir::write(dir / Journal::kFileName, "");
    Opened j(dir.path());
    EXPECT_TRUE(j.messages.empty());
    EXPECT_TRUE(j->onDisk());
  }
  {
    SCOPED_TRACE("a folder in its place");
    TempDir dir;
    fs::create_directory(dir / Journal::kFileName);
    Opened j(dir.path());
    EXPECT_TRUE(j.told("stoi folder"));
    expectWorksInMemory(j);
    EXPECT_TRUE(fs::is_directory(dir / Journal::kFileName));
  }
  {
    SCOPED_TRACE("held by another program");
    TempDir dir;
    Opened first(dir.path());
    first->add(reading(1, 1.0));
    Opened second(dir.path());
    EXPECT_TRUE(second.told("inny uruchomiony program"));
    expectWorksInMemory(second);
    first->flush();
    EXPECT_EQ(first->listSeries().size(), 1u) << "the second never touched the first's file";
  }
}

TEST(Journal, AReadOnlyFileIsLeftAlone) {
  if (testing_support::runningUnderWine()) GTEST_SKIP() << "under Wine run by root a write-protected file is written";
  TempDir dir;
  fs::path folder = dir.path();
#ifndef _WIN32
  // root writes to a write-protected file anyway: a read-only medium then.
  const bool remount = ::geteuid() == 0;
  struct Unmount {
    fs::path at;
    ~Unmount() {
      if (!at.empty()) ::umount(at.c_str());
    }
  } unmount;
  if (remount) {
    folder = dir / "medium";
    fs::create_directory(folder);
    ASSERT_EQ(::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=1m"), 0);
    unmount.at = folder;
  }
#endif
  { Opened(folder)->add(reading(1, 1.0)); }
  const std::string before = TempDir::read(folder / Journal::kFileName);
#ifndef _WIN32
  if (remount)
    ASSERT_EQ(::mount("tmpfs", folder.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=1m"), 0);
  else
#endif
    fs::permissions(folder / Journal::kFileName, fs::perms::owner_read | fs::perms::group_read);
  Opened j(folder);
  EXPECT_TRUE(j.told("nie można zapisywać")) << (j.messages.empty() ? "" : j.messages[0]);
  expectWorksInMemory(j);
  EXPECT_EQ(TempDir::read(folder / Journal::kFileName), before);
}

TEST(Journal, AFullDiskIsToldOnceAndTheSeriesGoesOnInMemory) {
  TempDir dir;
  Opened j(dir.path(), {.maxPages = 12});
  ASSERT_TRUE(j->onDisk());
  const std::int64_t s = j->beginSeries(0, 0, "COM1");
  const std::string longRow(200, 'r');
  for (int i = 0; i < 400; ++i) {
    j->add(reading(i, i % 7, State::Stable, "g", longRow));
    if (i % 50 == 0) j->flush();
  }
  j->flush();
  EXPECT_TRUE(j.told("Brak miejsca")) << testing::PrintToString(j.messages);
  EXPECT_FALSE(j->onDisk());
  const auto list = j->listSeries();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].id, s);
  EXPECT_EQ(list[0].count, 400) << "the series' statistics carry on";
  const auto last = j->page(s, 0, 1000);
  ASSERT_FALSE(last.empty());
  EXPECT_EQ(last.back().timeMs, 399);
}

TEST(Journal, AnOlderFileIsUpgradedAndANewerOneRefused) {
  TempDir dir;
  const std::string file = platform::utf8Path(dir / Journal::kFileName);
  {
    platform::SqliteDb old;
    old.open(file);
    old.exec(readings::journal_schema::kSteps[0]);
    old.exec(
        "INSERT INTO series(id, start_ms, utc_offset, link, unit, count) VALUES(7, 100, 0, 'COM3', 'g', 1);"
        "INSERT INTO readings VALUES(40, 7, 100, 0, 0, 0, 1.5, 1, 'g', 0, 'COM3', 'S S 1.5 g');"
        "PRAGMA user_version = 1;");
  }
  {
    Opened j(dir.path());
    EXPECT_TRUE(j.messages.empty());
    const auto list = j->listSeries();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].link, "COM3");
    const auto rows = j->page(7, 0, 5);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].text, "S S 1.5 g");
    EXPECT_FALSE(rows[0].latencyMs);
    EXPECT_EQ(j->add(reading(200, 2.0)), 41);
  }
  platform::SqliteDb check;
  check.open(file);
  EXPECT_EQ(count(check, "PRAGMA user_version"), Journal::kSchemaVersion);
  EXPECT_EQ(count(check, "SELECT count(*) FROM readings"), 2);
  check.exec("PRAGMA user_version = 99");
  check.close();

  Opened newer(dir.path());
  EXPECT_TRUE(newer.told("nowsza wersja programu"));
  expectWorksInMemory(newer);
  check.open(file);
  EXPECT_EQ(count(check, "PRAGMA user_version"), 99);
  EXPECT_EQ(count(check, "SELECT count(*) FROM readings"), 2);
}

#ifndef _WIN32
std::int64_t monotonicMs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return std::int64_t{t.tv_sec} * 1000 + t.tv_nsec / 1000000;
}

struct Added {
  std::int64_t id, atMs;
  bool committed;  // a flush returned after it was added
};

// A child journals readings steadily and tells the parent which it has
// added and when, and now and then which it knows committed; the parent
// kills it at a random moment.
[[noreturn]] void journalUntilKilled(const fs::path& folder, int tell) {
  Journal j(platform::utf8Path(folder), [](const std::string&) {});
  j.beginSeries(0, 0, "COM1");
  for (std::int64_t i = 0;; ++i) {
    std::int64_t id = 0;
    for (int k = 0; k < 20; ++k) id = j.add(reading(i, 1.0 + k));
    const bool flushed = i % 10 == 9;
    if (flushed) j.flush();
    const Added added{id, monotonicMs(), flushed};
    if (::write(tell, &added, sizeof added) != sizeof added) ::_exit(3);
    ::usleep(1000);
  }
}
#endif

TEST(Journal, AProgramKilledAtAnyMomentLeavesEveryCommittedReading) {
#ifdef _WIN32
  GTEST_SKIP() << "AProgramKilledAtAnyMoment needs fork, which Windows has not";
#else
  std::mt19937 random(20261201);
  for (int run = 0; run < 200; ++run) {
    SCOPED_TRACE(run);
    TempDir dir;
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(pipeEnds[0]);
      journalUntilKilled(dir.path(), pipeEnds[1]);
    }
    ::close(pipeEnds[1]);
    ::usleep(std::uniform_int_distribution<useconds_t>(0, 300000)(random));
    const std::int64_t killedAt = monotonicMs();
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    std::vector<Added> told;
    Added a{};
    while (::read(pipeEnds[0], &a, sizeof a) == sizeof a) told.push_back(a);
    ::close(pipeEnds[0]);

    // Every reading a flush saw committed is kept whatever the load; the
    // journal commits a reading within about 100 ms of it, which a disk
    // shared with heavy builds can stretch: a reading of a second before the
    // kill must be kept even then (the commit lag itself is a benchmark's).
    std::int64_t mustHave = 0;
    for (const Added& t : told)
      if (t.committed || t.atMs < killedAt - 1000) mustHave = std::max(mustHave, t.id);

    platform::SqliteDb db;
    db.open(platform::utf8Path(dir / Journal::kFileName));
    ASSERT_EQ(db.queryText("PRAGMA integrity_check"), "ok");
    // Killed before the journal had made its tables: nothing was told added.
    if (count(db, "SELECT count(*) FROM sqlite_master WHERE name = 'readings'") == 0) {
      EXPECT_EQ(mustHave, 0);
      continue;
    }
    const std::int64_t n = count(db, "SELECT count(*) FROM readings");
    EXPECT_GE(n, mustHave);
    EXPECT_EQ(count(db, "SELECT coalesce(max(id), 0) FROM readings"), n) << "ids 1 to n, none missing";
    EXPECT_EQ(count(db, "SELECT coalesce(sum(count), 0) FROM series"), n)
        << "statistics commit with readings";
    db.close();
    // The next start shows the series as it was.
    Opened next(dir.path());
    EXPECT_TRUE(next.messages.empty());
    if (n > 0) {
      EXPECT_EQ(next->listSeries().at(0).count, n);
    }
  }
#endif
}

}  // namespace
