#include "tarnlow/units/clsSTUnitPD.h"

#include "framework/class_builder.h"
#include "tarnlow/modules.h"
#include "units/colSTUnitP.h"
#include "units/key_text.h"

namespace tarnlow {

TARNLOW_DEFINE_CLASS(clsSTUnitPD, TARNLOW_clsSTUnitPD_PROPERTIES, "{D36954AA-C091-47BD-8496-A93FB9A3D6BC}",
                     "{7E46FC26-E658-4F1B-9FB9-815F7926B423}") {
  b.Creatable()
      .Get<&Self::KeyString>("KeyString")
      .Connection()
      .Properties() TARNLOW_METHODS(PrepareInsertStatement, InsertRow, ReadIt, ReadFromList)
      .Method<&Self::CopyFrom>("CopyFrom", {ByRef("oFromSTUnitPD")});
}

namespace {
namespace product_unit_table = tables::ProductUnitTable;
}  // namespace

clsSTUnitPD::clsSTUnitPD() {
  UseHolders({&insert_, &read_});
}

std::string clsSTUnitPD::KeyString() const {
  return LeftJustify(base_name(), 6) + LeftJustify(converted_unit(), 6) + LeftJustify(warehouse(), 2) +
         RTrim(product());
}

void clsSTUnitPD::PrepareInsertStatement() {
  PrepareStatement(
      Label<"PrepareInsertStatement">(), insert_,
      [&] {
        // The property list is in the statement's column order.
        return InsertText("INSERT INTO " + TableName(CatalogueTable::ProductUnitTable), Columns());
      },
      [&] { AddParameters(); });
}

void clsSTUnitPD::AddParameters() {
  WithErrorExit(Label<"AddParameters">(), [&](Line& line) {
    line = 10;
    DeclareParameters(insert_, Columns());
  });
}

void clsSTUnitPD::InsertRow() {
  WithErrorExit(Label<"InsertRow">(), [&](Line& line) {
    line = 10;
    PrepareInsertStatement();
    line = 20;
    RunWithColumns(insert_, Columns(), {&line, 30}, [&](Command& command) {
      // The warehouse goes in as it stands, without the text conversion.
      command[product_unit_table::warehouse.name].value = Variant(warehouse());
    });
  });
}

void clsSTUnitPD::PrepareReadStatement() {
  PrepareStatement(
      Label<"PrepareReadStatement">(), read_,
      [&] {
        return std::string("select base_name, converted_unit, warehouse, product, ") +
               " alt_unit, conv_method, conv_factor, from_min_break, to_min_break" + " from " +
               TableName(CatalogueTable::ProductUnitTable) +
               " where warehouse = ? and product = ? and base_name = ? and converted_unit=?";
      },
      [&] { DeclareParameters(read_, warehouse, product, base_name, converted_unit); });
}

void clsSTUnitPD::ReadIt() {
  WithErrorExit(Label<"ReadIt">(), [&](Line& line) {
    line = 10;
    PrepareReadStatement();
    line = 20;
    const bool found = ReadByKey(
        read_, {&line, 30}, [&](const Recordset& rs) { CopyFromRS(rs); }, warehouse, product, base_name,
        converted_unit);
    line = 40;
    if (!found)
      throw Error(vbObjectError, "",
                  "Cannot find product unit " + warehouse() + "/" + product() + "/" + base_name() + "/" +
                      converted_unit());
  });
}

// Texts come as stored, trailing blanks included.
void clsSTUnitPD::CopyFromRS(const Recordset& rs) {
  WithErrorExit(Label<"CopyFromRS">(), [&](Line& line) {
    line = 10;
    CopyFields(rs, base_name, converted_unit, warehouse, product, alt_unit, conv_method);
    line = 20;
    CopyFields(rs, conv_factor, from_min_break, to_min_break);
  });
}

void clsSTUnitPD::LoadFromList() {
  WithErrorExit(Label<"LoadFromList">(), [&](Line& line) {
    line = 10;
    cache_.LoadOnce([&](colSTUnitP& list) {
      line = 20;
      const std::string sql = "select * from " + TableName(CatalogueTable::ProductUnitTable);
      cache_.ReadAll(sql, Conn().DatabaseConnection(), [&](Recordset& rs) {
        line = 30;
        clsSTUnitPD scratch;
        for (; !rs.AtEOF(); rs.MoveNext()) {
          scratch.CopyFromRS(rs);
          list.Add(scratch);
        }
        line = 40;
      });
    });
  });
}

void clsSTUnitPD::ReadFromList() {
  WithErrorExit(Label<"ReadFromList">(), [&](Line& line) {
    line = 10;
    LoadFromList();
    line = 20;
    const std::shared_ptr<clsSTUnitPD> cached = cache_.Find(KeyString());
    line = 30;
    if (!cached)
      throw Error(vbObjectError, "",
                  "Cannot find unit conversion " + base_name() + "/" + converted_unit() + "/" + warehouse() +
                      "/" + product());
    line = 40;
    CopyFrom(*cached);
  });
}

void clsSTUnitPD::CopyFrom(const clsSTUnitPD& oFromSTUnitPD) {
  WithErrorExit(Label<"CopyFrom">(), [&](Line& line) {
    line = 10;
    Field(conv_method) = oFromSTUnitPD.conv_method();
    Field(conv_factor) = oFromSTUnitPD.conv_factor();
    Field(base_name) = oFromSTUnitPD.base_name();
    Field(warehouse) = oFromSTUnitPD.warehouse();
    Field(to_min_break) = oFromSTUnitPD.to_min_break();
    Field(product) = oFromSTUnitPD.product();
    Field(from_min_break) = oFromSTUnitPD.from_min_break();
    Field(converted_unit) = oFromSTUnitPD.converted_unit();
    Field(alt_unit) = oFromSTUnitPD.alt_unit();
  });
}

}  // namespace tarnlow
