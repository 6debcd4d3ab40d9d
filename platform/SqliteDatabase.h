#pragma once
// One connection to an SQLite database file, and its prepared statements. A connection belongs
// to one thread at a time; several connections (threads or processes) may share the file.
#include <cstdint>
#include <memory>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace lorvane {

class TKLDSqliteStatement;

class TKLDSqliteDatabase {
 public:
  ~TKLDSqliteDatabase();
  TKLDSqliteDatabase(const TKLDSqliteDatabase&) = delete;
  TKLDSqliteDatabase& operator=(const TKLDSqliteDatabase&) = delete;

  // Opens (creating when asked) the file; null with SQLite's reason. Busy waits up to
  // busyMilliseconds for another connection's lock.
  static std::unique_ptr<TKLDSqliteDatabase> Open(const std::string& path, bool create,
                                                  int busyMilliseconds, std::string& error);

  // Runs statements that return nothing wanted; false with the reason.
  bool Execute(const std::string& sql, std::string& error);
  // Null with the reason when the statement does not compile.
  std::unique_ptr<TKLDSqliteStatement> Prepare(const std::string& sql, std::string& error);
  // The first column of the first row, as text (empty when there is no row).
  std::string QueryText(const std::string& sql, std::string& error);
  int64_t Changes() const;
  std::string LastError() const;

 private:
  explicit TKLDSqliteDatabase(sqlite3* db) : db_(db) {}
  sqlite3* db_;
};

class TKLDSqliteStatement {
 public:
  ~TKLDSqliteStatement();
  TKLDSqliteStatement(const TKLDSqliteStatement&) = delete;
  TKLDSqliteStatement& operator=(const TKLDSqliteStatement&) = delete;

  // Parameters count from 1. Reset clears the bindings' use and makes the statement ready again.
  void Bind(int index, const std::string& text);
  void Bind(int index, int64_t value);
  void Bind(int index, double value);
  void Reset();
  // One step: true when a row is there to read; false at the end or on an error (Failed).
  bool Step();
  bool Failed() const { return failed_; }
  std::string Text(int column) const;
  int64_t Integer(int column) const;
  double Real(int column) const;

 private:
  friend class TKLDSqliteDatabase;
  TKLDSqliteStatement(sqlite3_stmt* statement) : statement_(statement) {}
  sqlite3_stmt* statement_;
  bool failed_ = false;
};

}  // namespace lorvane
