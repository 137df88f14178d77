// The one seam between the connection layer and a database engine. Every
// backend (sqlite/, postgresql/, odbc/) implements these two classes with the
// same set of files; tests wrap a Database to inject faults. Failures raise an
// error record whose context names the statement, the database's own code
// and whether the connection can still be used; each backend builds those
// records in one place (its *_error.cpp).
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

// Marks the code every run of a prepared statement passes through: binding
// its values, running it, copying its row. The linker gathers it in one
// stretch (the ".text.hot" sections, in the order the build lists the
// files), so that a run touches a few pages of code instead of a dozen
// spread over the library. Client and server take turns on the CPUs; what
// the server touches between two statements pushes the client's pages out
// of the address caches, and each page the next run finds again costs a walk
// of the page tables.
#if defined(__ELF__) && defined(__GNUC__)
#define TARNLOW_STATEMENT_PATH [[gnu::section(".text.hot.tarnlow")]]
#else
#define TARNLOW_STATEMENT_PATH
#endif

namespace tarnlow {

// A statement compiled once by the database and run many times with new
// values. Placeholders are "?" in the text given to Prepare. Named outside
// the seam's namespace because command and row-set objects hold one.
class CompiledStatement {
 public:
  virtual ~CompiledStatement() = default;

  virtual int ParameterCount() const = 0;
  // Values for the next execution, 1-based in placeholder order. Text binds
  // as text, numbers as numbers, dates as the database's date value, Null
  // and Empty as null.
  virtual void Bind(int index, const Variant& value) = 0;
  // The same, where the value may be read where it lies when the statement
  // next runs instead of copied now: the caller keeps it alive and
  // unchanged until that run has ended, and binds every placeholder again
  // before the run after it.
  virtual void BindInPlace(int index, const Variant& value) { Bind(index, value); }
  // Text, numbers and dates as BindInPlace binds a String, Double or Date
  // value, for a caller that knows which it has: text kept alive and
  // unchanged by the caller as above.
  virtual void BindTextInPlace(int index, const std::string& text) { Bind(index, Variant(text)); }
  virtual void BindNumber(int index, double number) { Bind(index, Variant(number)); }
  virtual void BindDate(int index, const Date& date) { Bind(index, Variant(date)); }
  // Runs the statement to its end, keeping every row it gives, so that no
  // statement holds the database between calls; true when a row is current
  // afterwards.
  virtual bool Execute() = 0;
  // Runs the statement as Execute does when only its first row will be
  // read: a backend may stop after that row, ending the execution as Reset
  // does, instead of reading the rest. A statement that changes data runs
  // to its end all the same.
  virtual bool ExecuteForFirstRow() { return Execute(); }
  // Runs a read whose first row is copied at once, after which the caller
  // calls Reset before anything else runs on this statement: a backend may
  // leave the database on that row and read its cells from there, with no
  // copy kept in between. Other statements run as ExecuteForFirstRow runs
  // them.
  virtual bool ExecuteInPlace() { return ExecuteForFirstRow(); }
  // Moves to the next row; false at the end.
  virtual bool Next() = 0;
  virtual int ColumnCount() const = 0;
  // Stands for the columns of the last result, their names in order: a
  // statement giving the same object gives the same columns. Null where the
  // backend does not keep one, and the caller compares the names instead.
  virtual std::shared_ptr<const void> Layout() const { return nullptr; }
  virtual const std::string& ColumnName(int index) const = 0;
  // The current row's value: Null, Long (whole numbers that fit 32 bits),
  // Double, String or Date (for date columns).
  virtual Variant Column(int index) const = 0;
  // The same value without a copy where the backend keeps it, otherwise
  // written into `scratch` (reusing its storage) and that is returned.
  virtual const Variant& ColumnValue(int index, Variant& scratch) const {
    scratch = Column(index);
    return scratch;
  }
  // The current row's cells at[0..n) written straight into the properties
  // of cells[0..n), in order, for as long as each cell is text (a number)
  // for a text (number) property just as ColumnValue would give it; gives
  // how many were written. The caller converts the first one not written
  // from ColumnValue, with its property untouched until then.
  virtual std::size_t CopyCells(const std::uint32_t* /*at*/, const CellCopy* /*cells*/,
                                std::size_t /*n*/) const {
    return 0;
  }
  // Appends the current row and every row after it to `cells`, row after
  // row, ColumnCount() cells apiece, and leaves the statement at its end. A
  // backend that keeps its rows hands its own cells over instead of copying
  // them: whole-table loads read a hundred thousand rows this way. Needs a
  // current row.
  virtual void TakeRows(std::vector<Variant>& cells) {
    const int n = ColumnCount();
    do {
      for (int i = 0; i < n; ++i) cells.push_back(Column(i));
    } while (Next());
  }
  // Rows changed by the last execution of an insert, update or delete.
  virtual std::int64_t RowsAffected() const = 0;
  // Ends the current execution and releases what it holds.
  virtual void Reset() = 0;
};

namespace backend {

using Statement = CompiledStatement;

// The text of a date bound to one placeholder run after run: the rows of a
// receipt or an order all carry the same dates, written once while they
// stay the same.
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

// A column as the database declares it, for comparing a site's tables with
// the layouts this library writes.
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
  // Decimal numbers: the digits held in all and after the point; precision
  // 0 for no limit (floating point, or a decimal of any width).
  int precision = 0;
  int scale = 0;
  std::string type;  // the database's own name for the type
};

// A column of a SQLite table or view as SQLite reads its declared type
// (the type's affinity), whatever reached the declaration.
ColumnDescription SqliteColumn(std::string name, std::string declared_type);

class Database {
 public:
  virtual ~Database() = default;

