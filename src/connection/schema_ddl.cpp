#include "connection/backend.h"
#include "connection/schema.h"
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
      if (sqlite)
        out += " CONSTRAINT \"" + name + " longer than " + width + " characters\" CHECK (length(rtrim(" +
               name + ", ' ')) <= " + width + ")";
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

// SQLite's triggers that cut text columns to their width after an insert or
// an update of them; the CHECK constraints have let through only trailing
// blanks beyond it. Nothing when the table has no text column.
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
  const std::string body =
      " ON " + name + " WHEN " + when + " BEGIN UPDATE " + name + " SET " + set + " WHERE rowid = NEW.rowid; END";
  return {"CREATE TRIGGER " + name + "_fit_insert AFTER INSERT" + body,
          "CREATE TRIGGER " + name + "_fit_update AFTER UPDATE OF " + columns + body};
}

}  // namespace

std::vector<std::string> CreateTableStatements(const ConnectionOptions& options, CatalogueTable table,
                                               std::string_view dialect) {
  const schema::Table& t = schema::Tables()[static_cast<std::size_t>(table)];
  const schema::Layout layout = LayoutOf(options);
  const std::string name = options.TableName(table);
  std::string create = "CREATE TABLE " + name + " (";
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
    std::string index = "CREATE UNIQUE INDEX " + name + "_key" + std::to_string(++n) + " ON " + name + " (";
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

SchemaReport CreateMissingTables(Connection& connection) {
  SchemaReport report;
  backend::Database& db = connection.DatabaseConnection().Database();
  std::string script;  // one script, so that a server needs one round trip
  for (std::size_t i = 0; i < CatalogueTableCount; ++i) {
    const auto table = static_cast<CatalogueTable>(i);
    const std::string name = connection.Options().TableName(table);
    if (db.TableExists(name)) {
      report.existing.push_back(name);
      continue;
    }
    for (const std::string& s : CreateTableStatements(connection.Options(), table, db.Dialect()))
      script += s + ";\n";
    report.created.push_back(name);
  }
  if (!script.empty()) db.ExecuteScript(script);
  return report;
}

}  // namespace tarnlow
