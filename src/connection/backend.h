// The seam between the connection layer and a database engine: each backend
// folder implements these two classes (tests wrap a Database to inject
// faults) and builds its error records in its *_error.cpp.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "connection/sql_text.h"
#include "tarnlow/error.h"
#include "tarnlow/object.h"
#include "tarnlow/value.h"

namespace tarnlow {

// A placeholder's value or a cell of the current row. A bound text (not
// NUL-terminated) stays unchanged until its run ends; a cell's text until
// the statement next moves. connection/cells.h converts the library's values.
struct EngineValue {
  enum class Kind : std::uint8_t { Null, Integer, Real, Text, Date };
  Kind kind = Kind::Null;
  std::int64_t integer = 0;
  double real = 0;  // finite when bound
  std::string_view text;
  Date date;

  static EngineValue Integer(std::int64_t v) { return {Kind::Integer, v, 0, {}, {}}; }
  static EngineValue Real(double v) { return {Kind::Real, 0, v, {}, {}}; }
  static EngineValue Text(std::string_view v) { return {Kind::Text, 0, 0, v, {}}; }
  static EngineValue OfDate(const Date& v) { return {Kind::Date, 0, 0, {}, v}; }
};

// A statement compiled once and run many times, "?" placeholders. Outside
// the seam's namespace because command and row-set objects hold one.
class CompiledStatement {
 public:
  // What a run reads (a statement that changes data runs to its end in
  // every mode). All: every row, kept, so that no statement holds the
  // database between calls. First: only the first row; the backend may end
  // the execution after it. FirstInPlace: the caller copies the first row
  // and calls Reset before anything else runs on this statement, so the
  // backend may give cells from where it stands. AllInPlace: the caller
  // reads every row at once and calls Reset before anything else runs on
  // this connection, so the backend may read rows as the caller moves.
  enum class Rows : std::uint8_t { All, First, FirstInPlace, AllInPlace };

  virtual ~CompiledStatement() = default;

  virtual int ParameterCount() const = 0;
  // The value for the next runs, 1-based; all are bound again before each.
  virtual void Bind(int index, const EngineValue& value) = 0;
  // Runs the statement; true when a row is current afterwards.
  virtual bool Execute(Rows rows) = 0;
  // Moves to the next row; false at the end. In place, a failing row raises here.
  virtual bool Next() = 0;
  virtual int ColumnCount() const = 0;
  virtual const std::string& ColumnName(int index) const = 0;
  // The current row's cell; Date for the cells of date columns.
  virtual EngineValue Cell(int index) const = 0;
  // Rows changed by the last execution of an insert, update or delete.
  virtual std::int64_t RowsAffected() const = 0;
  // Ends the current execution and releases what it holds.
  virtual void Reset() = 0;
};

namespace backend {

using Statement = CompiledStatement;

// Frees a database client's handle with F, for std::unique_ptr.
template <auto F>
struct FreeWith {
  template <class T>
  void operator()(T* handle) const noexcept {
    F(handle);
  }
};

// The text of a date bound to one placeholder, rewritten only when the date
// changes: the rows of a receipt or an order all carry the same dates.
class DateText {
 public:
  std::string_view Of(const Date& date) {
    if (size_ == 0 || date.value != value_) {
      size_ = 0;  // a date out of range raises while writing
      char text[Date::kIsoSize];
      const std::size_t size = date.WriteIso(text);
      std::memcpy(text_, text, size);
      text_[size] = '\0';
      value_ = date.value;
      size_ = size;
    }
    return {text_, size_};
  }
  // The same text ending in a NUL, for an interface that reads up to it.
  const char* CString(const Date& date) { return Of(date).data(); }

 private:
  double value_ = 0;
  std::size_t size_ = 0;  // none written yet
  char text_[Date::kIsoSize + 1];
};

// A column as the database declares it, to compare with our layouts.
struct ColumnDescription {
  enum class Kind : std::uint8_t {
    Text,
    Number,        // holds fractions: floating point or decimal
    Integer,       // whole numbers of 32 bits or more
    SmallInteger,  // whole numbers narrower than 32 bits
    DateTime,      // date and time of day
    DateOnly,      // a calendar day without time
    Any,           // takes every value as it is given (SQLite's blob affinity)
    Other,
  };
  std::string name;
  Kind kind = Kind::Other;
  int size = 0;  // Text: the most characters it holds, 0 for no limit (or more than an int counts)
  // Decimal digits in all and after the point; precision 0 for no limit.
  int precision = 0;
  int scale = 0;
  std::string type;  // the database's own name for the type
};

// A column of a SQLite table or view by its declared type's affinity.
ColumnDescription SqliteColumn(std::string name, std::string declared_type);

class Database {
 public:
  virtual ~Database() = default;

  // Compiles a statement ("?" placeholders, left(), "{fn ...}" escapes);
  // a literal one (`repeated` false) may go in a single round trip.
  virtual std::unique_ptr<Statement> Prepare(std::string_view sql, bool repeated = true) = 0;
  // Runs statements that return no rows (DDL), separated by ";".
  virtual void ExecuteScript(std::string_view sql) = 0;
  virtual bool TableExists(std::string_view table) = 0;
  // The primary key, then each unique index oldest first, columns in key
  // order; partial and expression indexes identify no row and are left out.
  virtual std::vector<std::vector<std::string>> UniqueKeys(std::string_view table) = 0;
  // The columns of the table's primary or first unique key; empty if none.
  std::vector<std::string> UniqueKeyColumns(std::string_view table) {
    std::vector<std::vector<std::string>> keys = UniqueKeys(table);
    return keys.empty() ? std::vector<std::string>() : std::move(keys.front());
  }
  // The table's columns in their order; empty when there is no such table.
  virtual std::vector<ColumnDescription> Columns(std::string_view table) = 0;
  // Whether the database still holds the transaction opened on it. SQLite
  // may roll a whole transaction back on a failed statement (a full disk, an
  // I/O error); a server drops it with the connection. True where the
  // database cannot tell (through ODBC).
  virtual bool InTransaction() { return true; }
  // The DDL dialect, "sqlite" or "postgresql", or another database's name.
  virtual std::string_view Dialect() const = 0;
  // The text as a literal of this database whatever its session settings
  // (sqltext::QuoteLiteral); an unknown kind may read backslashes as escapes.
  virtual std::string QuoteLiteral(std::string_view text) {
    return sqltext::QuoteLiteral(text, sqltext::Backslash::Unknown);
  }
};

// Opens a database file (or ":memory:"), creating a missing one if `create`.
std::unique_ptr<Database> OpenSqlite(const std::string& path, bool create = true);
std::unique_ptr<Database> OpenPostgres(const std::string& conninfo);
std::unique_ptr<Database> OpenOdbc(const std::string& connection_string);

}  // namespace backend
}  // namespace tarnlow
