// The connection object a client opens and hands to its table objects, with
// its table catalogue and system information. Statements run through
// commands (tarnlow/command.h) and read through row sets
// (tarnlow/recordset.h); database client headers stay out of every public
// header, behind the connection layer's one internal seam.
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
// The open database connection: the connection layer's own, which clients
// only hand back to it.
class DatabaseConnection;

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

}  // namespace tarnlow
