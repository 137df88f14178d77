// The connection services every table object works through: the connection
// object with its table catalogue and system information, the open database
// connection, statement holders with their commands and named parameters,
// row sets, the value converter and the row cache. Database client headers
// stay out of this file; each backend lives behind one internal seam.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tarnlow/object.h"
#include "tarnlow/tables.h"
#include "tarnlow/value.h"

namespace tarnlow {

struct ColumnInfo;

class Connection;
// The open database connection and a statement the database has compiled:
// the connection layer's own, which clients only hand back to it.
class DatabaseConnection;
class CompiledStatement;
class Recordset;

// ---- options ---------------------------------------------------------------

// Everything a connection text says, checked before anything is opened.
struct TARNLOW_API ConnectionOptions {
  enum class Backend { SQLite, PostgreSQL, ODBC };
  Backend backend = Backend::SQLite;
  // SQLite file path (or ":memory:"), the libpq URI or the ODBC connection
  // string, without our options
  std::string target;
  std::int16_t kind = 1;
  std::int16_t release = 8;
  bool extended = true;
  std::string version = "2.3";
  bool dual_rate = false;
  std::string trace;                             // "" none, "-" standard error, else a file to append to
  std::map<CatalogueTable, std::string> tables;  // physical names that differ from the defaults

  // "sqlite:PATH[?opt=v&...]", "postgresql://...[?...]" or
  // "odbc:DSN=...;...[?opt=v&...]" (or "odbc:DRIVER={...};..."); raises an
  // error record naming the first bad part.
  static ConnectionOptions Parse(std::string_view text);
  std::string TableName(CatalogueTable table) const;
  // Raises the error record of a target or trace that cannot be used: one
  // holding a NUL character, or a trace file that cannot be opened for
  // appending (which is created if missing). Opening a connection calls it
  // before the database is opened.
  void CheckBeforeOpen() const;
};

TARNLOW_API std::string_view CatalogueTableProperty(CatalogueTable table);
TARNLOW_API std::string_view DefaultTableName(CatalogueTable table);

// ---- table catalogue and system information --------------------------------

class TARNLOW_API TableCatalogue final : public Object {
 public:
  explicit TableCatalogue(const ConnectionOptions& options);
  const ClassInfo& Class() const override;

  const std::string& Name(CatalogueTable table) const;
#define TARNLOW_CATALOGUE_GETTER(name, default_name) \
  const std::string& name() const {                  \
    return Name(CatalogueTable::name);               \
  }
  TARNLOW_TABLES(TARNLOW_CATALOGUE_GETTER)
#undef TARNLOW_CATALOGUE_GETTER

 private:
  std::vector<std::string> names_;
};

class TARNLOW_API SystemInfo final : public Object {
 public:
  explicit SystemInfo(const ConnectionOptions& options);
  const ClassInfo& Class() const override;

  bool DualRateOption() const { return dual_rate_; }
  std::int16_t ReleaseNumber() const { return release_; }
  bool ExtendedLayout() const { return extended_; }
  const std::string& VersionText() const { return version_; }

 private:
  bool dual_rate_;
  std::int16_t release_;
  bool extended_;
  std::string version_;
};

// ---- the connection object ---------------------------------------------------

class TARNLOW_API Connection final : public Object {
 public:
  // An unopened connection object: every use of its database fails.
  Connection();
  explicit Connection(ConnectionOptions options);
  // Over a database connection the connection layer has opened (null: an
  // unopened connection object with these options).
  Connection(ConnectionOptions options, std::shared_ptr<tarnlow::DatabaseConnection> db);
  ~Connection() override;
  const ClassInfo& Class() const override;

  // Opens the database a connection text names.
  static std::shared_ptr<Connection> Open(std::string_view text);

  bool IsOpen() const { return db_ != nullptr; }
  const ConnectionOptions& Options() const { return options_; }

