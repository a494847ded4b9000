#include "platform/Sqlite.h"

#include <sqlite3.h>

#include <utility>

namespace platform {
namespace {

SqliteFault faultOf(int code) {
  switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return SqliteFault::Busy;
    case SQLITE_READONLY:
    case SQLITE_PERM:
      return SqliteFault::ReadOnly;
    case SQLITE_FULL:
      return SqliteFault::Full;
    case SQLITE_NOTADB:
      return SqliteFault::NotADatabase;
    case SQLITE_CORRUPT:
      return SqliteFault::Corrupt;
    case SQLITE_CANTOPEN:
      return SqliteFault::CantOpen;
    case SQLITE_IOERR:
      return SqliteFault::Io;
    default:
      return SqliteFault::Other;
  }
}

[[noreturn]] void throwFor(int code, sqlite3* db) {
  // The connection's message names the cause ("database or disk is full");
  // without a connection only the code's own text is left.
  std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(code);
  throw SqliteError(faultOf(code), code, message);
}

}  // namespace

SqliteStatement::~SqliteStatement() {
  sqlite3_finalize(statement_);
}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : statement_(std::exchange(other.statement_, nullptr)), db_(other.db_) {}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept {
  if (this != &other) {
    sqlite3_finalize(statement_);
    statement_ = std::exchange(other.statement_, nullptr);
    db_ = other.db_;
  }
  return *this;
}

void SqliteStatement::check(int code) const {
  if (code != SQLITE_OK) throwFor(code, db_);
}

SqliteStatement& SqliteStatement::bind(int index, std::int64_t value) {
  check(sqlite3_bind_int64(statement_, index, value));
  return *this;
}

SqliteStatement& SqliteStatement::bind(int index, double value) {
  check(sqlite3_bind_double(statement_, index, value));
  return *this;
}

SqliteStatement& SqliteStatement::bind(int index, std::string_view text) {
  check(sqlite3_bind_text64(statement_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
  return *this;
}

SqliteStatement& SqliteStatement::bindNull(int index) {
  check(sqlite3_bind_null(statement_, index));
  return *this;
}

bool SqliteStatement::step() {
  const int code = sqlite3_step(statement_);
  if (code == SQLITE_ROW) return true;
  if (code == SQLITE_DONE) return false;
  // The statement must be reset before it can run again; the reset repeats
  // the step's error, which is already being thrown.
  sqlite3_reset(statement_);
  throwFor(code, db_);
}

void SqliteStatement::reset() {
  sqlite3_reset(statement_);
}

bool SqliteStatement::isNull(int column) const {
  return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

std::int64_t SqliteStatement::int64(int column) const {
  return sqlite3_column_int64(statement_, column);
}

double SqliteStatement::real(int column) const {
  return sqlite3_column_double(statement_, column);
}

std::string_view SqliteStatement::text(int column) const {
  const unsigned char* text = sqlite3_column_text(statement_, column);
  if (!text) return {};
  return {reinterpret_cast<const char*>(text),
          static_cast<std::size_t>(sqlite3_column_bytes(statement_, column))};
}

SqliteDb::~SqliteDb() {
  close();
}

SqliteDb::SqliteDb(SqliteDb&& other) noexcept : db_(std::exchange(other.db_, nullptr)) {}

SqliteDb& SqliteDb::operator=(SqliteDb&& other) noexcept {
  if (this != &other) {
    close();
    db_ = std::exchange(other.db_, nullptr);
  }
  return *this;
}

void SqliteDb::openWith(const std::string& name, int flags) {
  close();
  sqlite3* db = nullptr;
  const int code = sqlite3_open_v2(name.c_str(), &db, flags, nullptr);
  if (code != SQLITE_OK) {
    const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    sqlite3_close(db);
    throw SqliteError(faultOf(code), code, message);
  }
  sqlite3_extended_result_codes(db, 1);
  db_ = db;
}

void SqliteDb::open(const std::string& utf8Path) {
  openWith(utf8Path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX);
}

void SqliteDb::openMemory(const std::string& name) {
  // The memdb file system shares a database whose name begins with "/"
  // among the connections of the process.
  openWith("file:/" + name + "?vfs=memdb",
           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX);
}

void SqliteDb::close() {
  // Statements are finalized by their owners first; close_v2 waits for any
  // left rather than fail.
  if (db_) sqlite3_close_v2(std::exchange(db_, nullptr));
}

void SqliteDb::fail(int code) const {
  throwFor(code, db_);
}

void SqliteDb::exec(const char* sql) {
  if (const int code = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); code != SQLITE_OK) fail(code);
}

SqliteStatement SqliteDb::prepare(std::string_view sql) {
  sqlite3_stmt* statement = nullptr;
  const int code = sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()),
                                      SQLITE_PREPARE_PERSISTENT, &statement, nullptr);
  if (code != SQLITE_OK) fail(code);
  return SqliteStatement(statement, db_);
}

std::int64_t SqliteDb::queryInt(const char* sql) {
  SqliteStatement statement = prepare(sql);
  return statement.step() ? statement.int64(0) : 0;
}

std::string SqliteDb::queryText(const char* sql) {
  SqliteStatement statement = prepare(sql);
  return statement.step() ? std::string(statement.text(0)) : std::string();
}

void SqliteDb::setBusyTimeout(int ms) {
  sqlite3_busy_timeout(db_, ms);
}

bool SqliteDb::readOnly() const {
  return sqlite3_db_readonly(db_, "main") == 1;
}

std::int64_t SqliteDb::lastInsertId() const {
  return sqlite3_last_insert_rowid(db_);
}

}  // namespace platform
