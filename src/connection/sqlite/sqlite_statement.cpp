#include <algorithm>
#include <cctype>
#include <cmath>
#include <iterator>
#include <limits>

#include "connection/sqlite/sqlite_backend.h"

namespace tarnlow::backend::sqlite {
namespace {

// Rows kept between executions: a few rows of any table.
constexpr std::size_t kKeptCells = 1024;
constexpr std::size_t kKeptText = 64 * 1024;

// sqlite has no date type: dates are stored as ISO text and recognised on the
// way back by the column's declared type ("DATE", "DATETIME", "TIMESTAMP").
bool DeclaresDates(const char* decltype_text) {
  if (decltype_text == nullptr) return false;
  for (const char* p = decltype_text; *p != '\0'; ++p)
    if (sqlite3_strnicmp(p, "DATE", 4) == 0 || sqlite3_strnicmp(p, "TIME", 4) == 0) return true;
  return false;
}

}  // namespace

SqliteStatement::SqliteStatement(StatementHandle stmt, std::string sql)
    : stmt_(std::move(stmt)),
      db_(sqlite3_db_handle(stmt_.get())),
      sql_(std::move(sql)),
      read_only_(sqlite3_stmt_readonly(stmt_.get()) != 0),
      dates_(static_cast<std::size_t>(sqlite3_bind_parameter_count(stmt_.get()))) {}

void SqliteStatement::LoadColumns() const {
  const int count = sqlite3_column_count(stmt_.get());
  columns_loaded_ = true;
  columns_.clear();
  columns_.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const char* name = sqlite3_column_name(stmt_.get(), i);
    columns_.push_back({name != nullptr ? name : "", DeclaresDates(sqlite3_column_decltype(stmt_.get(), i))});
  }
}

const SqliteStatement::ColumnInfo& SqliteStatement::Info(int index) const {
  if (!columns_loaded_) LoadColumns();
  if (index < 0 || static_cast<std::size_t>(index) >= columns_.size()) {
    RaiseRuntime(err::SubscriptOutOfRange);
  }
  return columns_[static_cast<std::size_t>(index)];
}

int SqliteStatement::ParameterCount() const {
  return sqlite3_bind_parameter_count(stmt_.get());
}

// The result of reset repeats the failure of an earlier step, which was
// raised when it happened.
void SqliteStatement::Unstep() {
  if (!reset_) {
    sqlite3_reset(stmt_.get());
    reset_ = true;
  }
}

// Text is read where the caller keeps it, during the steps of the next run;
// so is the ISO text of a date, kept per placeholder.
void SqliteStatement::Bind(int index, const EngineValue& value) {
  sqlite3_stmt* stmt = stmt_.get();
  // sqlite refuses new values while a statement is running. Executions run
  // to their end; only one that failed part-way through keeping its rows
  // can still be running here.
  Unstep();
  int rc = SQLITE_OK;
  switch (value.kind) {
    case EngineValue::Kind::Null: rc = sqlite3_bind_null(stmt, index); break;
    case EngineValue::Kind::Integer: rc = sqlite3_bind_int64(stmt, index, value.integer); break;
    case EngineValue::Kind::Real: rc = sqlite3_bind_double(stmt, index, value.real); break;
    case EngineValue::Kind::Text:
      rc = sqlite3_bind_text64(stmt, index, value.text.data(), value.text.size(), SQLITE_STATIC, SQLITE_UTF8);
      break;
    case EngineValue::Kind::Date: {
      DateText once;  // for a placeholder that is not there, which sqlite reports
      const bool kept = index >= 1 && static_cast<std::size_t>(index) <= dates_.size();
      const std::string_view iso = (kept ? dates_[static_cast<std::size_t>(index - 1)] : once).Of(value.date);
      rc = sqlite3_bind_text64(stmt, index, iso.data(), iso.size(), kept ? SQLITE_STATIC : SQLITE_TRANSIENT,
                               SQLITE_UTF8);
      break;
    }
  }
  if (rc != SQLITE_OK) Raise(db_, rc, sql_);
}

// A stale snapshot comes from a read transaction that began before another
// connection committed. Inside a caller's own transaction only the caller
// can begin again; outside one, this statement's implicit transaction can,
// once, so that a reader that finished meanwhile costs no failure. A point
// read stops at its row: stepping on to the end would only look for a
// second row that the caller never reads.
bool SqliteStatement::Execute(Rows rows) {
  streaming_ = rows == Rows::AllInPlace;
  auto run = [&] { return rows == Rows::All || !read_only_ ? RunToEnd() : RunFirstRow(rows != Rows::First); };
  int rc = run();
  if (rc == SQLITE_BUSY_SNAPSHOT && sqlite3_get_autocommit(db_) != 0) rc = run();
  return Finish(rc);
}

bool SqliteStatement::Finish(int rc) {
  if (rc != SQLITE_DONE) {
    // Take the message before reset, which may replace it.
    Error error = MakeError(db_, rc, sql_);
    Reset();
    throw error;
  }
  return rows_ > 0;
}

bool SqliteStatement::Stepped(int rc) {
  if (rc == SQLITE_ROW) return true;
  if (rc != SQLITE_DONE) Finish(rc);
  return false;
}

void SqliteStatement::Begin() {
  Unstep();
  reset_ = false;
  live_ = false;
  cells_.clear();
  text_.clear();
  rows_ = 0;
  row_ = 0;
  rows_affected_ = 0;
}

