#include "tarnlow/units/clsSTUnitDD.h"

#include "framework/class_builder.h"
#include "tarnlow/modules.h"
#include "units/clsSTUnitD.h"

namespace tarnlow {

TARNLOW_DEFINE_CLASS(clsSTUnitDD, TARNLOW_clsSTUnitDD_PROPERTIES, "{74317BAA-481E-4F9D-9DA5-3162EEB17B08}",
                     "{BDF449BC-D83B-48DA-B9B9-F97BC055BC5C}") {
  b.Creatable()
      .Connection()
      .Get<&Self::KeyString>("KeyString")
      .Properties()
      .LetByRef({"unit_code"}) TARNLOW_METHODS(PrepareReadStatement, ReadIt, ReadFromList)
      .Method<&Self::CopyFrom>("CopyFrom", {ByRef("oFromSTUnitDD")});
}

// The twin is private: described for late binding, but never registered,
// so no client can find or create it.
const ClassInfo& clsSTUnitD::Info() {
  static const ClassInfo info = [] {
    detail::ClassBuilder<clsSTUnitD> b(kClassName, "", "");
    b.Connection()
        .Get<&clsSTUnitD::KeyString>("KeyString")
        .Properties() TARNLOW_METHODS(PrepareReadStatement, ReadIt, ReadFromList)
        .Method<&clsSTUnitD::CopyFrom>("CopyFrom", {"oFromSTUnitDD"});
    return b.Build();
  }();
  return info;
}

namespace {
namespace description_table = tables::UnitDescriptionTable;

// Cache columns, in the order of the select that fills the cache.
constexpr std::int32_t kCode = 0, kDecimalPlaces = 1;
}  // namespace

clsSTUnitDD::clsSTUnitDD() {
  UseHolders({&read_});
}

// A new connection may be a new database: the copy of the old one goes.
void clsSTUnitDD::ConnectionChanged() {
  cache_.Reset();
}

void clsSTUnitDD::PrepareReadStatement() {
  PrepareStatement(
      Label<"PrepareReadStatement">(), read_,
      [&] {
        return std::string("select unit_code,   dec_places ") + " from " +
               TableName(CatalogueTable::UnitDescriptionTable) + " where unit_code = ? ";
      },
      [&] { DeclareParameters(read_, unit_code); });
}

void clsSTUnitDD::ReadIt() {
  WithErrorExit(Label<"ReadIt">(), [&](Line& line) {
    line = 10;
    PrepareReadStatement();
    line = 20;
    const bool found = ReadByKey(
        read_, {&line, 30}, [&](const Recordset& rs) { CopyFromRS(rs); }, unit_code);
    line = 40;
    if (!found) throw Error(vbObjectError, "", "Cannot find unit description from " + unit_code());
  });
}

void clsSTUnitDD::CopyFromRS(const Recordset& rs) {
  WithErrorExit(Label<"CopyFromRS">(), [&](Line& line) {
    line = 10;
    Field(unit_code) = RTrim(rs.Fields(description_table::unit_code.name).ToText());
    line = 20;
    Field(dec_places) = rs.Fields(description_table::dec_places.name).ToInt16();
  });
}

void clsSTUnitDD::LoadFromList() {
  WithErrorExit(Label<"LoadFromList">(), [&](Line& line) {
    line = 10;
    cache_.LoadOnce([&](RowCache& rows) {
      const std::string sql =
          "select unit_code,   dec_places from " + TableName(CatalogueTable::UnitDescriptionTable);
      cache_.ReadAll(sql, Conn().DatabaseConnection(), [&](Recordset& rs) {
        line = 20;
        rows.Clear();
        line = 30;
        if (!rs.AtEOF()) rows.LoadRows(rs.GetRows());
        line = 40;
      });
      line = 50;
      const std::int32_t n = rows.RowCount();
      for (std::int32_t r = 0; r < n; ++r) {
        const Variant code = rows.GetCell(r, kCode);
        if (const std::string* text = code.AsText()) rows.SetCell(r, kCode, Variant(RTrim(*text)));
      }
      line = 60;
    });
  });
}

void clsSTUnitDD::ReadFromList() {
  WithErrorExit(Label<"ReadFromList">(), [&](Line& line) {
    line = 10;
    LoadFromList();
    line = 20;
    const std::int32_t r = cache_.Find(kCode, Variant(unit_code()));
    line = 30;
    if (r < 0) throw Error(vbObjectError, "", "Cannot find unit description from " + unit_code());
    line = 40;
    const std::string places =
        RTrim(ValueConverter::Shared().FieldText(cache_.Cells().GetCell(r, kDecimalPlaces)));
    Field(dec_places) = Variant(places).ToInt16();
  });
}

void clsSTUnitDD::CopyFrom(const clsSTUnitDD& oFromSTUnitDD) {
  WithErrorExit(Label<"CopyFrom">(), [&](Line& line) {
    line = 10;
    Field(unit_code) = oFromSTUnitDD.unit_code();
    line = 20;
    Field(dec_places) = oFromSTUnitDD.dec_places();
  });
}

}  // namespace tarnlow
