#include "platform/SqliteDatabase.h"

#include <sqlite3.h>

namespace lorvane {

TKLDSqliteDatabase::~TKLDSqliteDatabase() { sqlite3_close_v2(db_); }

std::unique_ptr<TKLDSqliteDatabase> TKLDSqliteDatabase::Open(const std::string& path, bool create,
                                                             int busyMilliseconds, std::string& error) {
  sqlite3* db = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
  const int result = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
  if (result != SQLITE_OK) {
    error = db ? sqlite3_errmsg(db) : sqlite3_errstr(result);
    sqlite3_close_v2(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, busyMilliseconds);
  return std::unique_ptr<TKLDSqliteDatabase>(new TKLDSqliteDatabase(db));
}

bool TKLDSqliteDatabase::Execute(const std::string& sql, std::string& error) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return true;
  error = message ? message : sqlite3_errmsg(db_);
  sqlite3_free(message);
  return false;
}

std::unique_ptr<TKLDSqliteStatement> TKLDSqliteDatabase::Prepare(const std::string& sql, std::string& error) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    error = sqlite3_errmsg(db_);
    sqlite3_finalize(statement);
    return nullptr;
  }
  return std::unique_ptr<TKLDSqliteStatement>(new TKLDSqliteStatement(statement));
}

std::string TKLDSqliteDatabase::QueryText(const std::string& sql, std::string& error) {
  std::unique_ptr<TKLDSqliteStatement> statement = Prepare(sql, error);
  if (!statement || !statement->Step()) {
    if (statement && statement->Failed()) error = LastError();
    return std::string();
  }
  return statement->Text(0);
}

int64_t TKLDSqliteDatabase::Changes() const { return sqlite3_changes(db_); }

std::string TKLDSqliteDatabase::LastError() const { return sqlite3_errmsg(db_); }

TKLDSqliteStatement::~TKLDSqliteStatement() { sqlite3_finalize(statement_); }

void TKLDSqliteStatement::Bind(int index, const std::string& text) {
  sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}
void TKLDSqliteStatement::Bind(int index, int64_t value) { sqlite3_bind_int64(statement_, index, value); }
void TKLDSqliteStatement::Bind(int index, double value) { sqlite3_bind_double(statement_, index, value); }

void TKLDSqliteStatement::Reset() {
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
  failed_ = false;
}

bool TKLDSqliteStatement::Step() {
  const int result = sqlite3_step(statement_);
  if (result == SQLITE_ROW) return true;
  failed_ = result != SQLITE_DONE;
  return false;
}

std::string TKLDSqliteStatement::Text(int column) const {
  const unsigned char* text = sqlite3_column_text(statement_, column);
  return text ? std::string(reinterpret_cast<const char*>(text), sqlite3_column_bytes(statement_, column))
              : std::string();
}
int64_t TKLDSqliteStatement::Integer(int column) const { return sqlite3_column_int64(statement_, column); }
double TKLDSqliteStatement::Real(int column) const { return sqlite3_column_double(statement_, column); }

}  // namespace lorvane