  std::int16_t DatabaseKind() const { return options_.kind; }
  // Both raise "Operation is not allowed when the object is closed." when
  // unopened.
  std::shared_ptr<tarnlow::TableCatalogue> TableCatalogue();
  std::shared_ptr<tarnlow::SystemInfo> SystemInfo();
  // Raises "Operation is not allowed when the object is closed." when unopened.
  tarnlow::DatabaseConnection& DatabaseConnection() {
    if (!db_) RaiseRuntime(err::ObjectClosed);
    return *db_;
  }
  // Value conversions for parameters and literal statements.
  Variant TextValue(const std::string& text) const;
  Variant DateValue(const Date& date) const;
  std::string DateLiteral(const Date& date) const;
  // The text between apostrophes as this connection's database reads it
  // (DatabaseConnection::QuoteLiteral); raises when unopened, and for a text
  // that the session's settings would let out of its literal.
  std::string QuoteLiteral(std::string_view text);
  Date CurrentTime(bool local = true) const;

  // Runs a literal statement; returns the rows it changed.
  std::int64_t Execute(std::string_view sql);
  // The same for late-bound callers.
  void ExecuteText(const std::string& sql) { Execute(sql); }

 private:
  ConnectionOptions options_;
  std::shared_ptr<tarnlow::DatabaseConnection> db_;
  std::shared_ptr<tarnlow::TableCatalogue> catalogue_;
  std::shared_ptr<tarnlow::SystemInfo> system_;
};

// ---- commands and statement holders ------------------------------------------

enum class ParameterType : std::uint8_t { Text, Number, Date };

struct Parameter {
  std::string name;
  ParameterType type;
  std::int32_t size;  // text only
  Variant value;
};

inline constexpr int adCmdText = 1;
inline constexpr int adCmdTable = 2;
inline constexpr int adCmdUnknown = 8;

// A statement with its declared parameters on a connection. A prepared
// command is compiled on its first execution and re-executed with new
// values afterwards; one that is not is compiled for each execution.
class TARNLOW_API Command {
 public:
  Command();
  ~Command();
  // Parameters may be tied to the text of the object that owns the command
  // (below), which a copy would not belong to.
  Command(const Command&) = delete;
  Command& operator=(const Command&) = delete;

  void CommandText(std::string sql);
  const std::string& CommandText() const { return sql_; }
  // adCmdText (or adCmdUnknown): the text is a statement; adCmdTable: the
  // text names a table whose rows the command reads. Any other type raises
  // "Arguments are of the wrong type...".
  void CommandType(int type);
  int CommandType() const { return command_type_; }
  // True (the default: statement holders exist to prepare once) keeps the
  // compiled statement for later executions.
  void Prepared(bool prepared);
  bool Prepared() const { return prepared_; }
  void ActiveConnection(std::shared_ptr<Connection> connection);

  void Append(Parameter parameter);
  void ClearParameters();
  std::span<Parameter> Parameters();
  // The parameter of that name, letter case ignored; raises "Item cannot be
  // found in the collection..." when there is none. Values are set in the
  // same order run after run, so the k-th lookup since the last run first
  // tries what the k-th found the run before, spelt exactly as asked.
  Parameter& operator[](std::string_view name) {
    const std::size_t k = lookups_++;
    if (k < found_.size()) {
      const std::size_t i = found_[k].index;
      Parameter& p = parameters_[i];
      if (p.name == name) {
        Reach(i);
        return p;
      }
    }
    return Find(name, k);
  }

  // Runs the statement; the row set is positioned on its first row. A text
  // value holding a NUL character is refused before anything runs.
  std::shared_ptr<Recordset> Execute();
  // The same for a caller that reads the first row only: the rows after it
  // may be left unread.
  std::shared_ptr<Recordset> ExecuteForFirstRow();
  // Runs the statement and discards any rows; returns the rows changed.
  std::int64_t ExecuteNoRows() { return RunNoRows(true); }
  // The same for a caller that does not ask how many rows changed, which
  // some databases make a client work out from the server's answer.
  void ExecuteNoCount() { RunNoRows(false); }

 private:
  TARNLOW_LOCAL void Compile();
  TARNLOW_LOCAL void CompileAndBind();
  TARNLOW_LOCAL std::size_t FindIndex(std::string_view name, std::size_t k);
  Parameter& Find(std::string_view name, std::size_t k);
  TARNLOW_LOCAL std::string StatementText() const;
  // The parameter named after a declared column. Once a lookup has found
  // it by name, the same lookup of the next run knows it by the
  // declaration, which lives as long as the program, without comparing
  // names. Class code never renames a parameter.
  Parameter& Declared(const tables::Column& column) {
    const std::size_t i = DeclaredIndex(column);
    Reach(i);
    return parameters_[i];
  }
  std::size_t DeclaredIndex(const tables::Column& column) {
    const std::size_t k = lookups_++;
    if (k < found_.size() && found_[k].column == &column) return found_[k].index;
    return FindDeclared(column, k);
  }
  std::size_t FindDeclared(const tables::Column& column, std::size_t k);

