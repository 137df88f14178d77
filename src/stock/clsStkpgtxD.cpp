#include "tarnlow/stock/clsStkpgtxD.h"

#include "framework/class_builder.h"
#include "tarnlow/modules.h"

namespace tarnlow {

TARNLOW_DEFINE_CLASS(clsStkpgtxD, TARNLOW_clsStkpgtxD_PROPERTIES, "{EA002F90-7C45-4089-9A54-F76ED02CA8B3}",
                     "{49BC2141-7BCC-41C6-AEC3-4E4E61033B47}") {
  b.Creatable() TARNLOW_METHODS(ResetCache)
      .Properties<&Self::call_off_qty_tol, &Self::delivery_qty_tol>()
      .Connection()
      .Property<&Self::product_group>() TARNLOW_METHODS(PrepareReadStatement, ReadIt);
}

namespace {
namespace tolerance_table = tables::ProductGroupToleranceTable;

// Cache columns.
constexpr std::int32_t kGroup = 0, kDelivery = 1, kCallOff = 2, kCacheColumns = 3;

// A tolerance that was never given reads as no text.
Variant TrimmedText(const Recordset& rs, const tables::Column& column) {
  return Variant(RTrim(NullToText(rs.Fields(column.name))));
}
}  // namespace

// The statement holder is not handed the connection here: only
// PrepareReadStatement gives it one.
clsStkpgtxD::clsStkpgtxD() = default;

void clsStkpgtxD::ResetCache() {
  cache_.Reset();
}

void clsStkpgtxD::PrepareReadStatement() {
  WithErrorExit(Label<"PrepareReadStatement">(), [&](Line& line) {
    line = 10;
    PrepareOnce(read_, [&] {
      line = 20;
      read_.Connection(SageConnection());
      line = 30;
      read_.SQL(std::string("select *") + " from " + TableName(CatalogueTable::ProductGroupToleranceTable) +
                " where product_group = ?");
      line = 40;
      DeclareParameters(read_, product_group);
      line = 50;
    });
  });
}

void clsStkpgtxD::LoadIntoList() {
  WithErrorExit(Label<"LoadIntoList">(), [&](Line& line) {
    line = 10;
    cache_.LoadOnce([&](RowCache& rows) {
      rows.Reshape(0, 0, 0, kCacheColumns);
      line = 20;
      std::int32_t r = 0;
      const std::string sql = "select * from " + TableName(CatalogueTable::ProductGroupToleranceTable);
      cache_.ReadAll(sql, Conn().DatabaseConnection(), [&](Recordset& rs) {
        line = 30;
        for (; !rs.AtEOF(); rs.MoveNext(), ++r) {
          if (r > 0) rows.AddRows(1);
          rows.SetCell(r, kGroup, TrimmedText(rs, tolerance_table::product_group));
          rows.SetCell(r, kDelivery, TrimmedText(rs, tolerance_table::delivery_qty_tol));
          rows.SetCell(r, kCallOff, TrimmedText(rs, tolerance_table::call_off_qty_tol));
        }
        line = 40;
      });
      // The empty shape still has its first row; with no group in the table
      // nothing may be found in it.
      if (r == 0) rows.Clear();
    });
  });
}

void clsStkpgtxD::ReadIt() {
  WithErrorExit(Label<"ReadIt">(), [&](Line& line) {
    line = 10;
    LoadIntoList();
    line = 20;
    const std::int32_t r = cache_.Find(kGroup, Variant(product_group()));
    line = 30;
    if (r < 0) throw Error(vbObjectError, "", "Cannont Find Product Group" + product_group());
    line = 40;
    Field(delivery_qty_tol) = RTrim(cache_.Cells().GetCell(r, kDelivery).ToText());
    Field(call_off_qty_tol) = RTrim(cache_.Cells().GetCell(r, kCallOff).ToText());
  });
}

}  // namespace tarnlow