  // Compiles a statement. The text may use "?" placeholders, the left()
  // function and "{fn ...}" escapes. Failures raise an error record.
  // `repeated` is false for a literal statement that runs once, so that a
  // server backend can send it in a single round trip.
  virtual std::unique_ptr<Statement> Prepare(std::string_view sql, bool repeated = true) = 0;
  // Runs statements that return no rows (DDL), separated by ";".
  virtual void ExecuteScript(std::string_view sql) = 0;
  virtual bool TableExists(std::string_view table) = 0;
  // The table's keys: the primary key first, then each unique index in the
  // order of creation, columns in key order. Partial indexes and those over
  // expressions are left out: they do not make a row identifiable.
  virtual std::vector<std::vector<std::string>> UniqueKeys(std::string_view table) = 0;
  // The columns of the table's primary or first unique key; empty if none.
  std::vector<std::string> UniqueKeyColumns(std::string_view table) {
    std::vector<std::vector<std::string>> keys = UniqueKeys(table);
    return keys.empty() ? std::vector<std::string>() : std::move(keys.front());
  }
  // The table's columns in their order; empty when there is no such table.
  virtual std::vector<ColumnDescription> Columns(std::string_view table) = 0;
  // "sqlite" or "postgresql": the DDL dialect. A connection to a database
  // of another kind answers with that database's own name.
  virtual std::string_view Dialect() const = 0;
  // The text as a literal of this database, whatever its session settings
  // (sqltext::QuoteLiteral); raises for a text that cannot be one safely.
  // A database of a kind not known may read a backslash as an escape.
  virtual std::string QuoteLiteral(std::string_view text) {
    return sqltext::QuoteLiteral(text, sqltext::Backslash::Unknown);
  }
};

// Opens a database file (or ":memory:"); creates it when missing, unless
// `create` is false: then a missing file is an error record.
std::unique_ptr<Database> OpenSqlite(const std::string& path, bool create = true);
// Opens a server database from a libpq connection text.
std::unique_ptr<Database> OpenPostgres(const std::string& conninfo);
// Opens a database through an ODBC driver from an ODBC connection string.
std::unique_ptr<Database> OpenOdbc(const std::string& connection_string);

}  // namespace backend
}  // namespace tarnlow
