// The sqlite implementation of the backend seam: one database connection per
// Database object, one compiled statement per Statement object. Both are used
// from one thread at a time, so the connection is opened without sqlite's own
// mutexes.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "connection/backend.h"

namespace tarnlow::backend::sqlite {

struct ConnectionCloser {
  // close_v2 keeps the connection alive until its last statement is
  // finalized, so a statement may safely outlive the Database it came from.
  void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
struct StatementFinalizer {
  void operator()(sqlite3_stmt* stmt) const noexcept { sqlite3_finalize(stmt); }
};
using ConnectionHandle = std::unique_ptr<sqlite3, ConnectionCloser>;
using StatementHandle = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// The one place where a failing sqlite status becomes an error record. The
// description is the connection's own message (or the status text when there
// is no connection to ask).
Error MakeError(sqlite3* db, int status);
[[noreturn]] void Raise(sqlite3* db, int status);
// For failures this layer detects itself, classified like a status.
[[noreturn]] void Raise(int status, std::string description);

// Registers the SQL functions that statements may use beyond sqlite's own.
void RegisterFunctions(sqlite3* db);

class SqliteStatement final : public Statement {
 public:
  explicit SqliteStatement(StatementHandle stmt);

  int ParameterCount() const override;
  void Bind(int index, const Variant& value) override;
  bool Execute() override;
  bool Next() override;
  int ColumnCount() const override;
  const std::string& ColumnName(int index) const override;
  Variant Column(int index) const override;
  std::int64_t RowsAffected() const override;
  void Reset() override;

 private:
  struct ColumnInfo {
    std::string name;
    bool holds_dates = false;  // declared type mentions DATE or TIME
  };

  // Runs one step; true on a row, false at the end, raises on failure.
  bool Step();
  void LoadColumns();
  const ColumnInfo& Info(int index) const;

  StatementHandle stmt_;
  sqlite3* db_;  // not owned: the statement's connection
  std::vector<ColumnInfo> columns_;
  bool read_only_;
  bool has_row_ = false;
  std::int64_t changes_before_ = 0;
  std::int64_t rows_affected_ = 0;
};

class SqliteDatabase final : public Database {
 public:
  explicit SqliteDatabase(ConnectionHandle db);

  std::unique_ptr<Statement> Prepare(std::string_view sql, bool repeated = true) override;
  void ExecuteScript(std::string_view sql) override;
  bool TableExists(std::string_view table) override;
  std::vector<std::string> UniqueKeyColumns(std::string_view table) override;
  std::vector<ColumnDescription> Columns(std::string_view table) override;
  std::string_view Dialect() const override { return "sqlite"; }

 private:
  // Runs a query with the table name bound to ?1 and collects column 0.
  std::vector<std::string> NameList(const char* sql, std::string_view table);

  ConnectionHandle db_;
};

}  // namespace tarnlow::backend::sqlite