  // ---- values set by class code ----
  // Class code sets every parameter before each run, most of them from the
  // properties of the object that owns the command, and two things spare
  // the copies in between:
  // - A parameter set from a text property is tied to it: the run reads the
  //   text where the property keeps it. The parameter's own value is written
  //   from the property only when something else reaches the parameter (a
  //   lookup by name, the list of parameters, Declared), which unties it.
  //   The property belongs to the object the command belongs to, so it is
  //   there as long as the tie.
  // - In a pass, each value is bound to the compiled statement as soon as it
  //   is set; the run that follows binds nothing again when the pass bound
  //   every parameter and nothing reached a parameter or the statement
  //   since. Only a prepared statement compiled already is bound so, so that
  //   a failure to compile still comes from the run.
  const std::string* TiedText(std::size_t i) const { return i < tied_.size() ? tied_[i] : nullptr; }
  void Tie(std::size_t i, const std::string& text) { Ties()[i] = &text; }
  // Room for a tie to every parameter.
  const std::string** Ties() {
    if (tied_.size() != parameters_.size()) tied_.resize(parameters_.size());
    return tied_.data();
  }
  // For a value about to be written whole: the tie goes without a copy.
  Parameter& Untied(std::size_t i) {
    if (i < tied_.size()) tied_[i] = nullptr;
    return parameters_[i];
  }
  // Any other way to a parameter: its value is made whole first, and a
  // pass or a binding made in one no longer counts.
  void Reach(std::size_t i) {
    Forget();
    if (TiedText(i) != nullptr) Untie(i);
  }
  void Untie(std::size_t i);
  // A pass counts only on a statement compiled for the parameters as they
  // are; PassStatement is the statement to bind into while it counts, null
  // otherwise, and the run binds as usual.
  TARNLOW_LOCAL void BeginPass();
  CompiledStatement* PassStatement() const { return pass_open_ ? statement_.get() : nullptr; }
  // 1 the first time the pass binds parameter i, 0 after.
  std::size_t Stamp(std::size_t i) {
    if (stamps_[i] == pass_) return 0;
    stamps_[i] = pass_;
    return 1;
  }
  void EndPass(std::size_t bound) {
    bound_ = pass_open_ && bound == parameters_.size();
    pass_open_ = false;
  }
  void Forget() {
    bound_ = false;
    pass_open_ = false;
  }
  // The statement or its parameters changed: no pass counts until the
  // statement is compiled again, and the plan is made again.
  void Changed() {
    Forget();
    passable_ = false;
    plan_list_ = nullptr;
  }
  // The command's own row set after the run, valid until the next run.
  // Class reads use it in place, so that a read costs no reference counting.
  // In place, the row is read from the database where it lies: the caller
  // copies the first row and closes the row set before anything else runs.
  friend class TableObject;
  enum class Rows : std::uint8_t { All, First, FirstInPlace };
  Recordset& Run(Rows rows);
  // The rows changed when `count` asks for them, 0 otherwise.
  std::int64_t RunNoRows(bool count);

