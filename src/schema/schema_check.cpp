// Comparing a database's tables with the layouts this library reads and
// writes, before a site points the library at a database it made itself.

#include <optional>

#include "connection/backend.h"
#include "connection/database_connection.h"
#include "schema/schema.h"
#include "tarnlow/name_index.h"
#include "tarnlow/schema.h"

namespace tarnlow {
namespace {

using Kind = backend::ColumnDescription::Kind;

// The digits the library's numbers need in a decimal column: whole numbers
// of 32 bits, and quantities and costs with five decimals.
constexpr int kWholeDigits = 10;
constexpr int kFractionDigits = 5;

// Why a decimal column is too narrow for the library's numbers (with
// fractions, or whole ones only), or "" when it is wide enough.
std::string NarrowDecimal(const backend::ColumnDescription& found, bool fractions) {
  if (found.precision <= 0) return "";
  const int whole = found.precision - found.scale;
  const bool fits = whole >= kWholeDigits && (!fractions || found.scale >= kFractionDigits);
  if (fits) return "";
  std::string out = "holds " + std::to_string(whole < 0 ? 0 : whole) + " digits before the point and " +
                    std::to_string(found.scale) + " after, the library writes ";
  if (!fractions) return out + "whole numbers of up to " + std::to_string(kWholeDigits) + " digits";
  return out + "up to " + std::to_string(kWholeDigits) + " before and " + std::to_string(kFractionDigits) +
         " after";
}

// Why a column of the found kind cannot take the library's values, or ""
// when it can.
std::string Misfit(schema::ColumnType type, int size, const backend::ColumnDescription& found) {
  // A column of no type (SQLite's blob affinity) keeps each value as given.
  if (found.kind == Kind::Any) return "";
  switch (type) {
    case schema::ColumnType::Text:
      if (found.kind != Kind::Text) return "cannot hold text";
      if (found.size != 0 && found.size < size)
        return "holds " + std::to_string(found.size) + " characters, the library writes up to " +
               std::to_string(size);
      return "";
    case schema::ColumnType::Number:
      return found.kind == Kind::Number ? NarrowDecimal(found, true) : "cannot hold numbers with fractions";
    case schema::ColumnType::Integer:
      if (found.kind == Kind::Integer || found.kind == Kind::Number) return NarrowDecimal(found, false);
      if (found.kind == Kind::SmallInteger) return "cannot hold whole numbers of 32 bits";
      return "cannot hold whole numbers";
    case schema::ColumnType::Date:
      if (found.kind == Kind::DateTime) return "";
      if (found.kind == Kind::DateOnly) return "cannot hold a time of day";
      return "cannot hold dates";
  }
  return "";
}

// A unique key of the database on some of the key's columns keeps the key
// unique as well.
bool HasUniqueKey(const std::vector<std::vector<std::string>>& found, const schema::UniqueKey& key) {
  for (const std::vector<std::string>& k : found) {
    bool within = !k.empty();
    for (const std::string& column : k) {
      bool in_key = false;
      for (std::string_view wanted : key.columns) in_key = in_key || SameName(column, wanted);
      within = within && in_key;
    }
    if (within) return true;
  }
  return false;
}

}  // namespace

std::shared_ptr<Connection> OpenExistingDatabase(std::string_view text) {
  ConnectionOptions options = ConnectionOptions::Parse(text);
  if (options.backend != ConnectionOptions::Backend::SQLite)
    return std::make_shared<Connection>(std::move(options));
  options.CheckBeforeOpen();
  auto db = DatabaseConnection::Create(backend::OpenSqlite(options.target, false), options.trace);
  return std::make_shared<Connection>(std::move(options), std::move(db));
}

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
        if (SameName(f.name, column.name)) match = &f;
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
    // Numbering and the duplicate-key retries rely on the database refusing
    // a second row with the same key.
    std::optional<std::vector<std::vector<std::string>>> keys;
    for (const schema::UniqueKey& key : table.unique_keys) {
      if (!schema::Applies(key.when, layout)) continue;
      if (!keys) keys = db.UniqueKeys(name);
      if (HasUniqueKey(*keys, key)) continue;
      std::string columns;
      for (std::string_view c : key.columns) columns += (columns.empty() ? "" : ", ") + std::string(c);
      problems.push_back(name + ": missing unique key (" + columns + ")");
    }
  }
  return problems;
}

}  // namespace tarnlow
