#include "tarnlow/table_cache.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "connection/database_connection.h"
#include "tarnlow/tarnlow.h"
#include "test_support.h"
#include "units/colSTUnitP.h"

namespace tarnlow {
namespace {

TEST(TableCacheTest, LoadsOnceAndAgainOnlyAfterAFailedLoadOrAReset) {
  TableCache<RowCache> cache(3);
  int loads = 0;
  auto load = [&](RowCache& rows) {
    ++loads;
    rows.LoadCells({Variant("A"), Variant(1.0), Variant("B"), Variant(2.0)}, 2);
  };
  cache.LoadOnce(load);
  cache.LoadOnce(load);
  EXPECT_EQ(loads, 1);
  EXPECT_EQ(cache.Find(0, Variant("B")), 1);
  EXPECT_EQ(cache.Find(0, Variant("C")), -1);

  cache.Reset();
  EXPECT_FALSE(cache.Loaded());
  // The empty shape: one row of empty cells, as many columns as given.
  EXPECT_EQ(cache.Cells().RowCount(), 1);
  EXPECT_EQ(cache.Cells().ColumnCount(), 3);
  EXPECT_EQ(cache.Find(0, Variant("B")), -1);

  EXPECT_THROW(cache.LoadOnce([](RowCache&) { throw std::runtime_error("load failed"); }),
               std::runtime_error);
  EXPECT_FALSE(cache.Loaded());
  cache.LoadOnce(load);
  EXPECT_EQ(loads, 2);
  EXPECT_TRUE(cache.Loaded());
}

void SetKey(clsSTUnitPD& unit, const std::string& base) {
  unit.base_name = base;
  unit.converted_unit = "each";
  unit.warehouse = "01";
  unit.product = "PAINT";
}

TEST(TableCacheTest, ACollectionStartsEachLoadEmptyAndAMissIsNoMember) {
  TableCache<colSTUnitP> cache;
  EXPECT_EQ(cache.Find("anything"), nullptr);
  clsSTUnitPD box, tin, jar;
  SetKey(box, "box");
  SetKey(tin, "tin");
  SetKey(jar, "jar");
  // A load that fails half way leaves what it added behind; the next load
  // must not meet it again as a duplicate key.
  EXPECT_THROW(cache.LoadOnce([&](colSTUnitP& list) {
    list.Add(box);
    list.Add(box);
  }),
               Error);
  cache.LoadOnce([&](colSTUnitP& list) {
    list.Add(box);
    list.Add(tin);
  });
  ASSERT_NE(cache.Find(tin.KeyString()), nullptr);
  EXPECT_EQ(cache.Find(tin.KeyString())->base_name(), "tin");
  EXPECT_EQ(cache.Find(jar.KeyString()), nullptr);
}

class TableCacheReadTest : public test::DatabaseTest {
 protected:
  std::string table_ = c_->TableCatalogue()->UnitDescriptionTable();
};

TEST_P(TableCacheReadTest, ReadAllHandsOverEveryRowAndLeavesTheConnectionFree) {
  for (const char* code : {"EACH", "KG", "LITRE"})
    c_->Execute("insert into " + table_ + " (unit_code, dec_places) values ('" + code + "', 1)");
  const std::string sql = "select unit_code from " + table_ + " order by unit_code";
  std::vector<std::string> codes;
  TableCache<RowCache>::ReadAll(sql, c_->DatabaseConnection(), [&](Recordset& rs) {
    for (; !rs.AtEOF(); rs.MoveNext()) codes.push_back(RTrim(rs.Fields(std::size_t{0}).ToText()));
  });
  EXPECT_EQ(codes, (std::vector<std::string>{"EACH", "KG", "LITRE"}));

  // A take that fails still lets the next statement run on the connection.
  EXPECT_THROW(TableCache<RowCache>::ReadAll(sql, c_->DatabaseConnection(),
                                             [](Recordset&) { throw std::runtime_error("take failed"); }),
               std::runtime_error);
  c_->Execute("delete from " + table_ + " where unit_code = 'KG'");
  codes.clear();
  TableCache<RowCache>::ReadAll(sql, c_->DatabaseConnection(), [&](Recordset& rs) {
    for (; !rs.AtEOF(); rs.MoveNext()) codes.push_back(RTrim(rs.Fields(std::size_t{0}).ToText()));
  });
  EXPECT_EQ(codes, (std::vector<std::string>{"EACH", "LITRE"}));

  // A row that fails once the rows are being read through raises the
  // database's error, and the connection is free again afterwards.
  const std::string failing =
      "select unit_code, case when unit_code = 'LITRE' then abs(-9223372036854775807 - 1) else 1 end from " +
      table_ + " order by unit_code";
  codes.clear();
  try {
    TableCache<RowCache>::ReadAll(failing, c_->DatabaseConnection(), [&](Recordset& rs) {
      for (; !rs.AtEOF(); rs.MoveNext()) codes.push_back(RTrim(rs.Fields(std::size_t{0}).ToText()));
    });
    ADD_FAILURE() << "the overflowing row raised nothing";
  } catch (const Error& e) {
    EXPECT_NE(e.Context().statement.find("abs("), std::string::npos) << e.Context().statement;
  }
  EXPECT_LE(codes.size(), 1u);
  c_->Execute("delete from " + table_);
  EXPECT_TRUE(test::Select(*c_, "select unit_code from " + table_).empty());
}

TARNLOW_ON_EVERY_BACKEND(TableCacheReadTest);

}  // namespace
}  // namespace tarnlow