int SqliteStatement::RunToEnd() {
  sqlite3_stmt* stmt = stmt_.get();
  Begin();
  const std::int64_t changes_before = read_only_ ? 0 : sqlite3_total_changes64(db_);
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) KeepRow();
  if (rc != SQLITE_DONE) return rc;
  // sqlite3_changes64 keeps the count of the last data change on the
  // connection, so it only belongs to this execution if anything changed.
  if (!read_only_ && sqlite3_total_changes64(db_) != changes_before) rows_affected_ = sqlite3_changes64(db_);
  // Ending the execution ends its implicit read transaction as well.
  sqlite3_reset(stmt);
  reset_ = true;
  return rc;
}

int SqliteStatement::RunFirstRow(bool in_place) {
  sqlite3_stmt* stmt = stmt_.get();
  Begin();
  const int rc = sqlite3_step(stmt);
  if (rc == SQLITE_ROW && in_place) {
    CheckColumns(sqlite3_column_count(stmt));
    live_ = true;
    rows_ = 1;
    return SQLITE_DONE;
  }
  if (rc == SQLITE_ROW)
    KeepRow();
  else if (rc != SQLITE_DONE)
    return rc;
  sqlite3_reset(stmt);
  reset_ = true;
  return SQLITE_DONE;
}

// A schema change makes sqlite recompile the statement behind our back;
// "select *" may then have gained or lost columns.
void SqliteStatement::CheckColumns(int count) const {
  if (!columns_loaded_ || static_cast<std::size_t>(count) != columns_.size()) LoadColumns();
}

void SqliteStatement::KeepRow() {
  const int count = sqlite3_column_count(stmt_.get());
  if (rows_ == 0) CheckColumns(count);
  for (int i = 0; i < count; ++i) {
    const EngineValue cell = LiveCell(i);
    KeptCell& kept = cells_.emplace_back(KeptCell{cell.kind, cell.integer, cell.real, cell.date, 0, 0});
    if (cell.kind == EngineValue::Kind::Text) {
      kept.at = text_.size();
      kept.size = cell.text.size();
      text_.append(cell.text);
    }
  }
  ++rows_;
}

bool SqliteStatement::Next() {
  if (live_) {
    if (streaming_ && Stepped(sqlite3_step(stmt_.get()))) return true;
    Reset();
    return false;
  }
  if (row_ >= rows_) return false;
  ++row_;
  return row_ < rows_;
}

int SqliteStatement::ColumnCount() const {
  if (!columns_loaded_) LoadColumns();
  return static_cast<int>(columns_.size());
}

const std::string& SqliteStatement::ColumnName(int index) const {
  return Info(index).name;
}

EngineValue SqliteStatement::Cell(int index) const {
  if (live_) return LiveCell(index);
  Info(index);
  if (row_ >= rows_) RaiseRuntime(err::NoCurrentRecord);
  const KeptCell& kept = cells_[row_ * columns_.size() + static_cast<std::size_t>(index)];
  if (kept.kind == EngineValue::Kind::Text) return EngineValue::Text({text_.data() + kept.at, kept.size});
  return {kept.kind, kept.integer, kept.real, {}, kept.date};
}

// The text of a date column reads as a date where it is one; a blob reads
// as its bytes. The statement's column functions each check the statement
// and go through the connection's lock and error state again; the cell's
// value object is read as safely by one thread on a connection opened
// without mutexes.
EngineValue SqliteStatement::LiveCell(int index) const {
  const ColumnInfo& info = Info(index);
  sqlite3_value* cell = sqlite3_column_value(stmt_.get(), index);
  switch (sqlite3_value_type(cell)) {
    case SQLITE_INTEGER: return EngineValue::Integer(sqlite3_value_int64(cell));
    case SQLITE_FLOAT: return EngineValue::Real(sqlite3_value_double(cell));
    case SQLITE_TEXT: {
      const std::string_view view = Text(cell);
      Date date;
      if (info.holds_dates && Date::TryParseIso(view, date)) return EngineValue::OfDate(date);
      return EngineValue::Text(view);
    }
    case SQLITE_BLOB: {
      const auto* bytes = static_cast<const char*>(sqlite3_value_blob(cell));
      const auto size = static_cast<std::size_t>(sqlite3_value_bytes(cell));
      return EngineValue::Text(bytes != nullptr ? std::string_view(bytes, size) : std::string_view());
    }
    default: return {};
  }
}

std::string_view SqliteStatement::Text(sqlite3_value* cell) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(cell));
  if (text == nullptr) Raise(db_, SQLITE_NOMEM, sql_);
  return {text, static_cast<std::size_t>(sqlite3_value_bytes(cell))};
}

std::int64_t SqliteStatement::RowsAffected() const {
  return rows_affected_;
}

void SqliteStatement::Reset() {
  Unstep();
  live_ = false;
  rows_ = 0;
  row_ = 0;
  cells_.clear();
  text_.clear();
  // A literal statement that read a whole table gives that memory back;
  // a small row keeps its storage for the next execution.
  if (cells_.capacity() > kKeptCells) cells_.shrink_to_fit();
  if (text_.capacity() > kKeptText) text_.shrink_to_fit();
}

}  // namespace tarnlow::backend::sqlite
