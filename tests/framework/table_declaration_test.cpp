// Every column property of every class agrees with the table declaration it
// names, and the schema that `init` creates is the same declaration.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "schema/schema.h"
#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

const schema::Column* SchemaColumn(const tables::Column& c) {
  const schema::Table& t = schema::Tables()[static_cast<std::size_t>(c.table)];
  for (const schema::Column& s : t.columns)
    if (s.name == c.name) return &s;
  return nullptr;
}

schema::ColumnType StorageOf(ValueKind kind) {
  switch (kind) {
    case ValueKind::Text: return schema::ColumnType::Text;
    case ValueKind::Date: return schema::ColumnType::Date;
    case ValueKind::Double: return schema::ColumnType::Number;
    default: return schema::ColumnType::Integer;
  }
}

// A property may hold a column in another type only where a conversion
// between the two is meaningful: numbers kept as text and back.
bool Convertible(ValueKind property, ValueKind column) {
  const auto numeric = [](ValueKind k) {
    return k == ValueKind::Int16 || k == ValueKind::Int32 || k == ValueKind::Double;
  };
  return (numeric(property) && column == ValueKind::Text) || (property == ValueKind::Text && numeric(column));
}

TEST(TableDeclarationTest, EveryClassColumnMatchesItsTableInNameTypeAndWidth) {
  int checked = 0;
  for (const ClassInfo* info : Registry::Classes()) {
    for (const MemberInfo& m : info->Members()) {
      if (!m.column) continue;
      const ColumnInfo& c = *m.column;
      SCOPED_TRACE(std::string(info->Name()) + "." + std::string(c.property));
      if (!c.declaration) {
        EXPECT_TRUE(c.column.empty()) << "a property without a table column names one";
        continue;
      }
      const schema::Column* s = SchemaColumn(*c.declaration);
      ASSERT_NE(s, nullptr) << "column " << c.column << " is not in the schema of its table";
      EXPECT_EQ(c.column, s->name);
      EXPECT_EQ(StorageOf(c.declaration->kind), s->type);
      EXPECT_EQ(c.size, s->size);
      if (c.kind != c.declaration->kind) {
        EXPECT_TRUE(Convertible(c.kind, c.declaration->kind));
      }
      ++checked;
    }
  }
  EXPECT_GT(checked, 100);
}

TEST(TableDeclarationTest, TheSchemaHoldsEveryDeclaredTableOnceInCatalogueOrder) {
  ASSERT_EQ(schema::Tables().size(), CatalogueTableCount);
  for (std::size_t i = 0; i < CatalogueTableCount; ++i) {
    const auto table = static_cast<CatalogueTable>(i);
    const schema::Table& t = schema::Tables()[i];
    EXPECT_EQ(t.catalogue_property, CatalogueTableProperty(table));
    EXPECT_EQ(t.default_name, DefaultTableName(table));
    std::set<std::string_view> names;
    for (const schema::Column& c : t.columns) EXPECT_TRUE(names.insert(c.name).second) << c.name;
    // Every key names declared columns of its own table.
    for (const schema::UniqueKey& k : t.unique_keys)
      for (std::string_view column : k.columns) EXPECT_TRUE(names.contains(column)) << t.catalogue_property;
  }
}

}  // namespace
}  // namespace tarnlow

namespace tarnlow {
namespace {

// Read-only properties stay read-only from outside their class: neither an
// assignment nor the field behind it is within a client's reach.
template <class T>
concept AssignsCost = requires(T t) {
  t.cost = 1.0;
};
template <class T>
concept ReachesTheField = requires(T t) {
  Object::Field(t.cost);
};
template <class T>
concept AssignsService = requires(T t) {
  t.Service = std::string("S");
};
static_assert(!AssignsCost<clsPORService>);
static_assert(!ReachesTheField<clsPORService>);
static_assert(AssignsService<clsPORService>);

TEST(TableDeclarationTest, ReadOnlyColumnsRefuseLateBoundAssignment) {
  clsPORService service;
  EXPECT_EQ(test::CatchError([&] { late::Let(service, "cost", Variant(1.0)); }).Number(), err::NotSupported);
  EXPECT_EQ(service.cost(), 0.0);
}

}  // namespace
}  // namespace tarnlow
