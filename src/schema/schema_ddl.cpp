#include "connection/backend.h"
#include "connection/database_connection.h"
#include "schema/schema.h"
#include "tarnlow/schema.h"

namespace tarnlow {
namespace {

// The type a column has in a layout: kind 2 keeps some dates as date-key text.
schema::ColumnType TypeIn(const schema::Column& c, const schema::Layout& layout, int& size) {
  size = c.size;
  if (c.date_key_on_kind2 && layout.kind == 2) {
    size = 6;
    return schema::ColumnType::Text;
  }
  return c.type;
}

std::string ColumnDefinition(const schema::Column& c, const schema::Layout& layout,
                             std::string_view dialect) {
  const bool sqlite = dialect == "sqlite";
  std::string out(c.name);
  int size = 0;
  const schema::ColumnType type = TypeIn(c, layout, size);
  switch (type) {
    case schema::ColumnType::Text: {
      const std::string name(c.name), width = std::to_string(size);
      out += " VARCHAR(" + width + ") DEFAULT ''";
      // SQLite does not hold a text to its declared length by itself. Blanks
      // past the width pass here and are cut by the table's trigger, as a
      // server cuts them from fixed-width text; anything else is refused.
      // The length test comes first so that a text that fits costs no more.
      if (sqlite)
        out += " CONSTRAINT \"" + name + " longer than " + width + " characters\" CHECK (length(" + name +
               ") <= " + width + " OR rtrim(substr(" + name + ", " + std::to_string(size + 1) +
               "), ' ') = '')";
      break;
    }
    case schema::ColumnType::Number: out += sqlite ? " REAL DEFAULT 0" : " DOUBLE PRECISION DEFAULT 0"; break;
    case schema::ColumnType::Integer: out += " INTEGER DEFAULT 0"; break;
    case schema::ColumnType::Date: out += sqlite ? " DATETIME" : " TIMESTAMP"; break;
  }
  return out;
}

schema::Layout LayoutOf(const ConnectionOptions& options) {
  return schema::Layout{options.kind, options.release, options.extended};
}

bool HasDialect(std::string_view dialect) {
  return dialect == "sqlite" || dialect == "postgresql";
}

// A database reached through a driver may be of a kind whose column types
// we do not write; its tables are the site's own business.
[[noreturn]] void NoDialect(std::string_view dialect, const std::string& missing) {
  throw Error(DbFailure, ConnectionSource,
              "No table definitions for a database of type \"" + std::string(dialect) +
                  "\" (only SQLite and PostgreSQL): create the missing tables (" + missing +
                  ") with the database's own tools");
}

// SQLite's triggers that cut text columns to their width after an insert or
// an update of them; the CHECK constraints have let through only trailing
// blanks beyond it. Nothing when the table has no text column. A statement
// that fires one compiles it along with itself, so statements run often are
// compiled once (prepared holders, the connection's reused row-set updates).
std::vector<std::string> FitTriggers(const schema::Table& t, const schema::Layout& layout,
                                     const std::string& name) {
  std::string when, set, columns;
  for (const schema::Column& c : t.columns) {
    if (!schema::Applies(c.when, layout)) continue;
    int size = 0;
    if (TypeIn(c, layout, size) != schema::ColumnType::Text) continue;
    const std::string column(c.name), width = std::to_string(size);
    if (!when.empty()) when += " OR ", set += ", ", columns += ", ";
    when += "length(NEW." + column + ") > " + width;
    set += column + " = substr(" + column + ", 1, " + width + ")";
    columns += column;
  }
  if (when.empty()) return {};
  const std::string body = " ON " + name + " WHEN " + when + " BEGIN UPDATE " + name + " SET " + set +
                           " WHERE rowid = NEW.rowid; END";
  return {"CREATE TRIGGER IF NOT EXISTS " + name + "_fit_insert AFTER INSERT" + body,
          "CREATE TRIGGER IF NOT EXISTS " + name + "_fit_update AFTER UPDATE OF " + columns + body};
}

}  // namespace

std::vector<std::string> CreateTableStatements(const ConnectionOptions& options, CatalogueTable table,
                                               std::string_view dialect) {
  const std::string name = options.TableName(table);
  if (!HasDialect(dialect)) NoDialect(dialect, name);
  const schema::Table& t = schema::Tables()[static_cast<std::size_t>(table)];
  const schema::Layout layout = LayoutOf(options);
  // Every statement may meet what a concurrent init has just made.
  std::string create = "CREATE TABLE IF NOT EXISTS " + name + " (";
  bool first = true;
  for (const schema::Column& c : t.columns) {
    if (!schema::Applies(c.when, layout)) continue;
    create += first ? "\n  " : ",\n  ";
    create += ColumnDefinition(c, layout, dialect);
    first = false;
  }
  create += "\n)";
  std::vector<std::string> out{create};
  int n = 0;
  for (const schema::UniqueKey& k : t.unique_keys) {
    if (!schema::Applies(k.when, layout)) continue;
    std::string index =
        "CREATE UNIQUE INDEX IF NOT EXISTS " + name + "_key" + std::to_string(++n) + " ON " + name + " (";
    for (std::size_t i = 0; i < k.columns.size(); ++i) {
      if (i) index += ", ";
      index += k.columns[i];
    }
    out.push_back(index + ")");
  }
  if (dialect == "sqlite")
    for (std::string& trigger : FitTriggers(t, layout, name)) out.push_back(std::move(trigger));
  return out;
}

namespace {

// Holds off every other init of the same database while one looks for the
// missing tables and makes them, so that concurrent inits agree on what is
// there and none meets a table or index half made: SQLite's write lock
// (taken at once, waiting its turn under the busy timeout), a server's
// advisory lock. Released when the work ends, whether it failed or not.
class InitLock {
 public:
  explicit InitLock(backend::Database& db) : db_(db), sqlite_(db.Dialect() == "sqlite") {
    if (sqlite_)
      db_.ExecuteScript("BEGIN IMMEDIATE");
    else if (db_.Dialect() == "postgresql")
      db_.ExecuteScript("select pg_advisory_lock(" + std::string(kKey) + ")");
  }
  InitLock(const InitLock&) = delete;
  InitLock& operator=(const InitLock&) = delete;
  ~InitLock() {
    if (!held_) return;
    try {
      Release(false);
    } catch (const Error&) {
      // The failure that ended the work is the one reported.
    }
  }
  void Commit() { Release(true); }

