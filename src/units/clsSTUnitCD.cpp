#include "tarnlow/units/clsSTUnitCD.h"

#include "framework/class_builder.h"
#include "tarnlow/modules.h"
#include "units/key_text.h"

namespace tarnlow {

TARNLOW_DEFINE_CLASS(clsSTUnitCD, TARNLOW_clsSTUnitCD_PROPERTIES, "{6C7A6AD9-6290-4B87-A22B-70EE51FD6660}",
                     "{21D806AF-DF56-4DE1-88A2-EE1E9A7C9DF0}") {
  b.Creatable()
      .Connection()
      .Get<&Self::KeyString>("KeyString")
      .Properties()
      .LetByRef({"converted_unit", "base_name"}) TARNLOW_METHODS(PrepareReadStatement, ReadIt, ReadFromList)
      .Method<&Self::CopyFrom>("CopyFrom", {ByRef("oFromSTUnitCD")});
}

namespace {
namespace conversion_table = tables::UnitConversionTable;

// The cache holds "select *" rows, so its columns are the table's columns in
// their physical order; the declaration of the table keeps these positions.
constexpr std::int32_t kBase = 0, kConverted = 1, kFactor = 3, kMethod = 4, kFromMinBreak = 6,
                       kToMinBreak = 7;

// A cached value as the lookups take it: through the value converter's
// text, without trailing blanks.
std::string LookupText(const Variant& cell) {
  return RTrim(ValueConverter::Shared().FieldText(cell));
}
double LookupNumber(const Variant& cell) {
  return Variant(LookupText(cell)).ToDouble();
}

// Numbers that have been through LookupNumber once are kept as numbers: a
// second pass through the text gives the same number again.
double CachedNumber(const RowCache& cache, std::int32_t row, std::int32_t column) {
  const Variant cell = cache.GetCell(row, column);
  return cell.Type() == VarType::Double ? cell.ToDouble() : LookupNumber(cell);
}
}  // namespace

clsSTUnitCD::clsSTUnitCD() {
  UseHolders({&read_});
}

std::string clsSTUnitCD::KeyString() const {
  return LeftJustify(base_name(), 7) + RTrim(converted_unit());
}

void clsSTUnitCD::ConnectionChanged() {
  cache_.Reset();
}

void clsSTUnitCD::PrepareReadStatement() {
  PrepareStatement(
      Label<"PrepareReadStatement">(), read_,
      [&] {
        return std::string(
                   "select base_name, converted_unit, conv_factor, conv_method, from_min_break, "
                   "to_min_break ") +
               " from " + TableName(CatalogueTable::UnitConversionTable) +
               " where base_name = ? and converted_unit=?";
      },
      [&] { DeclareParameters(read_, base_name, converted_unit); });
}

void clsSTUnitCD::ReadIt() {
  WithErrorExit(Label<"ReadIt">(), [&](Line& line) {
    line = 10;
    PrepareReadStatement();
    line = 20;
    // The codes go in as they stand, through the holder.
    const bool found = ReadByKey(
        read_, {&line, 30}, [&](const Recordset& rs) { CopyFromRS(rs); },
        AsIs{conversion_table::base_name.name, Variant(base_name())},
        AsIs{conversion_table::converted_unit.name, Variant(converted_unit())});
    line = 40;
    if (!found)
      throw Error(vbObjectError, "",
                  "Cannot find unit conversion from " + base_name() + " to " + converted_unit());
  });
}

// The codes come back as stored, trailing blanks included.
void clsSTUnitCD::CopyFromRS(const Recordset& rs) {
  WithErrorExit(Label<"CopyFromRS">(), [&](Line& line) {
    line = 10;
    Field(base_name) = rs.Fields(conversion_table::base_name.name).ToText();
    Field(converted_unit) = rs.Fields(conversion_table::converted_unit.name).ToText();
    line = 20;
    CopyFields(rs, conv_factor, conv_method, from_min_break, from_max_break);
  });
}

void clsSTUnitCD::LoadFromList() {
  WithErrorExit(Label<"LoadFromList">(), [&](Line& line) {
    line = 10;
    cache_.LoadOnce([&](RowCache& rows) {
      const std::string sql =
          "select * from " + TableName(CatalogueTable::UnitConversionTable) + " order by base_name";
      cache_.ReadAll(sql, Conn().DatabaseConnection(), [&](Recordset& rs) {
        line = 20;
        rows.Clear();
        // An empty table gives an empty copy, in which nothing is found.
        rows.LoadRows(rs.GetRows());
        line = 30;
      });
      line = 40;
      const std::int32_t n = rows.RowCount();
      for (std::int32_t r = 0; r < n; ++r) {
        for (const std::int32_t c : {kBase, kConverted}) {
          const Variant code = rows.GetCell(r, c);
          if (const std::string* text = code.AsText()) rows.SetCell(r, c, Variant(RTrim(*text)));
        }
        // The conversion through text that every lookup makes is made here
        // once per value instead; what cannot be converted (a Null) is left
        // for the lookup of that row to fail on.
        for (const std::int32_t c : {kFactor, kFromMinBreak, kToMinBreak}) {
          const Variant value = rows.GetCell(r, c);
          const VarType type = value.Type();
          if (type == VarType::Double || type == VarType::Long || type == VarType::Integer)
            rows.SetCell(r, c, Variant(LookupNumber(value)));
        }
        const Variant method = rows.GetCell(r, kMethod);
        if (const std::string* text = method.AsText()) rows.SetCell(r, kMethod, Variant(RTrim(*text)));
      }
      line = 50;
    });
  });
}

void clsSTUnitCD::ReadFromList() {
  WithErrorExit(Label<"ReadFromList">(), [&](Line& line) {
    line = 10;
    LoadFromList();
    line = 20;
    const Variant base(base_name()), converted(converted_unit());
    std::int32_t r = cache_.Find(kBase, base);
    line = 30;
    // The copy is ordered by base unit, so the rows of one base unit follow
    // the first of them, which Find gives; the scan ends at the first row of
    // another base, as the database ordered them.
    const RowCache& rows = cache_.Cells();
    bool found = false;
    for (const std::int32_t last = rows.LastRow(); r >= 0 && r <= last; ++r) {
      if (rows.GetCell(r, kBase) != base) break;
      if (rows.GetCell(r, kConverted) == converted) {
        found = true;
        break;
      }
    }
    if (!found)
      throw Error(vbObjectError, "", "Cannot find unit conversion " + base_name() + "/" + converted_unit());
    line = 40;
    Field(conv_factor) = CachedNumber(rows, r, kFactor);
    Field(conv_method) = LookupText(rows.GetCell(r, kMethod));
    Field(from_min_break) = CachedNumber(rows, r, kFromMinBreak);
    Field(from_max_break) = CachedNumber(rows, r, kToMinBreak);
  });
}

void clsSTUnitCD::CopyFrom(const clsSTUnitCD& oFromSTUnitCD) {
  WithErrorExit(Label<"CopyFrom">(), [&](Line& line) {
    line = 10;
    Field(conv_method) = oFromSTUnitCD.conv_method();
    Field(conv_factor) = oFromSTUnitCD.conv_factor();
    Field(base_name) = oFromSTUnitCD.base_name();
    Field(converted_unit) = oFromSTUnitCD.converted_unit();
    Field(from_min_break) = oFromSTUnitCD.from_min_break();
    Field(from_max_break) = oFromSTUnitCD.from_max_break();
  });
}

}  // namespace tarnlow
