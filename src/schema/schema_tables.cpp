// The schema as the DDL and the layout check see it, made from the table
// declarations that the table objects are built on.

#include <vector>

#include "schema/schema.h"
#include "tarnlow/tables.h"

namespace tarnlow::schema {
namespace {

constexpr ColumnType TypeOf(ValueKind kind) {
  switch (kind) {
    case ValueKind::Text: return ColumnType::Text;
    case ValueKind::Date: return ColumnType::Date;
    case ValueKind::Int16:
    case ValueKind::Int32:
    case ValueKind::Bool: return ColumnType::Integer;
    default: return ColumnType::Number;
  }
}

Column FromDeclaration(const tables::Column& c) {
  return Column{c.name, TypeOf(c.kind), c.size, c.layout, c.Has(tables::kDateKeyOnKind2)};
}

#define TARNLOW_SCHEMA_NO_COLUMN(...)
#define TARNLOW_SCHEMA_KEY_NAME(ident) tables::ColumnName(#ident),
#define TARNLOW_SCHEMA_KEY(ctx, layout, ...) \
  keys.push_back(UniqueKey{{TARNLOW_FOR_EACH(TARNLOW_SCHEMA_KEY_NAME, __VA_ARGS__)}, When::layout});
#define TARNLOW_SCHEMA_TABLE(T, default_name)                                                           \
  {                                                                                                     \
    Table t{#T, default_name, {}, {}};                                                                  \
    for (const tables::Column* c : tables::T::kColumns) t.columns.push_back(FromDeclaration(*c));       \
    std::vector<UniqueKey> keys;                                                                        \
    TARNLOW_TABLE_##T(TARNLOW_SCHEMA_NO_COLUMN, TARNLOW_SCHEMA_KEY, _) t.unique_keys = std::move(keys); \
    out.push_back(std::move(t));                                                                        \
  }

std::vector<Table> BuildTables() {
  std::vector<Table> out;
  TARNLOW_TABLES(TARNLOW_SCHEMA_TABLE)
  return out;
}

}  // namespace

std::span<const Table> Tables() {
  static const std::vector<Table> tables = BuildTables();
  return tables;
}

bool Applies(When when, const Layout& layout) {
  const tables::Column probe{{}, ValueKind::Text, 0, when, 0, CatalogueTable::ServiceTable};
  return probe.Exists(layout.kind, layout.release, layout.extended);
}

}  // namespace tarnlow::schema
