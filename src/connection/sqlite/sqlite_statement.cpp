#include <cctype>
#include <limits>

#include "connection/sqlite/sqlite_backend.h"

namespace tarnlow::backend::sqlite {
namespace {

// sqlite has no date type: dates are stored as ISO text and recognised on the
// way back by the column's declared type ("DATE", "DATETIME", "TIMESTAMP").
bool DeclaresDates(const char* decltype_text) {
  if (decltype_text == nullptr) return false;
  std::string upper(decltype_text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper.find("DATE") != std::string::npos || upper.find("TIME") != std::string::npos;
}

}  // namespace

SqliteStatement::SqliteStatement(StatementHandle stmt, std::string sql)
    : stmt_(std::move(stmt)),
      db_(sqlite3_db_handle(stmt_.get())),
      sql_(std::move(sql)),
      read_only_(sqlite3_stmt_readonly(stmt_.get()) != 0) {
  LoadColumns();
}

void SqliteStatement::LoadColumns() {
  const int count = sqlite3_column_count(stmt_.get());
  columns_.clear();
  columns_.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const char* name = sqlite3_column_name(stmt_.get(), i);
    columns_.push_back({name != nullptr ? name : "", DeclaresDates(sqlite3_column_decltype(stmt_.get(), i))});
  }
}

const SqliteStatement::ColumnInfo& SqliteStatement::Info(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= columns_.size()) {
    RaiseRuntime(err::SubscriptOutOfRange);
  }
  return columns_[static_cast<std::size_t>(index)];
}

int SqliteStatement::ParameterCount() const {
  return sqlite3_bind_parameter_count(stmt_.get());
}

void SqliteStatement::Bind(int index, const Variant& value) {
  sqlite3_stmt* stmt = stmt_.get();
  // sqlite refuses new values while a statement is running. Executions run
  // to their end; only one that failed part-way through keeping its rows
  // can still be running here.
  if (sqlite3_stmt_busy(stmt) != 0) sqlite3_reset(stmt);

  int rc = SQLITE_OK;
  switch (value.Type()) {
    case VarType::Empty:
    case VarType::Null: rc = sqlite3_bind_null(stmt, index); break;
    case VarType::String: {
      const std::string& text = *value.AsText();
      rc = sqlite3_bind_text64(stmt, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
      break;
    }
    case VarType::Double: rc = sqlite3_bind_double(stmt, index, value.ToDouble()); break;
    case VarType::Integer:
    case VarType::Long: rc = sqlite3_bind_int64(stmt, index, value.ToInt32()); break;
    case VarType::Boolean:
      // The stored form of True is -1, as the ERP database's clients expect.
      rc = sqlite3_bind_int64(stmt, index, value.ToBool() ? -1 : 0);
      break;
    case VarType::Date: {
      const std::string iso = value.ToDate().ToIso();
      rc = sqlite3_bind_text64(stmt, index, iso.data(), iso.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
      break;
    }
    case VarType::Object: RaiseRuntime(err::TypeMismatch);
  }
  if (rc != SQLITE_OK) Raise(db_, rc, sql_);
}

bool SqliteStatement::Execute() {
  int rc = RunToEnd();
  // A stale snapshot comes from a read transaction that began before another
  // connection committed. Inside a caller's own transaction only the caller
  // can begin again; outside one, this statement's implicit transaction can,
  // once, so that a reader that finished meanwhile costs no failure.
  if (rc == SQLITE_BUSY_SNAPSHOT && sqlite3_get_autocommit(db_) != 0) rc = RunToEnd();
  if (rc != SQLITE_DONE) {
    // Take the message before reset, which may replace it.
    Error error = MakeError(db_, rc, sql_);
    Reset();
    throw error;
  }
  return rows_ > 0;
}

int SqliteStatement::RunToEnd() {
  sqlite3_stmt* stmt = stmt_.get();
  // The result of reset repeats the failure of an earlier step, which was
  // raised when it happened.
  sqlite3_reset(stmt);
  cells_.clear();
  rows_ = 0;
  row_ = 0;
  rows_affected_ = 0;
  const std::int64_t changes_before = read_only_ ? 0 : sqlite3_total_changes64(db_);
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) KeepRow();
  if (rc != SQLITE_DONE) return rc;
  // sqlite3_changes64 keeps the count of the last data change on the
  // connection, so it only belongs to this execution if anything changed.
  if (!read_only_ && sqlite3_total_changes64(db_) != changes_before) rows_affected_ = sqlite3_changes64(db_);
  // Ending the execution ends its implicit read transaction as well.
  sqlite3_reset(stmt);
  return rc;
}

void SqliteStatement::KeepRow() {
  // A schema change makes sqlite recompile the statement behind our back;
  // "select *" may then have gained or lost columns.
  const int count = sqlite3_column_count(stmt_.get());
  if (rows_ == 0 && static_cast<std::size_t>(count) != columns_.size()) LoadColumns();
  for (int i = 0; i < count; ++i) cells_.push_back(Cell(i));
  ++rows_;
}

bool SqliteStatement::Next() {
  if (row_ >= rows_) return false;
  ++row_;
  return row_ < rows_;
}

int SqliteStatement::ColumnCount() const {
  return static_cast<int>(columns_.size());
}

const std::string& SqliteStatement::ColumnName(int index) const {
  return Info(index).name;
}

Variant SqliteStatement::Column(int index) const {
  Info(index);
  if (row_ >= rows_) RaiseRuntime(err::NoCurrentRecord);
  return cells_[row_ * columns_.size() + static_cast<std::size_t>(index)];
}

Variant SqliteStatement::Cell(int index) const {
  const ColumnInfo& info = Info(index);
  sqlite3_stmt* stmt = stmt_.get();
  switch (sqlite3_column_type(stmt, index)) {
    case SQLITE_INTEGER: {
      const sqlite3_int64 v = sqlite3_column_int64(stmt, index);
      if (v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max()) {
        return Variant(static_cast<std::int32_t>(v));
      }
      return Variant(static_cast<double>(v));
    }
    case SQLITE_FLOAT: return Variant(sqlite3_column_double(stmt, index));
    case SQLITE_TEXT: {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, index));
      if (text == nullptr) Raise(db_, SQLITE_NOMEM, sql_);
      const std::string_view view(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, index)));
      if (info.holds_dates) {
        Date date;
        if (Date::TryParseIso(view, date)) return Variant(date);
      }
      return Variant(view);
    }
    case SQLITE_BLOB: {
      const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt, index));
      const auto size = static_cast<std::size_t>(sqlite3_column_bytes(stmt, index));
      return Variant(bytes != nullptr ? std::string(bytes, size) : std::string());
    }
    default: return Variant(Null);
  }
}

std::int64_t SqliteStatement::RowsAffected() const {
  return rows_affected_;
}

void SqliteStatement::Reset() {
  sqlite3_reset(stmt_.get());
  cells_.clear();
  rows_ = 0;
  row_ = 0;
}

}  // namespace tarnlow::backend::sqlite
