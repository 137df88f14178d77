#include <algorithm>
#include <cctype>
#include <cmath>
#include <iterator>
#include <limits>

#include "connection/sqlite/sqlite_backend.h"

namespace tarnlow::backend::sqlite {
namespace {

// Cells kept between executions: a few rows of any table.
constexpr std::size_t kKeptCells = 1024;
// The longest text a placeholder keeps a buffer for: any column of the
// ERP database's tables fits.
constexpr std::size_t kKeptText = 4096;

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
      texts_(static_cast<std::size_t>(sqlite3_bind_parameter_count(stmt_.get()))),
      dates_(texts_.size()) {}

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

TARNLOW_STATEMENT_PATH void SqliteStatement::Bind(int index, const Variant& value) {
  sqlite3_stmt* stmt = stmt_.get();
  // sqlite refuses new values while a statement is running. Executions run
  // to their end; only one that failed part-way through keeping its rows
  // can still be running here.
  Unstep();

  int rc = SQLITE_OK;
  switch (value.Type()) {
    case VarType::Empty:
    case VarType::Null: rc = sqlite3_bind_null(stmt, index); break;
    case VarType::String: rc = BindText(index, *value.AsText()); break;
    case VarType::Double: rc = sqlite3_bind_double(stmt, index, value.ToDouble()); break;
    case VarType::Integer:
    case VarType::Long: rc = sqlite3_bind_int64(stmt, index, value.ToInt32()); break;
    case VarType::Boolean:
      // The stored form of True is -1, as the ERP database's clients expect.
      rc = sqlite3_bind_int64(stmt, index, value.ToBool() ? -1 : 0);
      break;
    case VarType::Date: {
      DateText once;  // for a placeholder that is not there, which sqlite reports
      const bool kept = Placeholder(index);
      const std::string_view iso =
          (kept ? dates_[static_cast<std::size_t>(index - 1)] : once).Of(value.ToDate());
      rc = sqlite3_bind_text64(stmt, index, iso.data(), iso.size(), kept ? SQLITE_STATIC : SQLITE_TRANSIENT,
                               SQLITE_UTF8);
      break;
    }
    case VarType::Object: RaiseRuntime(err::TypeMismatch);
  }
  if (rc != SQLITE_OK) Raise(db_, rc, sql_);
}

// Text is copied into the placeholder's own buffer, which sqlite reads
// without a copy of its own: the buffer outlives every step of the
// statement and changes only when that placeholder is bound again, so each
// value costs one copy into memory kept from run to run instead of an
// allocation and a release inside sqlite. Long texts are left to sqlite, so
// that a statement does not keep a large buffer for as long as it lives.
TARNLOW_STATEMENT_PATH int SqliteStatement::BindText(int index, const std::string& text) {
  if (!Placeholder(index) || text.size() > kKeptText)
    return sqlite3_bind_text64(stmt_.get(), index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
  std::string& kept = texts_[static_cast<std::size_t>(index - 1)];
  ReplaceText(kept, text);
  return sqlite3_bind_text64(stmt_.get(), index, kept.data(), kept.size(), SQLITE_STATIC, SQLITE_UTF8);
}

// sqlite reads the caller's text where it lies, during the steps of the
// next run only.
TARNLOW_STATEMENT_PATH void SqliteStatement::BindInPlace(int index, const Variant& value) {
  const std::string* text = value.AsText();
  if (text == nullptr) return Bind(index, value);
  BindTextInPlace(index, *text);
}

TARNLOW_STATEMENT_PATH void SqliteStatement::BindTextInPlace(int index, const std::string& text) {
  Unstep();
  const int rc =
      sqlite3_bind_text64(stmt_.get(), index, text.data(), text.size(), SQLITE_STATIC, SQLITE_UTF8);
  if (rc != SQLITE_OK) Raise(db_, rc, sql_);
}

TARNLOW_STATEMENT_PATH void SqliteStatement::BindNumber(int index, double number) {
  // What is no number at all raises as Bind raises it.
  if (!std::isfinite(number)) return Bind(index, Variant(number));
  Unstep();
  const int rc = sqlite3_bind_double(stmt_.get(), index, number);
  if (rc != SQLITE_OK) Raise(db_, rc, sql_);
}

TARNLOW_STATEMENT_PATH bool SqliteStatement::Execute() {
  int rc = RunToEnd();
  // A stale snapshot comes from a read transaction that began before another
  // connection committed. Inside a caller's own transaction only the caller
  // can begin again; outside one, this statement's implicit transaction can,
  // once, so that a reader that finished meanwhile costs no failure.
  if (rc == SQLITE_BUSY_SNAPSHOT && sqlite3_get_autocommit(db_) != 0) rc = RunToEnd();
  return Finish(rc);
}

// A point read stops at its row: stepping on to the end would only look for
// a second row that the caller never reads.
TARNLOW_STATEMENT_PATH bool SqliteStatement::ExecuteForFirstRow() {
  return ExecuteFirstRow(false);
}

// The caller copies the row at once and resets, so the statement may stay
// on it meanwhile: its cells go straight from sqlite into properties.
TARNLOW_STATEMENT_PATH bool SqliteStatement::ExecuteInPlace() {
  return ExecuteFirstRow(true);
}

TARNLOW_STATEMENT_PATH bool SqliteStatement::ExecuteFirstRow(bool in_place) {
  if (!read_only_) return Execute();
  int rc = RunFirstRow(in_place);
  if (rc == SQLITE_BUSY_SNAPSHOT && sqlite3_get_autocommit(db_) != 0) rc = RunFirstRow(in_place);
  return Finish(rc);
}

TARNLOW_STATEMENT_PATH bool SqliteStatement::Finish(int rc) {
  if (rc != SQLITE_DONE) {
    // Take the message before reset, which may replace it.
    Error error = MakeError(db_, rc, sql_);
    Reset();
    throw error;
  }
  return rows_ > 0;
}

void SqliteStatement::Begin() {
  Unstep();
  reset_ = false;
  live_ = false;
  used_ = 0;
  rows_ = 0;
  row_ = 0;
  rows_affected_ = 0;
}

TARNLOW_STATEMENT_PATH int SqliteStatement::RunToEnd() {
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

TARNLOW_STATEMENT_PATH int SqliteStatement::RunFirstRow(bool in_place) {
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
  const std::size_t end = used_ + static_cast<std::size_t>(count);
  if (end > cells_.size()) {
    // Growing moves every cell kept so far: a large result grows in bigger
    // steps, so that its cells move about a third as often as by doubling.
    if (end > cells_.capacity()) cells_.reserve(std::max(end, cells_.capacity() * 4));
    cells_.resize(end);
  }
  for (int i = 0; i < count; ++i) Cell(i, cells_[used_++]);
  ++rows_;
}

TARNLOW_STATEMENT_PATH bool SqliteStatement::Next() {
  // An in-place read ends at its first row.
  if (live_) {
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

const Variant& SqliteStatement::CellAt(int index) const {
  Info(index);
  if (row_ >= rows_) RaiseRuntime(err::NoCurrentRecord);
  return cells_[row_ * columns_.size() + static_cast<std::size_t>(index)];
}

Variant SqliteStatement::Column(int index) const {
  Variant scratch;
  return ColumnValue(index, scratch);
}

const Variant& SqliteStatement::ColumnValue(int index, Variant& scratch) const {
  if (!live_) return CellAt(index);
  Cell(index, scratch);
  return scratch;
}

// Kept rows are cells already, which ColumnValue hands over without a copy.
TARNLOW_STATEMENT_PATH std::size_t SqliteStatement::CopyCells(const std::uint32_t* at, const CellCopy* cells,
                                                              std::size_t n) const {
  if (!live_) return 0;
  if (!columns_loaded_) LoadColumns();
  for (std::size_t i = 0; i < n; ++i) {
    if (at[i] >= columns_.size()) return i;
    const int index = static_cast<int>(at[i]);
    const ColumnInfo& info = columns_[at[i]];
    sqlite3_value* value = CellValue(index);
    const CellCopy& cell = cells[i];
    const int type = sqlite3_value_type(value);
    if (cell.kind == CellCopy::Text) {
      // The text of a date column may read as a date.
      if (type == SQLITE_TEXT && !info.holds_dates)
        ReplaceText(*static_cast<std::string*>(cell.out), Text(value));
      else if (type == SQLITE_BLOB)
        ReplaceText(*static_cast<std::string*>(cell.out), Blob(value));
      else
        return i;
    } else if (cell.kind == CellCopy::Number && type == SQLITE_INTEGER) {
      *static_cast<double*>(cell.out) = static_cast<double>(sqlite3_value_int64(value));
    } else if (cell.kind == CellCopy::Number && type == SQLITE_FLOAT) {
      // An infinity goes the general way, which raises Overflow.
      const double d = sqlite3_value_double(value);
      if (!std::isfinite(d)) return i;
      *static_cast<double*>(cell.out) = d;
    } else {
      return i;
    }
  }
  return n;
}

// The rows are already cells: the caller takes them whole, or from the
// current row on. Nothing is left to reuse for the next execution, which is
// what Reset would leave after a read this large anyway.
void SqliteStatement::TakeRows(std::vector<Variant>& cells) {
  if (live_) {
    const int n = ColumnCount();
    for (int i = 0; i < n; ++i) Cell(i, cells.emplace_back());
    Reset();
    return;
  }
  if (row_ >= rows_) RaiseRuntime(err::NoCurrentRecord);
  const auto first = static_cast<std::ptrdiff_t>(row_ * columns_.size());
  if (first == 0 && cells.empty()) {
    cells_.resize(used_);
    cells.swap(cells_);
  } else {
    cells.insert(cells.end(), std::make_move_iterator(cells_.begin() + first),
                 std::make_move_iterator(cells_.begin() + static_cast<std::ptrdiff_t>(used_)));
  }
  used_ = 0;
  rows_ = 0;
  row_ = 0;
}

void SqliteStatement::Cell(int index, Variant& out) const {
  const ColumnInfo& info = Info(index);
  sqlite3_value* cell = CellValue(index);
  switch (sqlite3_value_type(cell)) {
    case SQLITE_INTEGER: {
      const sqlite3_int64 v = sqlite3_value_int64(cell);
      if (v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max())
        out = Variant(static_cast<std::int32_t>(v));
      else
        out = Variant(static_cast<double>(v));
      return;
    }
    case SQLITE_FLOAT: out = Variant(sqlite3_value_double(cell)); return;
    case SQLITE_TEXT: {
      const std::string_view view = Text(cell);
      if (info.holds_dates) {
        Date date;
        if (Date::TryParseIso(view, date)) {
          out = Variant(date);
          return;
        }
      }
      out.AssignText(view);
      return;
    }
    case SQLITE_BLOB: out.AssignText(Blob(cell)); return;
    default: out = Variant(Null); return;
  }
}

// The statement's column functions each check the statement and go through
// the connection's lock and error state again; the cell's value object is
// read as safely by one thread on a connection opened without mutexes.
sqlite3_value* SqliteStatement::CellValue(int index) const {
  return sqlite3_column_value(stmt_.get(), index);
}

std::string_view SqliteStatement::Text(sqlite3_value* cell) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(cell));
  if (text == nullptr) Raise(db_, SQLITE_NOMEM, sql_);
  return {text, static_cast<std::size_t>(sqlite3_value_bytes(cell))};
}

std::string_view SqliteStatement::Blob(sqlite3_value* cell) {
  const auto* bytes = static_cast<const char*>(sqlite3_value_blob(cell));
  const auto size = static_cast<std::size_t>(sqlite3_value_bytes(cell));
  return bytes != nullptr ? std::string_view(bytes, size) : std::string_view();
}

TARNLOW_STATEMENT_PATH std::int64_t SqliteStatement::RowsAffected() const {
  return rows_affected_;
}

TARNLOW_STATEMENT_PATH void SqliteStatement::Reset() {
  Unstep();
  live_ = false;
  used_ = 0;
  rows_ = 0;
  row_ = 0;
  // A literal statement that read a whole table gives that memory back;
  // a small row keeps its cells for the next execution.
  if (cells_.size() > kKeptCells) cells_ = std::vector<Variant>();
}

}  // namespace tarnlow::backend::sqlite