  std::string sql_;
  int command_type_ = adCmdText;
  bool prepared_ = true;
  std::shared_ptr<Connection> connection_;
  std::vector<Parameter> parameters_;
  std::shared_ptr<CompiledStatement> statement_;
  int placeholders_ = 0;  // the statement's
  std::shared_ptr<Recordset> last_;
  std::size_t next_ = 0;  // where the next lookup by name starts: values are set in declared order
  // The parameter that the k-th lookup by name since the last run found;
  // none is kept while two parameters share a name. Class code sets values
  // in the same order on every run, often not the declared one (an update's
  // key comes last in the statement but first among the columns).
  struct Found {
    std::uint32_t index;
    const tables::Column* column;  // the declaration it was found for; null when found by name
  };
  std::vector<Found> found_;
  std::size_t lookups_ = 0;
  bool unique_names_ = true;
  std::vector<const std::string*> tied_;  // per parameter once one is tied; empty before
  std::vector<std::uint32_t> stamps_;     // per parameter: the last pass that bound it
  // The parameter of each entry of the property list that a pass over the
  // object's own command last set whole, kept when the list names every
  // parameter exactly once and lasts as long as the program: a pass over
  // the same list then finds each parameter without a lookup, counts each
  // binding without a stamp, and reads a text, double or date property
  // where the object keeps it. The object owns the command, so its
  // properties stay where they are as long as the plan.
  struct PlanStep {
    const ColumnInfo* entry;  // null for an entry that is no column
    const void* field;        // the property's storage, for Text, Number and Date
    std::uint32_t index;
    enum How : std::uint8_t { None, Text, Number, Date, General } how;
  };
  const void* plan_list_ = nullptr;  // the list planned; only ever compared
  bool plan_dates_as_is_ = false;
  bool plan_texts_ = false;  // some step is a text
  std::vector<PlanStep> plan_;
  std::uint32_t pass_ = 0;
  // The object whose statement holder the command is, which outlives a tie
  // to its properties; only ever compared.
  const void* owner_ = nullptr;
  // A pass can count: the statement is prepared and compiled, its
  // parameters' names are unique, and it has one placeholder for each.
  bool passable_ = false;
  bool pass_open_ = false;
  bool bound_ = false;  // the pass before the next run bound every parameter
};

class TARNLOW_API StatementHolder {
 public:
  StatementHolder();

  bool Prepared() const { return prepared_; }
  void Prepared(bool prepared) { prepared_ = prepared; }
  const std::string& SQL() const { return command_.CommandText(); }
  void SQL(std::string sql) { command_.CommandText(std::move(sql)); }
  const std::shared_ptr<tarnlow::Connection>& Connection() const { return connection_; }
  void Connection(std::shared_ptr<tarnlow::Connection> connection);
  tarnlow::Command& Command() { return command_; }

  void AddTextParameter(std::string_view name, std::int32_t size);
  void AddNumberParameter(std::string_view name);
  void AddDateParameter(std::string_view name);
  // Give a declared parameter its value, converted as the connection's
  // TextValue and DateValue convert property values.
  void SetTextValue(std::string_view name, const std::string& value);
  void SetNumberValue(std::string_view name, double value);
  void SetDateValue(std::string_view name, const Date& value);
  void ClearParameters();
  // The default member: gives the named parameter a new value.
  void operator()(std::string_view name, Variant value);

 private:
  bool prepared_ = false;
  std::shared_ptr<tarnlow::Connection> connection_;
  tarnlow::Command command_;
};

// ---- row sets ------------------------------------------------------------------

enum CursorTypeEnum : int { adOpenForwardOnly = 0, adOpenKeyset = 1, adOpenDynamic = 2, adOpenStatic = 3 };
enum LockTypeEnum : int { adLockReadOnly = 1, adLockPessimistic = 2, adLockOptimistic = 3 };
inline constexpr int adStateClosed = 0;
inline constexpr int adStateOpen = 1;

// Rows of one statement, read forwards field by field. A row set opened on a
// literal statement with a lock type other than read-only can change its
// current row: assign fields, then Update. The rows are all read when the
// statement runs (a client-side cursor), and the row set shares ownership of
// its database connection, so it outlives the connection object it came from.
class TARNLOW_API Recordset {
 public:
  Recordset();
  ~Recordset();
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  void ActiveConnection(tarnlow::DatabaseConnection& connection);
  void Source(std::string sql);
  const std::string& Source() const { return source_; }
  void CursorType(int type);
  int CursorType() const { return cursor_type_; }
  void LockType(int type);
  int LockType() const { return lock_type_; }

  // Opens Source on the active connection as a literal statement.
  void Open();
  void Open(std::string sql, tarnlow::DatabaseConnection& connection, int cursor_type, int lock_type);
  int State() const { return open_ ? adStateOpen : adStateClosed; }
  void Close();

