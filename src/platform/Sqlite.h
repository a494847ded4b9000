#pragma once
// A thin layer over SQLite's C API for the readings journal: a connection,
// prepared statements, and failures as SqliteError with SQLite's primary
// result code sorted into the kinds the journal tells apart. Paths are UTF-8.
// A connection is used by one thread at a time (it takes no locks of its
// own: the caller keeps it to one thread).
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace platform {

enum class SqliteFault {
  Busy,          // another connection holds the lock past the busy timeout
  ReadOnly,      // the file, its folder or the medium cannot be written
  Full,          // the disk (or the size allowed) is full
  NotADatabase,  // the file is something else
  Corrupt,       // the file is damaged
  CantOpen,      // the file cannot be opened at all (a folder, a missing folder)
  Io,            // the system failed to read or write
  Other
};

class SqliteError : public std::runtime_error {
 public:
  SqliteError(SqliteFault fault, int code, const std::string& message)
      : std::runtime_error(message), fault_(fault), code_(code) {}
  SqliteFault fault() const { return fault_; }
  // SQLite's extended result code.
  int code() const { return code_; }

 private:
  SqliteFault fault_;
  int code_;
};

class SqliteStatement {
 public:
  SqliteStatement() = default;
  ~SqliteStatement();
  SqliteStatement(SqliteStatement&& other) noexcept;
  SqliteStatement& operator=(SqliteStatement&& other) noexcept;

  // Parameters count from 1. Texts are copied.
  SqliteStatement& bind(int index, std::int64_t value);
  SqliteStatement& bind(int index, double value);
  SqliteStatement& bind(int index, std::string_view text);
  SqliteStatement& bindNull(int index);

  // True when a row is ready, false when the statement is done. Throws
  // SqliteError.
  bool step();
  // Ready to run again, parameters kept.
  void reset();

  // Columns count from 0; valid until the next step or reset.
  bool isNull(int column) const;
  std::int64_t int64(int column) const;
  double real(int column) const;
  std::string_view text(int column) const;

 private:
  friend class SqliteDb;
  SqliteStatement(sqlite3_stmt* statement, sqlite3* db) : statement_(statement), db_(db) {}
  void check(int code) const;

  sqlite3_stmt* statement_ = nullptr;
  sqlite3* db_ = nullptr;
};

class SqliteDb {
 public:
  SqliteDb() = default;
  ~SqliteDb();
  SqliteDb(SqliteDb&& other) noexcept;
  SqliteDb& operator=(SqliteDb&& other) noexcept;

  // Opens the file, creating it when missing. Throws SqliteError; nothing is
  // open then.
  void open(const std::string& utf8Path);
  // Opens a database that lives in this process's memory only, shared by
  // every connection opened under the same name (a name without slashes).
  void openMemory(const std::string& name);
  void close();
  bool isOpen() const { return db_ != nullptr; }

  // Runs one or more statements without results.
  void exec(const char* sql);
  SqliteStatement prepare(std::string_view sql);
  // The first column of the first row of a query; 0 when it gives no row.
  std::int64_t queryInt(const char* sql);
  std::string queryText(const char* sql);

  // How long a statement waits for another connection's lock.
  void setBusyTimeout(int ms);
  // The file could be opened for reading only.
  bool readOnly() const;
  std::int64_t lastInsertId() const;

 private:
  void openWith(const std::string& name, int flags);
  [[noreturn]] void fail(int code) const;

  sqlite3* db_ = nullptr;
};

}  // namespace platform
