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
#include "tarnlow/value.h"

namespace tarnlow {

namespace backend {
class Database;
class Statement;
}  // namespace backend

class Connection;
class DatabaseConnection;
class Recordset;

// ---- options ---------------------------------------------------------------

#define TARNLOW_CATALOGUE_TABLES(X)                                                                         \
  X(ProductExpenseTable)                                                                                    \
  X(VatMatrixTable)                                                                                         \
  X(ProductUnitTable)                                                                                       \
  X(PriceListTable)                                                                                         \
  X(DiscountTable) X(ProjectAnalysisTable) X(NominalAnalysisTable) X(SupplierInfoTable)                     \
      X(UnitDescriptionTable) X(UnitConversionTable) X(ServiceTable) X(StockCategoryTable) X(BatchTable)    \
          X(StockHistoryTable) X(NominalMovementTable) X(StockTable) X(StockExtensionTable) X(ReceiptTable) \
              X(OrderLineTable) X(OrderHeaderTable) X(OrderLineAnalysisTable) X(VarianceHistoryTable)       \
                  X(OrderFaxTable) X(ProductGroupToleranceTable) X(OrderRateTable)                          \
                      X(VarianceHistoryRateTable) X(OrderLineWeightTable) X(OrderVatStateTable)             \
                          X(RetentionAnalysisTable)

enum class CatalogueTable : std::uint8_t {
#define TARNLOW_ENUM_TABLE(name) name,
  TARNLOW_CATALOGUE_TABLES(TARNLOW_ENUM_TABLE)
#undef TARNLOW_ENUM_TABLE
};
inline constexpr std::size_t CatalogueTableCount = 29;

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
};

TARNLOW_API std::string_view CatalogueTableProperty(CatalogueTable table);
TARNLOW_API std::string_view DefaultTableName(CatalogueTable table);

// ---- table catalogue and system information --------------------------------

class TARNLOW_API TableCatalogue final : public Object {
 public:
  explicit TableCatalogue(const ConnectionOptions& options);
  const ClassInfo& Class() const override;

  const std::string& Name(CatalogueTable table) const;
#define TARNLOW_CATALOGUE_GETTER(name) \
  const std::string& name() const {    \
    return Name(CatalogueTable::name); \
  }
  TARNLOW_CATALOGUE_TABLES(TARNLOW_CATALOGUE_GETTER)
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

// Counts the connection keeps so that callers can see what reached the database.
struct ConnectionStatistics {
  std::int64_t prepares = 0;            // statement texts compiled by the database
  std::int64_t executions = 0;          // statements run (prepared or literal)
  std::int64_t catalogue_requests = 0;  // calls of TableCatalogue()
};

// ---- the open database connection ------------------------------------------

// The open connection to the database: literal statements run here and row
// sets are opened on it.
class TARNLOW_API DatabaseConnection {
 public:
  DatabaseConnection(std::unique_ptr<backend::Database> db, std::string trace);
  ~DatabaseConnection();
  DatabaseConnection(const DatabaseConnection&) = delete;
  DatabaseConnection& operator=(const DatabaseConnection&) = delete;

  // Runs a literal statement; returns the number of rows it changed.
  std::int64_t Execute(std::string_view sql);
  // Compiles a statement once for repeated execution.
  std::shared_ptr<backend::Statement> Prepare(std::string_view sql);
  // Compiles a literal statement that runs once.
  std::shared_ptr<backend::Statement> PrepareLiteral(std::string_view sql);
  backend::Database& Database() { return *db_; }
  const ConnectionStatistics& Statistics() const { return stats_; }
  ConnectionStatistics& MutableStatistics() { return stats_; }
  // Key columns by which a row of the table can be found again for an update.
  const std::vector<std::string>& RowKey(const std::string& table);

 private:
  void Trace(std::string_view sql);

  std::unique_ptr<backend::Database> db_;
  std::string trace_;
  ConnectionStatistics stats_;
  std::map<std::string, std::vector<std::string>> row_keys_;
};

// ---- the connection object ---------------------------------------------------

class TARNLOW_API Connection final : public Object {
 public:
  // An unopened connection object: every use of its database fails.
  Connection();
  explicit Connection(ConnectionOptions options);
  Connection(ConnectionOptions options, std::unique_ptr<backend::Database> db);
  ~Connection() override;
  const ClassInfo& Class() const override;

  // Opens the database a connection text names.
  static std::shared_ptr<Connection> Open(std::string_view text);

  bool IsOpen() const { return db_ != nullptr; }
  const ConnectionOptions& Options() const { return options_; }

  std::int16_t DatabaseKind() const { return options_.kind; }
  std::shared_ptr<tarnlow::TableCatalogue> TableCatalogue();
  std::shared_ptr<tarnlow::SystemInfo> SystemInfo();
  // Raises "Operation is not allowed when the object is closed." when unopened.
  tarnlow::DatabaseConnection& DatabaseConnection();
  // Value conversions for parameters and literal statements.
  Variant TextValue(const std::string& text) const;
  Variant DateValue(const Date& date) const;
  std::string DateLiteral(const Date& date) const;
  Date CurrentTime(bool local = true) const;