  bool AtEOF() const;  // end of rows (the row set's EOF)
  void MoveNext();
  std::size_t FieldCount() const;
  const std::string& FieldName(std::size_t index) const;
  // The current row's value of a field, by name with letter case ignored.
  Variant Fields(std::string_view name) const;
  Variant Fields(std::size_t index) const;
  // The same value, valid until the next call on this row set: copy
  // routines read it into their properties without a copy of their own.
  const Variant& Field(std::string_view name) const;
  // The same by a column's declaration, found as CopyCells finds it.
  const Variant& Field(const tables::Column& column) const;
  // Stores the field of each entry's declared column in its typed property,
  // in order, as AssignConverted stores Field's value: a failing conversion
  // leaves the later properties as they were. Text and numbers go straight
  // from the database's row into the property where the database holds
  // them there. Each column is found by its name once per statement, and
  // then by its declaration; once the columns are where they were on the
  // row before, the statement copies its cells in one call.
  void CopyCells(std::span<const CellCopy> cells) const;
  // All remaining rows as [row][column]; the row set ends at its end.
  std::vector<std::vector<Variant>> GetRows();
  // The same rows as one array, row after row, FieldCount() cells apiece:
  // rows the database layer already holds are handed over, not copied.
  std::vector<Variant> GetCells();

  // Changes a field of the current row; Update writes the changes.
  void SetField(std::string_view name, Variant value);
  // The same by a column's declaration, found as CopyCells finds it.
  void SetField(const tables::Column& column, Variant value);
  void Update();

 private:
  friend class Command;
  // A row set over an executed command (forward-only, read-only).
  TARNLOW_LOCAL void AttachExecuted(const std::shared_ptr<CompiledStatement>& statement, bool has_row,
                                    tarnlow::DatabaseConnection& connection);
  TARNLOW_LOCAL std::size_t IndexOf(std::string_view name) const;
  TARNLOW_LOCAL void BuildIndex() const;
  // The statement's current row has no copy of its own here.
  bool Direct() const { return pending_.empty() && written_.empty(); }
  // A value set on the current row and not yet written, or else written by
  // Update; null when the row holds the value it was read with.
  TARNLOW_LOCAL const Variant* Changed(std::size_t index) const;
  TARNLOW_LOCAL const Variant& FieldAt(std::size_t index) const;
  // Copy routines ask for the same columns in the same order row after
  // row, not always the statement's: the k-th lookup on a row first tries
  // where the k-th lookup on the row before found its column.
  std::size_t Position(const tables::Column& column) const {
    RequireRow();
    const std::size_t k = lookups_++;
    if (indexed_ && k < sequence_.size()) {
      const std::size_t at = sequence_[k];
      if (at < declared_.size() && declared_[at] == &column) return at;
    }
    return Reposition(column, k);
  }
  TARNLOW_LOCAL std::size_t Reposition(const tables::Column& column, std::size_t k) const;
  // One entry of CopyCells, found by itself and copied on its own.
  TARNLOW_LOCAL void CopyCell(const CellCopy& cell) const;
  TARNLOW_LOCAL std::size_t Locate(const tables::Column& column) const;
  TARNLOW_LOCAL void Attach(const std::shared_ptr<CompiledStatement>& statement);
  void RequireOpen() const {
    if (!open_) RaiseRuntime(err::ObjectClosed);
  }
  void RequireRow() const {
    RequireOpen();
    if (at_end_) RaiseRuntime(err::NoCurrentRecord);
  }

