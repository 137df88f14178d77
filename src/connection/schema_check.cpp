// Comparing a database's tables with the layouts this library reads and
// writes, before a site points the library at a database it made itself.
#include <strings.h>

#include "connection/backend.h"
#include "connection/database_connection.h"
#include "connection/schema.h"
#include "tarnlow/schema.h"

namespace tarnlow {
namespace {

using Kind = backend::ColumnDescription::Kind;

// Why a column of the found kind cannot take the library's values, or ""
// when it can.
std::string Misfit(schema::ColumnType type, int size, const backend::ColumnDescription& found) {
  switch (type) {
    case schema::ColumnType::Text:
      if (found.kind != Kind::Text) return "cannot hold text";
      if (found.size != 0 && found.size < size)
        return "holds " + std::to_string(found.size) + " characters, the library writes up to " +
               std::to_string(size);
      return "";
    case schema::ColumnType::Number:
      return found.kind == Kind::Number ? "" : "cannot hold numbers with fractions";
    case schema::ColumnType::Integer:
      if (found.kind == Kind::Integer || found.kind == Kind::Number) return "";
      if (found.kind == Kind::SmallInteger) return "cannot hold whole numbers of 32 bits";
      return "cannot hold whole numbers";
    case schema::ColumnType::Date:
      if (found.kind == Kind::DateTime) return "";
      if (found.kind == Kind::DateOnly) return "cannot hold a time of day";
      return "cannot hold dates";
  }
  return "";
}

}  // namespace

std::vector<std::string> CheckTables(Connection& connection) {
  std::vector<std::string> problems;
  backend::Database& db = connection.DatabaseConnection().Database();
  const ConnectionOptions& options = connection.Options();
  const schema::Layout layout{options.kind, options.release, options.extended};
  const auto tables = schema::Tables();
  for (std::size_t i = 0; i < tables.size(); ++i) {
    const schema::Table& table = tables[i];
    const std::string name = options.TableName(static_cast<CatalogueTable>(i));
    const std::vector<backend::ColumnDescription> found = db.Columns(name);
    if (found.empty()) {
      problems.push_back(name + ": missing table (" + std::string(table.catalogue_property) + ")");
      continue;
    }
    for (const schema::Column& column : table.columns) {
      if (!schema::Applies(column.when, layout)) continue;
      const backend::ColumnDescription* match = nullptr;
      for (const auto& f : found)
        if (f.name.size() == column.name.size() &&
            strncasecmp(f.name.data(), column.name.data(), column.name.size()) == 0)
          match = &f;
      const std::string where = name + "." + std::string(column.name);
      if (match == nullptr) {
        problems.push_back(where + ": missing column");
        continue;
      }
      // Kind 2 keeps some dates as date-key text.
      const bool date_key = column.date_key_on_kind2 && layout.kind == 2;
      const std::string why =
          Misfit(date_key ? schema::ColumnType::Text : column.type, date_key ? 6 : column.size, *match);
      if (!why.empty()) problems.push_back(where + ": " + match->type + " " + why);
    }
  }
  return problems;
}

}  // namespace tarnlow
