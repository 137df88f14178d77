// The connection object a client opens and hands to its table objects, with
// its table catalogue and system information; database client headers stay
// behind the connection layer's internal seam.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tarnlow/object.h"
#include "tarnlow/tables.h"
#include "tarnlow/value.h"

namespace tarnlow {

struct ColumnInfo;

class Connection;
class DatabaseConnection;  // the connection layer's own, only handed back

// Everything a connection text says, checked before anything is opened.
struct TARNLOW_API ConnectionOptions {
  enum class Backend { SQLite, PostgreSQL, ODBC };
  Backend backend = Backend::SQLite;
  // The file path, libpq URI or ODBC connection string, without our options
  std::string target;
  std::int16_t kind = 1;
  std::int16_t release = 8;
  bool extended = true;
  std::string version = "2.3";
  bool dual_rate = false;
  std::string trace;                             // "" none, "-" standard error, else a file to append to
  std::map<CatalogueTable, std::string> tables;  // physical names that differ from the defaults

  // "sqlite:PATH[?opt=v&...]", "postgresql://...[?...]" or "odbc:...[?...]";
  // raises an error record naming the first bad part.
  static ConnectionOptions Parse(std::string_view text);
  std::string TableName(CatalogueTable table) const;
  // Before opening: raises for a target or trace holding a NUL, or a trace
  // file that cannot be opened for appending (created if missing).
  void CheckBeforeOpen() const;
};

TARNLOW_API std::string_view CatalogueTableProperty(CatalogueTable table);
TARNLOW_API std::string_view DefaultTableName(CatalogueTable table);

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
  explicit SystemInfo(const ConnectionOptions& options) : options_(options) {}
  const ClassInfo& Class() const override;

  bool DualRateOption() const { return options_.dual_rate; }
  std::int16_t ReleaseNumber() const { return options_.release; }
  bool ExtendedLayout() const { return options_.extended; }
  const std::string& VersionText() const { return options_.version; }

 private:
  ConnectionOptions options_;
};

class TARNLOW_API Connection final : public Object {
 public:
  // An unopened connection object: every use of its database fails.
  Connection();
  explicit Connection(ConnectionOptions options);
  // Over an opened database connection (null: unopened, with these options).
  Connection(ConnectionOptions options, std::shared_ptr<tarnlow::DatabaseConnection> db);
  ~Connection() override;
  const ClassInfo& Class() const override;

  static std::shared_ptr<Connection> Open(std::string_view text);

  bool IsOpen() const { return db_ != nullptr; }
  const ConnectionOptions& Options() const { return options_; }

  std::int16_t DatabaseKind() const { return options_.kind; }
  // These three raise 3704 (the object is closed) when unopened.
  std::shared_ptr<tarnlow::TableCatalogue> TableCatalogue();
  std::shared_ptr<tarnlow::SystemInfo> SystemInfo();
  tarnlow::DatabaseConnection& DatabaseConnection() {
    if (!db_) RaiseRuntime(err::ObjectClosed);
    return *db_;
  }
  // Value conversions for parameters and literal statements.
  Variant TextValue(const std::string& text) const { return Variant(text); }
  Variant DateValue(const Date& date) const { return Variant(date); }
  std::string DateLiteral(const Date& date) const { return "'" + date.ToIso() + "'"; }
  // The text as a literal of this database (DatabaseConnection::QuoteLiteral).
  std::string QuoteLiteral(std::string_view text);
  Date CurrentTime(bool local = true) const;

  // Runs a literal statement; returns the rows it changed.
  std::int64_t Execute(std::string_view sql);
  void ExecuteText(const std::string& sql) { Execute(sql); }
  // The client's own transactions, so that a receipt or an order lands whole
  // or not at all: BeginTrans returns the level it opened (1 for the
  // outermost; inner levels are savepoints), CommitTrans and RollbackTrans
  // end the innermost. Inside one, a failing statement undoes only itself,
  // so the library's retries work there as outside. Letting go of the
  // connection with one open rolls it back.
  std::int32_t BeginTrans();
  void CommitTrans();
  void RollbackTrans();

 private:
  ConnectionOptions options_;
  std::shared_ptr<tarnlow::DatabaseConnection> db_;
  std::shared_ptr<tarnlow::TableCatalogue> catalogue_;
  std::shared_ptr<tarnlow::SystemInfo> system_;
};

}  // namespace tarnlow