  // Runs a literal statement; returns the rows it changed.
  std::int64_t Execute(std::string_view sql);
  // The same for late-bound callers.
  void ExecuteText(const std::string& sql) { Execute(sql); }
  const ConnectionStatistics& Statistics();

 private:
  ConnectionOptions options_;
  std::unique_ptr<tarnlow::DatabaseConnection> db_;
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

// A statement with its declared parameters on a connection; compiled on its
// first execution and re-executed with new values afterwards.
class TARNLOW_API Command {
 public:
  Command();
  ~Command();

  void CommandText(std::string sql);
  const std::string& CommandText() const { return sql_; }
  void CommandType(int type) { command_type_ = type; }
  int CommandType() const { return command_type_; }
  void Prepared(bool prepared) { prepared_ = prepared; }
  bool Prepared() const { return prepared_; }
  void ActiveConnection(std::shared_ptr<Connection> connection);

  void Append(Parameter parameter);
  void ClearParameters();
  std::span<Parameter> Parameters() { return parameters_; }
  // The parameter of that name, letter case ignored; raises "Item cannot be
  // found in the collection..." when there is none.
  Parameter& operator[](std::string_view name);

  // Runs the statement; the row set is positioned on its first row.
  std::shared_ptr<Recordset> Execute();
  // Runs the statement and discards any rows; returns the rows changed.
  std::int64_t ExecuteNoRows();

 private:
  void Compile();
  void Bind();

  std::string sql_;
  int command_type_ = adCmdText;
  bool prepared_ = false;
  std::shared_ptr<Connection> connection_;
  std::vector<Parameter> parameters_;
  std::shared_ptr<backend::Statement> statement_;
  std::shared_ptr<Recordset> last_;
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
// current row: assign fields, then Update.
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
  // All remaining rows as [row][column]; the row set ends at its end.
  std::vector<std::vector<Variant>> GetRows();

  // Changes a field of the current row; Update writes the changes.
  void SetField(std::string_view name, Variant value);
  void Update();

  // A row set over an executed command (forward-only, read-only).
  void AttachExecuted(std::shared_ptr<backend::Statement> statement, bool has_row);

 private:
  friend class Command;
  std::size_t IndexOf(std::string_view name) const;
  std::size_t IndexOfSlow(std::string_view name) const;
  void RequireOpen() const;
  void RequireRow() const;

  tarnlow::DatabaseConnection* connection_ = nullptr;
  std::string source_;
  int cursor_type_ = adOpenForwardOnly;
  int lock_type_ = adLockReadOnly;
  bool open_ = false;
  bool at_end_ = true;
  std::shared_ptr<backend::Statement> statement_;
  // Updatable row sets keep the current row and its pending changes.
  std::vector<Variant> row_;
  std::vector<std::pair<std::size_t, Variant>> pending_;
  // Field positions by lower-case name, built on the first lookup by name
  // for the statement they belong to: copy routines read dozens of fields.
  mutable std::vector<std::pair<std::string, std::size_t>> index_;
  mutable std::weak_ptr<backend::Statement> indexed_;
};

// ---- value converter and row cache -------------------------------------------

class TARNLOW_API ValueConverter {
 public:
  static ValueConverter& Shared();
  // A field's value as text; Null gives empty text.
  std::string FieldText(const Variant& field) const;
  // A field's value as a date; Null and empty text give the zero date.
  Date FieldDate(const Variant& field) const;
  // True when the text holds something other than blanks.
  bool CheckText(const std::string& text) const;
};

class TARNLOW_API RowCache {
 public:
  Variant GetCell(std::int32_t row, std::int32_t column) const;
  void SetCell(std::int32_t row, std::int32_t column, Variant value);
  void Clear();
  void Reshape(std::int32_t, std::int32_t, std::int32_t, std::int32_t columns);
  void AddRows(std::int32_t count);
  // The first row at or after start whose cell in the column equals key, or -1.
  std::int32_t Find(std::int32_t start, std::int32_t column, const Variant& key) const;
  // Orders rows first..last by column 0.
  void Sort(std::int32_t first, std::int32_t last);
  std::int32_t RowCount() const { return static_cast<std::int32_t>(rows_.size()); }
  std::int32_t LastRow() const { return RowCount() - 1; }
  std::int32_t ColumnCount() const { return columns_; }
  void LoadRows(std::vector<std::vector<Variant>> rows);

 private:
  void Check(std::int32_t row, std::int32_t column) const;
  std::int32_t columns_ = 0;
  std::vector<std::vector<Variant>> rows_;
};

}  // namespace tarnlow