 private:
  // "tarnlow" as a number: the key every init of this library takes.
  static constexpr const char* kKey = "32758241405202295";

  void Release(bool commit) {
    held_ = false;
    if (sqlite_)
      db_.ExecuteScript(commit ? "COMMIT" : "ROLLBACK");
    else if (db_.Dialect() == "postgresql")
      db_.ExecuteScript("select pg_advisory_unlock(" + std::string(kKey) + ")");
  }

  backend::Database& db_;
  bool sqlite_;
  bool held_ = true;
};

}  // namespace

SchemaReport CreateMissingTables(Connection& connection) {
  SchemaReport report;
  backend::Database& db = connection.DatabaseConnection().Database();
  InitLock lock(db);
  std::string script;  // one script, so that a server needs one round trip
  std::vector<CatalogueTable> missing;
  for (std::size_t i = 0; i < CatalogueTableCount; ++i) {
    const auto table = static_cast<CatalogueTable>(i);
    const std::string name = connection.Options().TableName(table);
    if (db.TableExists(name)) {
      report.existing.push_back(name);
    } else {
      missing.push_back(table);
      report.created.push_back(name);
    }
  }
  if (!missing.empty() && !HasDialect(db.Dialect())) {
    std::string names;
    for (const std::string& name : report.created) names += (names.empty() ? "" : ", ") + name;
    NoDialect(db.Dialect(), names);
  }
  for (const CatalogueTable table : missing)
    for (const std::string& s : CreateTableStatements(connection.Options(), table, db.Dialect()))
      script += s + ";\n";
  if (!script.empty()) db.ExecuteScript(script);
  lock.Commit();
  return report;
}

}  // namespace tarnlow
