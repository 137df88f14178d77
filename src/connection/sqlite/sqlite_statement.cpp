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

SqliteStatement::SqliteStatement(StatementHandle stmt)
    : stmt_(std::move(stmt)),
      db_(sqlite3_db_handle(stmt_.get())),
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
  // sqlite refuses new values while an execution is under way; the caller is
  // done with that execution once it binds for the next one.
  if (sqlite3_stmt_busy(stmt) != 0) Reset();

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
  if (rc != SQLITE_OK) Raise(db_, rc);
}

bool SqliteStatement::Execute() {
  // The result of reset repeats the failure of an earlier step, which was
  // raised when it happened.
  sqlite3_reset(stmt_.get());
  has_row_ = false;
  rows_affected_ = 0;
  changes_before_ = read_only_ ? 0 : sqlite3_total_changes64(db_);
  return Step();
}

bool SqliteStatement::Next() {
  // Stepping a finished statement would silently run it again.
  if (!has_row_) return false;
  return Step();
}

bool SqliteStatement::Step() {
  sqlite3_stmt* stmt = stmt_.get();
  const int rc = sqlite3_step(stmt);
  if (rc == SQLITE_ROW) {
    has_row_ = true;
    // A schema change makes sqlite recompile the statement behind our back;
    // "select *" may then have gained or lost columns.
    if (static_cast<std::size_t>(sqlite3_column_count(stmt)) != columns_.size()) LoadColumns();
    return true;
  }
  has_row_ = false;
  if (rc == SQLITE_DONE) {
    // sqlite3_changes64 keeps the count of the last data change on the
    // connection, so it only belongs to this execution if anything changed.
    if (!read_only_ && sqlite3_total_changes64(db_) != changes_before_) {
      rows_affected_ = sqlite3_changes64(db_);
    }
    sqlite3_reset(stmt);
    return false;
  }
  // Take the message before reset, which may replace it.
  Error error = MakeError(db_, rc);
  sqlite3_reset(stmt);
  throw error;
}

int SqliteStatement::ColumnCount() const {
  return static_cast<int>(columns_.size());
}

const std::string& SqliteStatement::ColumnName(int index) const {
  return Info(index).name;
}

Variant SqliteStatement::Column(int index) const {
  const ColumnInfo& info = Info(index);
  if (!has_row_) RaiseRuntime(err::NoCurrentRecord);
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
      if (text == nullptr) Raise(db_, SQLITE_NOMEM);
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
  // Ending the execution also ends its implicit read transaction, so a
  // reader that stopped early does not hold up checkpoints of other writers.
  sqlite3_reset(stmt_.get());
  has_row_ = false;
}

}  // namespace tarnlow::backend::sqlite