  std::shared_ptr<tarnlow::DatabaseConnection> connection_;
  std::string source_;
  int cursor_type_ = adOpenForwardOnly;
  int lock_type_ = adLockReadOnly;
  bool open_ = false;
  bool at_end_ = true;
  std::shared_ptr<CompiledStatement> statement_;
  // Over a command's statement: the command holds the statement anyway, so
  // closing keeps the reference for the next run to find in place.
  bool attached_ = false;
  // Updatable row sets: the changes set on the current row, and those
  // Update has written into it.
  std::vector<std::pair<std::size_t, Variant>> pending_;
  std::vector<std::pair<std::size_t, Variant>> written_;
  // Update's statement text and key positions, built again on each update
  // in storage kept from the last one.
  std::string update_sql_;
  std::vector<std::size_t> update_keys_;
  // Field positions by name, letter case ignored, built on the first lookup
  // by name for the statement they belong to: copy routines read dozens of
  // fields. The lower-case names in column order, (hash, position) pairs
  // sorted, the spelling last asked for at each column, and the column
  // after the one found last.
  mutable std::vector<std::string> names_;
  mutable std::vector<std::pair<std::size_t, std::size_t>> index_;
  mutable std::shared_ptr<const void> layout_;  // the statement's, as the index was last found to fit
  mutable std::vector<std::string> asked_;
  mutable std::size_t next_field_ = 0;
  // The declaration last found at each column: copy routines name columns
  // by their declarations, which live as long as the program.
  mutable std::vector<const tables::Column*> declared_;
  // The column the k-th lookup by declaration found on the last row read,
  // and the lookups on the current row.
  mutable std::vector<std::uint32_t> sequence_;
  mutable std::size_t lookups_ = 0;
  mutable bool unique_names_ = true;
  mutable bool indexed_ = false;  // the index is the statement's; cleared when the statement changes
  mutable Variant field_;         // what Field gives, refilled in place
};

// ---- value converter and row cache -------------------------------------------

class TARNLOW_API ValueConverter {
 public:
  static ValueConverter& Shared();
  // A field's value as text; Null gives empty text.
  std::string FieldText(const Variant& field) const;
  // A field's value as a date; Null and empty text give the zero date.
  Date FieldDate(const Variant& field) const;
  // The blank test: True when the text is empty or holds only blanks (spaces,
  // tabs, line ends). Callers ask it whether a value is missing.
  bool CheckText(const std::string& text) const;
};

// Cells by row and column, both counted from 0, for whole-table caches.
// Find answers from a hash index over the searched column: built when rows
// are loaded or sorted (or, for a column filled cell by cell, on its first
// Find) and kept right by every later change, so that a lookup costs the same
// whether the cache holds ten rows or a hundred thousand.
class TARNLOW_API RowCache {
 public:
  RowCache();
  ~RowCache();
  RowCache(const RowCache& other);
  RowCache& operator=(const RowCache& other);
  RowCache(RowCache&&) noexcept;
  RowCache& operator=(RowCache&&) noexcept;

  Variant GetCell(std::int32_t row, std::int32_t column) const;
  void SetCell(std::int32_t row, std::int32_t column, Variant value);
  void Clear();
  void Reshape(std::int32_t, std::int32_t, std::int32_t, std::int32_t columns);
  void AddRows(std::int32_t count);
  // The lowest row at or after start whose cell in the column equals key
  // (same type and value; text compared exactly, letter case included), or -1.
  std::int32_t Find(std::int32_t start, std::int32_t column, const Variant& key) const;
  // Orders rows first..last by column 0; rows with equal keys keep their
  // order. A range that does not fit the rows is left alone.
  void Sort(std::int32_t first, std::int32_t last);
  std::int32_t RowCount() const { return rows_; }
  std::int32_t LastRow() const { return RowCount() - 1; }
  std::int32_t ColumnCount() const { return columns_; }
  // Replaces the contents with the rows of a fetched array (all rows the
  // same length); a ragged array raises error 9 and changes nothing.
  void LoadRows(std::vector<std::vector<Variant>> rows);
  // Replaces the contents with `cells`, row after row, `columns` apiece, as
  // Recordset::GetCells gives them; the cells are taken, not copied. A count
  // of cells that is no whole number of rows raises error 9 and changes
  // nothing. Nothing is indexed until a Sort or Find.
  void LoadCells(std::vector<Variant> cells, std::int32_t columns);

 private:
  class Index;
  TARNLOW_LOCAL void Check(std::int32_t row, std::int32_t column) const;
  const Variant& Cell(std::int32_t row, std::int32_t column) const {
    return cells_[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) +
                  static_cast<std::size_t>(column)];
  }
  TARNLOW_LOCAL void DropIndexes();
  TARNLOW_LOCAL void BuildIndex(std::int32_t column) const;

  std::int32_t columns_ = 0;
  std::int32_t rows_ = 0;
  std::vector<Variant> cells_;  // row after row
  // One per column, null until that column is indexed.
  mutable std::vector<std::unique_ptr<Index>> indexes_;
};

}  // namespace tarnlow
