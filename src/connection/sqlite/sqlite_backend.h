// The sqlite backend; connections are opened without sqlite's own mutexes.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "connection/backend.h"

namespace tarnlow::backend::sqlite {

// close_v2 keeps the connection alive until its last statement is
// finalized, so a statement may safely outlive the Database it came from.
using ConnectionHandle = std::unique_ptr<sqlite3, FreeWith<sqlite3_close_v2>>;
using StatementHandle = std::unique_ptr<sqlite3_stmt, FreeWith<sqlite3_finalize>>;

// The error record of a failing status: the connection's message (or the
// status text without one), the statement and the extended result code.
Error MakeError(sqlite3* db, int status, std::string_view statement = {});
[[noreturn]] void Raise(sqlite3* db, int status, std::string_view statement = {});
// For a file that could not be opened (named), and failures found here.
[[noreturn]] void RaiseOpenError(sqlite3* db, int status, const std::string& path);
[[noreturn]] void Raise(int status, std::string description, std::string_view statement = {});

// A run reading all rows keeps them all: an unfinished read would pin a WAL
// snapshot, and a later write could never commit once another process had.
class SqliteStatement final : public Statement {
 public:
  SqliteStatement(StatementHandle stmt, std::string sql);

  int ParameterCount() const override;
  void Bind(int index, const EngineValue& value) override;
  bool Execute(Rows rows) override;
  bool Next() override;
  int ColumnCount() const override;
  const std::string& ColumnName(int index) const override;
  EngineValue Cell(int index) const override;
  std::int64_t RowsAffected() const override;
  void Reset() override;

 private:
  struct ColumnInfo {
    std::string name;
    bool holds_dates = false;  // declared type mentions DATE or TIME
  };
  // A cell of a kept row; its text lies in text_ at `at`.
  struct KeptCell {
    EngineValue::Kind kind;
    std::int64_t integer;
    double real;
    Date date;
    std::size_t at, size;
  };

  // Steps to the end, keeping the rows; the failing status or SQLITE_DONE.
  int RunToEnd();
  // Steps to the first row; keeps it, or in place stays on it.
  int RunFirstRow(bool in_place);
  // After a step: true on a row; raises the error record of a failed one.
  bool Stepped(int rc);
  // Ends a run sqlite may still be in.
  void Unstep();
  // Reloads the names and date flags when sqlite's count differs.
  void CheckColumns(int count) const;
  // Starts an execution: the statement reset, no rows kept.
  void Begin();
  // Raises the error record of a failed execution; true when a row is current.
  bool Finish(int rc);
  void KeepRow();
  // The cell of the row sqlite is on.
  EngineValue LiveCell(int index) const;
  std::string_view Text(sqlite3_value* cell) const;
  // Read when first needed: most literal statements are writes that never ask.
  void LoadColumns() const;
  const ColumnInfo& Info(int index) const;

  StatementHandle stmt_;
  sqlite3* db_;  // not owned: the statement's connection
  std::string sql_;
  mutable std::vector<ColumnInfo> columns_;
  mutable bool columns_loaded_ = false;
  bool read_only_;
  bool reset_ = true;  // not stepped since the last sqlite3_reset
  // On a row of an in-place read, whose cells are read from sqlite. Next
  // steps on when every row is read so (`streaming_`), else ends the read.
  bool live_ = false;
  bool streaming_ = false;
  // The last execution's rows, columns_.size() cells apiece, and their
  // text; the storage is kept for the next execution.
  std::vector<KeptCell> cells_;
  std::string text_;
  std::size_t rows_ = 0;
  std::size_t row_ = 0;  // the current row; rows_ when there is none
  std::int64_t rows_affected_ = 0;
  // Per placeholder: the text of the date last bound, read in place.
  std::vector<DateText> dates_;
};

class SqliteDatabase final : public Database {
 public:
  explicit SqliteDatabase(ConnectionHandle db);

  std::unique_ptr<Statement> Prepare(std::string_view sql, bool repeated = true) override;
  void ExecuteScript(std::string_view sql) override;
  bool TableExists(std::string_view table) override;
  std::vector<std::vector<std::string>> UniqueKeys(std::string_view table) override;
  std::vector<ColumnDescription> Columns(std::string_view table) override;
  bool InTransaction() override { return sqlite3_get_autocommit(db_.get()) == 0; }
  std::string_view Dialect() const override { return "sqlite"; }
  std::string QuoteLiteral(std::string_view text) override {
    return sqltext::QuoteLiteral(text, sqltext::Backslash::Plain);
  }

 private:
  std::vector<std::string> NameList(const char* sql, std::string_view table);

  ConnectionHandle db_;
};

}  // namespace tarnlow::backend::sqlite
